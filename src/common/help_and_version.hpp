// --help, -h and --version, answered the same way by every tool of the family.
#pragma once

#include <optional>
#include <string_view>

#include "common/run_status.hpp"

namespace corvane {

enum class info_request { none, help, version };

// What one argument asks for: "--help" and "-h" the help, "--version" the version.
info_request info_request_of(std::string_view argument);

// Prints `help_text` (help) or "TOOL VERSION" (version, TOOL the program name) on standard output:
// help_shown, or output_failed (reported) when standard output cannot be written.
run_status print_info(info_request request, std::string_view help_text);

// The one call a tool's main makes first: a command line that is exactly one argument asking for
// help or the version is answered, and its status returned for main to end with. Any other command
// line returns nothing and is the tool's to parse (the option table answers them among its options).
std::optional<run_status> answer_help_or_version(int argc, const char* const* argv, std::string_view help_text);

}  // namespace corvane
