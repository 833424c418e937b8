// The SNP columns of a result row, found in the legend of its panel.
#pragma once

#include "common/run_status.hpp"
#include "input/legend/legend_index.hpp"
#include "loci/result_table.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// The SNP columns of `row`: its first SNP at startpos on its chromosome and its n.snp-th SNP at
// endpos. Reports a row the legend does not hold as "RESULT:LINE: what" (bad_input).
run_status find_row_window(const legend_index& legend, const result_rows& rows, const result_interval& row,
                           snp_window& window);

}  // namespace corvane
