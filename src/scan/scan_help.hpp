// The help text of the scan tools, corvane and corvane-reference.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// The usage, the arguments and the rules of the scan, with the numbers taken from the code, for the
// tool program_name() names.
std::string scan_help_text();

}  // namespace corvane
