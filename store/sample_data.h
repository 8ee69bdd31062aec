// Realistic demonstration data for a table set, shared by the installation and the benchmarks.
#pragma once

#include <cstdint>
#include <string>

namespace pavo::store {

struct SampleSize {
    int payments = 300;         // payment records over two years
    int job_searches = 3000;    // job-search records, about a third of them follow-ups
    int title_categories = 60;  // rows of the job-title statistics table
    std::uint32_t seed = 20030305;
};

struct SampleCounts {
    int payments = 0;
    int job_searches = 0;
};

// Fills the empty tables of a freshly made set in a folder (logical path or alias) with the shared
// generator's rows (store/sample_rows.h): payments, job searches with follow-ups, and the pick
// lists and statistics categories they use.
// The same seed gives the same rows. Throws the table layer's pavo::Error.
SampleCounts fill_sample_set(const std::string& database, const SampleSize& size = {});

}  // namespace pavo::store
