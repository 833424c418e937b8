// Whether two paths name one file: how every tool refuses an output that would replace an input.
#pragma once

#include <string>

namespace corvane {

// True when `output` and `input` both exist and are the same file, also through a symbolic or hard
// link. An empty `input` (an optional input not given) names no file.
bool names_same_file(const std::string& output, const std::string& input);

}  // namespace corvane
