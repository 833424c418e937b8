// Opens a map or sample list for the shared line reader, with corvane-prepare's message when it cannot.
#pragma once

#include <string>

#include "common/line_reader.hpp"
#include "common/run_status.hpp"

namespace corvane {

// Opens `path` (plain, gzip or BGZF) for reading line by line. On failure reports
// "corvane-prepare: cannot open WHAT PATH: REASON" and returns bad_input. A later read error names
// the line after which it happened.
run_status open_text_input(line_reader& reader, const std::string& path, const char* what);

}  // namespace corvane
