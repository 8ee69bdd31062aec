// Realistic sample rows for the job-search, payment and title-statistics tables.
//
// The generator is deterministic for a seed, so benchmarks and the installation tool's sample data
// produce the same rows on every run. Rows come as texts in the field order of the store's schema
// (the form the table layer reads and writes), ready for Field::set_as_string; the auto-increment
// field's text is empty. Job-search rows number their applications as a fresh table numbers its
// rows (REFNUM of row i is i+1, or an earlier row's number for a follow-up).
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tables/table.h"

namespace pavo::sample {

class Generator {
  public:
    explicit Generator(std::uint32_t seed = 2004) : rng_(seed) {}

    // count job-search records spread over three years (2002 to 2004), oldest first.
    std::vector<std::vector<std::string>> job_searches(int count);
    // count payment records over the same years.
    std::vector<std::vector<std::string>> payments(int count);
    // count title categories (ORDER, CATEGORY, COUNT, PERCENTAGE, REASON_NOT_SUBMITTED,
    // AS_OF_DATE): specific categories first, the generic single words last, as a kept-up
    // statistics table has them.
    std::vector<std::vector<std::string>> title_categories(int count);

  private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    template <class T>
    const T& pick(const std::vector<T>& v) {
        return v[static_cast<std::size_t>(pick(static_cast<int>(v.size())))];
    }
    std::string job_title();

    std::mt19937 rng_;
};

// Appends rows (texts in field order) to an open table inside one command; returns the count.
int append_rows(tables::Table& table, const std::vector<std::vector<std::string>>& rows);

}  // namespace pavo::sample
