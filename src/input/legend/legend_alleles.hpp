// The texts of chosen legend rows, as a table that names SNPs gives them: id, position and alleles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/run_status.hpp"

namespace corvane {

struct legend_snp_texts {
    std::string id;
    std::string cm;       // as written
    int32_t bp = 0;       // as the scan reads it
    std::string ref = ".";  // "." where the legend names no alleles
    std::string alt = ".";
};

// Reads the rows of SNPs `snps` (increasing, 0-based) of the legend at `path` into `texts`, one per
// SNP in the same order. REF and ALT are the columns the header names ref and alt (a0 and a1, allele0
// and allele1, in any case), else columns 5 and 6 when the header has six fields or more
// (corvane-prepare's legend). A row too short, or a legend without one of the rows, is reported
// (legend_row_short, legend_too_short); a legend that cannot be opened too.
run_status read_legend_snp_texts(const std::string& path, const std::vector<int32_t>& snps,
                                 std::vector<legend_snp_texts>& texts);

}  // namespace corvane
