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

// The words of two bit rows over a window, compared unshifted (both rows share the window's offset),
// with the stray bits at either end masked off: differ(j) is the XOR of word j within the window.
struct window_words {
    const uint64_t* x;
    const uint64_t* y;
    int shift;
    int end_bits;
    int32_t spanned;

    window_words(const fast_genotype_matrix& table, int32_t a, int32_t b, snp_window window)
        : x(table.bit_row(a) + (window.lo >> 6)), y(table.bit_row(b) + (window.lo >> 6)), shift(window.lo & 63) {
        const int32_t width = window.hi - window.lo + 1;
        spanned = (shift + width + 63) / 64;
        end_bits = (shift + width) & 63;
    }

    uint64_t differ(int32_t j) const {
        uint64_t bits = x[j] ^ y[j];
        if (j == 0) bits &= ~uint64_t{0} << shift;
        if (j == spanned - 1 && end_bits != 0) bits &= (uint64_t{1} << end_bits) - 1;
        return bits;
    }
};

// Mismatches of `row` with `core_row` over `window`, counted until they pass `limit`; `complete`
// says whether every word was counted (else the count is a lower bound above `limit`).
int32_t window_mismatches(const fast_genotype_matrix& table, int32_t row, int32_t core_row, snp_window window,
                          int32_t limit, bool& complete);

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

// The core row of the partitioned window: the first row of the largest group of equal windows (ties
// to the one whose window string comes first), or the row whose string comes first when every
// window is unique (group_size 1, group_start meaningless).
struct partition_core {
    int32_t row = 0;
    size_t group_start = 0;  // in the partition's order
    size_t group_size = 0;
};
partition_core partition_core_row(const fast_genotype_matrix& table, const window_partition& partition);

// The carrier count of the partitioned window: the first row of the largest group of equal windows
// (ties to the one whose window string comes first) is the core row, and a row is a carrier when
// it has at most `allowance` mismatches with it. Brings the distances up to date for later windows.
int32_t count_partition_carriers(const fast_genotype_matrix& table, window_partition& partition, int32_t allowance,
                                 partition_scratch& scratch);

}  // namespace corvane
