// The sample list of a panel: one id per line, sample k owning haplotypes 2k and 2k + 1.
#pragma once

#include <string>
#include <vector>

#include "common/run_status.hpp"

namespace corvane {

// Reads the ids in file order. An empty line is reported as "PATH:LINE: empty line".
run_status read_sample_names(const std::string& path, std::vector<std::string>& names);

}  // namespace corvane
