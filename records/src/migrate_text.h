// Text helpers of the migration's report and refused-row files.
#pragma once

#include <string>

namespace pavo::records::migrate {

// s as a JSON string constant (UTF-8 passed through, control characters escaped).
std::string json_quote(const std::string& s);

}  // namespace pavo::records::migrate
