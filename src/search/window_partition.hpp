// The rows of a 0/1 table split into groups of equal windows, grown column block by column block, so
// a search's overlapping windows need not be grouped afresh.
#pragma once

#include <cstdint>
#include <vector>

#include "input/fast_genotype_matrix.hpp"
#include "search/column_bits.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// The state of one window lo..hi of a bit table. Rows whose window is unique can never join a group
// again as the window grows, so only rows in groups of two or more are kept in order.
struct window_partition {
    snp_window window{0, -1};   // hi < lo: no window yet
    std::vector<int32_t> order;  // rows of groups of two or more, a group's rows together and in row order
    std::vector<int32_t> group;  // per position in `order`: its group number, rising along `order`

    // Mismatches of rows with `core_row`: exact for the `near` rows (those within `near_allowance`),
    // a lower bound for every other row. Measured over `measured`, a window inside `window`.
    int32_t core_row = -1;
    int32_t near_allowance = -1;
    snp_window measured{0, -1};
    std::vector<int32_t> near;
    std::vector<int32_t> distance;
};

// Scratch space of the partition steps.
struct partition_scratch {
    std::vector<uint64_t> keys;  // per row
    std::vector<uint32_t> part;  // per row of a group: the part of its key
    std::vector<size_t> starts;
    std::vector<int32_t> moved;
    std::vector<uint64_t> slot_keys;
    std::vector<int32_t> slot_parts;
    std::vector<uint32_t> mark;  // per row: equal to mark_stamp when in the new near list
    uint32_t mark_stamp = 0;
    std::vector<int32_t> near;
};

// Makes `next` the partition of `window`: extended from `base` when base's window lies inside it,
// else built from nothing.
void partition_window(const fast_genotype_matrix& table, column_bits& columns, const window_partition& base,
                      snp_window window, window_partition& next, partition_scratch& scratch);

}  // namespace corvane
