// The text genotype file: checked line by line, each haplotype's alleles handed to the caller.
#pragma once

#include <string>

#include "common/run_status.hpp"
#include "input/genotype_reading.hpp"

namespace corvane {

// Reads the whole text file. Every line must hold S whole integers in the signed 32-bit range,
// separated by any C white space (blank, tab, vertical tab, form feed, CR); S is the field count of
// the first line as `split_line` counts it (tabs, or single blanks). Any other content is reported
// once, as "PATH:LINE: what", on standard error. A file that cannot be opened returns
// genotype_missing without a message.
run_status parse_genotype_text(const std::string& path, const snp_count_sink& on_snp_count,
                               const haplotype_sink& on_haplotype);

}  // namespace corvane
