// A population file: which population each sample belongs to, one panel per population.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <htslib/vcf.h>

#include "common/run_status.hpp"
#include "prepare/record_conversion.hpp"

namespace corvane {

// The populations of `path` as targets, in the order of their first line, each with its samples'
// header indices in VCF order. A line holds a sample id and its population, separated by blanks or
// tabs; further columns (a 1000 Genomes .panel file's super population, sex) are passed over, as
// are blank lines, and a first line whose sample is not in the VCF (a header such as "sample pop").
// A line with one column, a sample not in the VCF or listed twice, a population that cannot be part
// of a file name, or a file without a sample is reported (PATH:LINE) and bad_input. `left_out` is
// set to the number of the VCF's samples in no population.
run_status read_populations(const std::string& path, const std::string& vcf_path, const bcf_hdr_t* header,
                            std::vector<panel_target>& targets, int64_t& left_out);

}  // namespace corvane
