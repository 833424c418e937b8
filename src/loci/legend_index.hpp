// The legend of a panel as a lookup from (chromosome, bp) to SNP column, to find a result row's SNPs.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "loci/result_table.hpp"
#include "common/run_status.hpp"
#include "search/window_count.hpp"

namespace corvane {

struct legend_index {
    std::string path;
    std::unordered_map<std::string, uint32_t> chr_index;  // legend chromosome names
    std::vector<int32_t> bp;                             // per SNP row, in column order
    std::vector<uint32_t> chr;                           // per SNP row
    std::vector<std::tuple<uint32_t, int32_t, int32_t>> sorted;  // (chr, bp, SNP), sorted
};

// Reads every SNP row of the legend (a header line, then chr, id, cM, bp, ...). A row with fewer
// than four fields is reported as "LEGEND:LINE: ..." (legend_row_short).
run_status read_legend_index(const std::string& path, legend_index& legend);

// True when the legend names chromosome `chr`.
bool legend_has_chromosome(const legend_index& legend, const std::string& chr);

// The SNP columns of `row`: its first SNP at startpos on its chromosome and its n.snp-th SNP at
// endpos. Reports a row the legend does not hold as "RESULT:LINE: what" (bad_input).
run_status find_row_window(const legend_index& legend, const result_rows& rows, const result_interval& row,
                           snp_window& window);

}  // namespace corvane
