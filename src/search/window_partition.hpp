// The rows of a 0/1 table sorted by their window and split into groups of equal windows, grown
// column block by column block, so a search's overlapping windows need not be sorted afresh.
#pragma once

#include <cstdint>
#include <vector>

#include "input/allele_table.hpp"
#include "search/column_bits.hpp"
#include "search/window_count.hpp"

namespace corvane {

// The state of one window lo..hi of a bit table.
struct window_partition {
    snp_window window{0, -1};        // hi < lo: no window yet
    std::vector<int32_t> order;      // rows by window string; equal windows in row order
    std::vector<int32_t> group;      // per position in `order`: its group, counting from 0
    std::vector<int32_t> group_of_row;
    // Mismatches of each row with `reference` over the window: exact where `known`, else a lower bound.
    int32_t reference = -1;
    std::vector<int32_t> distance;
    std::vector<uint8_t> known;
};

// Scratch space of the partition steps.
struct partition_scratch {
    bool blocks_kept = false;                     // left_bits and right_bits hold the added columns
    std::vector<uint64_t> left_bits, right_bits;  // per row: the columns added on each side
    std::vector<uint64_t> keys;
    std::vector<int32_t> order, group;
    std::vector<uint64_t> sort_keys;
    std::vector<int32_t> counts;
};

// Makes `next` the partition of `window`: extended from `base` when base's window lies inside it,
// else built from nothing. Distances are carried over only where they stay meaningful.
void partition_window(const allele_table& table, const column_bits& columns, const window_partition& base,
                      snp_window window, window_partition& next, partition_scratch& scratch);

// The carrier count of the partitioned window: the first row of the largest group (ties to the group
// whose window string comes first) is the reference row, and a row is a carrier when it has at most
// `allowance` mismatches with it. Brings `partition`'s distances up to date for later windows.
int32_t count_partition_carriers(const allele_table& table, window_partition& partition, int32_t allowance,
                                 const partition_scratch& scratch);

}  // namespace corvane
