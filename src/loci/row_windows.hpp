// The SNP columns of a result row, found in the legend of its panel.
#pragma once

#include <vector>

#include "common/run_status.hpp"
#include "input/legend/legend_index.hpp"
#include "loci/result_table.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// The SNP columns of row `row` of `rows`: its first SNP at startpos on its chromosome and its
// n.snp-th SNP at endpos. Reports a row the legend does not hold as "RESULT:LINE: what" (bad_input).
// Where SNPs share positions, the first of the runs that fit.
run_status find_row_window(const legend_index& legend, const result_rows& rows, size_t row, snp_window& window);

// Every run of SNPs that row `row` fits (several only where SNPs share positions), first to last; the
// first is find_row_window's.
std::vector<snp_window> all_row_windows(const legend_index& legend, const result_rows& rows, size_t row);

}  // namespace corvane
