// The groups of a narrow 0/1 window (one that allows no mismatch) in the search: its carriers are its
// largest group of equal rows, found by splitting the rows column by column.
#pragma once

#include <cstdint>
#include <vector>

#include "search/column_bits.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// Scratch space of the column splits: the row sets still in the running, one bitset each.
struct narrow_groups_scratch {
    std::vector<uint64_t> groups;
    std::vector<uint64_t> next_groups;
    std::vector<int32_t> group_sizes;
    std::vector<int32_t> next_group_sizes;
};

// The size of the largest group of rows with equal windows when it is above `threshold`, else 0.
// Only groups above the threshold are followed, so most rows drop out within a few columns.
// `all_rows` is the bitset of every haplotype, `row_count` its size.
int32_t largest_group_above(column_bits& columns, const std::vector<uint64_t>& all_rows, int32_t row_count,
                            snp_window window, float threshold, narrow_groups_scratch& scratch);

}  // namespace corvane
