// Whether two paths name one file: how every tool refuses an output that would replace an input.
#pragma once

#include <string>
#include <vector>

#include "common/run_status.hpp"

namespace corvane {

// True when `output` and `input` are one file, also through a symbolic or hard link, or, where
// either does not exist yet, one path once "." and ".." and the links of its folders are resolved.
// An empty `input` (an optional input not given) names no file.
bool names_same_file(const std::string& output, const std::string& input);

// An input file and what it is to the user: "genotype", "legend", or plainly "input".
struct named_input {
    const char* role;
    const std::string& path;
};

// Refuses an output that names one of `inputs`, reported as "TOOL: output file OUT is the ROLE file
// IN; refusing to overwrite an input" (same_file).
run_status check_output_is_not_an_input(const std::string& output, const std::vector<named_input>& inputs);

}  // namespace corvane
