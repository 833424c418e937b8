// Intervals into loci: the short ones dropped, the rest grouped by overlap per chromosome, then ranked.
#pragma once

#include <cstdint>
#include <vector>

#include "loci/interval_filter.hpp"
#include "loci/locus.hpp"
#include "loci/result_table.hpp"

namespace corvane {

// The loci of `rows`, chromosomes in the order they first appear, then by position. The intervals
// `filter` drops are left out; the others of a chromosome are grouped while the next one starts at
// most `gap` bp after the end of the group so far (0: they overlap or share an end position). A
// locus's peak is its longest interval in cM (the first on ties); ranks follow the peaks, 1 the
// longest, across all chromosomes.
std::vector<locus> merge_loci(const result_rows& rows, int64_t gap, const interval_filter& filter);

}  // namespace corvane
