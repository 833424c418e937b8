// Intervals into loci: the short ones dropped, the rest grouped by overlap per chromosome, then ranked.
#pragma once

#include <cstdint>
#include <vector>

#include "loci/result_table.hpp"

namespace corvane {

struct locus {
    uint32_t chr = 0;           // index into result_rows::chr_names
    int32_t number = 0;         // 1, 2, ... by position within its chromosome
    int32_t start = 0;          // bp of the union of its intervals
    int32_t end = 0;
    int32_t interval_count = 0;
    size_t peak = 0;            // index into result_rows::intervals: the longest in cM, the first on ties
    int32_t rank = 0;           // 1 + the number of loci with a longer peak
    double percentile = 0.0;    // share of loci whose peak is shorter or equal
};

// The loci of `rows`, chromosomes in the order they first appear, then by position. An interval
// shorter than `min_cm` is dropped (one without a genetic length too, when min_cm > 0); the others
// of a chromosome are grouped while the next one starts at most `gap` bp after the end of the group
// so far (0: they overlap or share an end position). Ranks are set across all chromosomes.
std::vector<locus> merge_loci(const result_rows& rows, int64_t gap, double min_cm);

}  // namespace corvane
