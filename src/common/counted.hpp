// Counts in messages: "1 sample", "2 samples".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// `count` and the noun that fits it: `one` for 1 (and -1), `many` otherwise.
std::string counted(int64_t count, std::string_view one, std::string_view many);

}  // namespace corvane
