// The legend of a panel as a lookup from (chromosome, bp) to SNP column, as corvane-loci finds the
// SNPs of a result row.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "common/run_status.hpp"

namespace corvane {

struct legend_index {
    std::string path;
    std::unordered_map<std::string, uint32_t> chr_index;  // legend chromosome names
    std::vector<int32_t> bp;                             // per SNP row, in column order
    std::vector<uint32_t> chr;                           // per SNP row
    std::vector<std::tuple<uint32_t, int32_t, int32_t>> sorted;  // (chr, bp, SNP), sorted
};

// Reads every SNP row of the legend (a header line, then chr, id, cM, bp, ...). A row with fewer
// than four fields (legend_row_short) or a bp beyond the signed 32-bit range (legend_bp_too_large)
// is reported as "LEGEND:LINE: ...".
run_status read_legend_index(const std::string& path, legend_index& legend);

// True when the legend names chromosome `chr`.
bool legend_has_chromosome(const legend_index& legend, const std::string& chr);

}  // namespace corvane
