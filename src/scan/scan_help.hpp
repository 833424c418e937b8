// The help text of the scan tools, corvane and corvane-reference.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// The usage, the arguments and the rules of the scan, with the numbers taken from the code.
std::string scan_help_text(std::string_view tool);

}  // namespace corvane
