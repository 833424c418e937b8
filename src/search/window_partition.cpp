// Grows the sorted partition of a window by column blocks: right blocks split groups, left blocks
// re-sort all rows (the leftmost column decides string order first).
#include "search/window_partition.hpp"

#include "search/cpu_features.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <numeric>

namespace corvane {

namespace {

// Columns sorted in one step: a block's bits, as a key, fit in 32 bits beside a 32-bit row.
constexpr int32_t block_columns = 32;

void transpose_block(uint64_t block[64]) {
    uint64_t mask = 0x00000000ffffffffull;
    for (int step = 32; step != 0; step >>= 1, mask ^= mask << step) {
        for (int i = 0; i < 64; i = (i + step + 1) & ~step) {
            const uint64_t swap = ((block[i] >> step) ^ block[i + step]) & mask;
            block[i] ^= swap << step;
            block[i + step] ^= swap;
        }
    }
}

// out[r] = the alleles of row r at columns first..first+count-1 (count <= 64), column first at bit 0.
void read_column_block(const column_bits& columns, int32_t rows, int32_t first, int32_t count,
                       std::vector<uint64_t>& out) {
    out.resize(static_cast<size_t>(rows));
    uint64_t block[64];
    for (int32_t b = 0; b < columns.words_per_column; ++b) {
        for (int32_t j = 0; j < 64; ++j) block[j] = j < count ? columns.column(first + j)[b] : 0;
        transpose_block(block);
        for (int32_t i = 0; i < 64 && b * 64 + i < rows; ++i) out[static_cast<size_t>(b * 64 + i)] = block[i];
    }
}

// The bits of a block (column 0 at bit 0) as a number that orders blocks as their strings order.
uint64_t string_order_key(uint64_t bits, int32_t count) {
    uint64_t reversed = bits;
    reversed = ((reversed >> 1) & 0x5555555555555555ull) | ((reversed & 0x5555555555555555ull) << 1);
    reversed = ((reversed >> 2) & 0x3333333333333333ull) | ((reversed & 0x3333333333333333ull) << 2);
    reversed = ((reversed >> 4) & 0x0f0f0f0f0f0f0f0full) | ((reversed & 0x0f0f0f0f0f0f0f0full) << 4);
    reversed = __builtin_bswap64(reversed);
    return reversed >> (64 - count);
}

// Stable sort of order[first..last) by keys[row] (below 2^bits), carrying group[] along.
void radix_sort(std::vector<int32_t>& order, std::vector<int32_t>& group, size_t first, size_t last,
                const std::vector<uint64_t>& keys, int32_t bits, partition_scratch& scratch) {
    const size_t count = last - first;
    if (count < 2) return;
    if (count <= 32) {
        // Insertion sort: stable, and quick on the short runs that most groups are.
        for (size_t i = first + 1; i < last; ++i) {
            const int32_t row = order[i], row_group = group[i];
            const uint64_t key = keys[static_cast<size_t>(row)];
            size_t j = i;
            for (; j > first && keys[static_cast<size_t>(order[j - 1])] > key; --j) {
                order[j] = order[j - 1];
                group[j] = group[j - 1];
            }
            order[j] = row;
            group[j] = row_group;
        }
        return;
    }
    scratch.order.resize(order.size());
    scratch.group.resize(group.size());
    constexpr int32_t digit_bits = 11;
    constexpr uint64_t digit_mask = (uint64_t{1} << digit_bits) - 1;
    scratch.counts.resize(digit_mask + 2);
    for (int32_t shift = 0; shift < bits; shift += digit_bits) {
        std::fill(scratch.counts.begin(), scratch.counts.end(), 0);
        for (size_t i = first; i < last; ++i) ++scratch.counts[((keys[static_cast<size_t>(order[i])] >> shift) & digit_mask) + 1];
        if (scratch.counts[((keys[static_cast<size_t>(order[first])] >> shift) & digit_mask) + 1] == static_cast<int32_t>(count)) {
            continue;  // one digit value throughout: nothing moves
        }
        for (size_t d = 1; d < scratch.counts.size(); ++d) scratch.counts[d] += scratch.counts[d - 1];
        for (size_t i = first; i < last; ++i) {
            const size_t to = first + static_cast<size_t>(scratch.counts[(keys[static_cast<size_t>(order[i])] >> shift) & digit_mask]++);
            scratch.order[to] = order[i];
            scratch.group[to] = group[i];
        }
        std::copy(scratch.order.begin() + static_cast<ptrdiff_t>(first), scratch.order.begin() + static_cast<ptrdiff_t>(last),
                  order.begin() + static_cast<ptrdiff_t>(first));
        std::copy(scratch.group.begin() + static_cast<ptrdiff_t>(first), scratch.group.begin() + static_cast<ptrdiff_t>(last),
                  group.begin() + static_cast<ptrdiff_t>(first));
    }
}

// Numbers the groups again: a new group starts where the old group or the key changes.
void renumber_groups(window_partition& partition, const std::vector<uint64_t>& keys) {
    int32_t number = 0;
    int32_t previous_group = partition.group.empty() ? 0 : partition.group[0];
    uint64_t previous_key = partition.order.empty() ? 0 : keys[static_cast<size_t>(partition.order[0])];
    for (size_t i = 0; i < partition.order.size(); ++i) {
        const uint64_t key = keys[static_cast<size_t>(partition.order[i])];
        if (partition.group[i] != previous_group || key != previous_key) ++number;
        previous_group = partition.group[i];
        previous_key = key;
        partition.group[i] = number;
    }
}

// Appends `count` (<= block_columns) columns on the right, whose bits are in scratch.sort_keys: each
// group splits by its rows' new bits, in string order.
void extend_right(window_partition& partition, int32_t count, partition_scratch& scratch) {
    const auto rows = static_cast<int32_t>(partition.order.size());
    scratch.keys.resize(static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) scratch.keys[static_cast<size_t>(r)] = string_order_key(scratch.sort_keys[static_cast<size_t>(r)], count);
    for (size_t i = 0; i < partition.order.size();) {
        size_t j = i + 1;
        while (j < partition.order.size() && partition.group[j] == partition.group[i]) ++j;
        radix_sort(partition.order, partition.group, i, j, scratch.keys, count, scratch);
        i = j;
    }
    renumber_groups(partition, scratch.keys);
}

// Prepends `count` (<= block_columns) columns on the left, whose bits are in scratch.sort_keys: they
// come first in every string, so all rows are sorted by them, equal ones keeping their order.
void extend_left(window_partition& partition, int32_t count, partition_scratch& scratch) {
    const auto rows = static_cast<int32_t>(partition.order.size());
    scratch.keys.resize(static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) scratch.keys[static_cast<size_t>(r)] = string_order_key(scratch.sort_keys[static_cast<size_t>(r)], count);
    radix_sort(partition.order, partition.group, 0, partition.order.size(), scratch.keys, count, scratch);
    renumber_groups(partition, scratch.keys);
}

// Adds the block's bits, read into scratch.sort_keys, to `bits` at bit `offset`.
void keep_block_bits(int32_t rows, int32_t offset, std::vector<uint64_t>& bits, const partition_scratch& scratch) {
    for (int32_t r = 0; r < rows; ++r) bits[static_cast<size_t>(r)] |= scratch.sort_keys[static_cast<size_t>(r)] << offset;
}

}  // namespace

void partition_window(const allele_table& table, const column_bits& columns, const window_partition& base,
                      snp_window window, window_partition& next, partition_scratch& scratch) {
    const int32_t rows = table.haplotype_count;
    const bool extends = base.window.lo <= base.window.hi && base.window.lo >= window.lo && base.window.hi <= window.hi;
    if (extends) {
        next = base;
    } else {
        next.window = {window.lo, window.lo - 1};
        next.order.resize(static_cast<size_t>(rows));
        std::iota(next.order.begin(), next.order.end(), 0);
        next.group.assign(static_cast<size_t>(rows), 0);
        next.reference = -1;
        next.distance.assign(static_cast<size_t>(rows), 0);
        next.known.assign(static_cast<size_t>(rows), 0);
    }
    const int32_t old_lo = next.window.lo, old_hi = next.window.hi;

    // The added columns of each side, kept per row so distances can be brought up to date.
    const bool keep = extends && old_lo - window.lo <= 64 && window.hi - old_hi <= 64;
    scratch.blocks_kept = keep;
    if (keep) {
        scratch.left_bits.assign(static_cast<size_t>(rows), 0);
        scratch.right_bits.assign(static_cast<size_t>(rows), 0);
    } else {
        next.known.assign(static_cast<size_t>(rows), 0);  // the old distances stay lower bounds
    }

    for (int32_t first = old_hi + 1; first <= window.hi; first += block_columns) {
        const int32_t count = std::min(block_columns, window.hi - first + 1);
        read_column_block(columns, rows, first, count, scratch.sort_keys);
        if (keep) keep_block_bits(rows, first - (old_hi + 1), scratch.right_bits, scratch);
        extend_right(next, count, scratch);
    }
    for (int32_t end = old_lo; end > window.lo; end -= block_columns) {
        const int32_t first = std::max(window.lo, end - block_columns);
        read_column_block(columns, rows, first, end - first, scratch.sort_keys);
        if (keep) keep_block_bits(rows, first - window.lo, scratch.left_bits, scratch);
        extend_left(next, end - first, scratch);
    }
    next.window = window;
    next.group_of_row.resize(static_cast<size_t>(rows));
    for (size_t i = 0; i < next.order.size(); ++i) next.group_of_row[static_cast<size_t>(next.order[i])] = next.group[i];
}

CORVANE_WITH_POPCOUNT
int32_t count_partition_carriers(const allele_table& table, window_partition& partition, int32_t allowance,
                                 const partition_scratch& scratch) {
    const int32_t rows = table.haplotype_count;
    // The largest group, the first in string order among equals; its first row is the reference.
    int32_t best_start = 0, best_size = 0;
    for (int32_t i = 0; i < rows;) {
        int32_t j = i + 1;
        while (j < rows && partition.group[static_cast<size_t>(j)] == partition.group[static_cast<size_t>(i)]) ++j;
        if (j - i > best_size) {
            best_size = j - i;
            best_start = i;
        }
        i = j;
    }
    const int32_t reference = partition.order[static_cast<size_t>(best_start)];
    if (allowance == 0) return best_size;

    // Rows equal to the old reference over the old window are as far from the new one as from it,
    // so its distances only need the added columns.
    const auto r0 = static_cast<size_t>(reference);
    if (partition.reference >= 0 && scratch.blocks_kept && partition.known[r0] && partition.distance[r0] == 0) {
        const uint64_t left = scratch.left_bits[r0], right = scratch.right_bits[r0];
        for (size_t r = 0; r < static_cast<size_t>(rows); ++r) {
            partition.distance[r] += std::popcount(scratch.left_bits[r] ^ left) + std::popcount(scratch.right_bits[r] ^ right);
        }
    } else {
        std::fill(partition.known.begin(), partition.known.end(), 0);
        std::fill(partition.distance.begin(), partition.distance.end(), 0);
    }
    partition.reference = reference;

    const snp_window window = partition.window;
    const int32_t width = window.hi - window.lo + 1;
    const uint64_t* reference_row = table.bit_row(reference);
    const int shift = window.lo & 63;
    const int32_t reference_group = partition.group_of_row[r0];
    int32_t carriers = 0;
    for (int32_t r = 0; r < rows; ++r) {
        const auto index = static_cast<size_t>(r);
        if (partition.group_of_row[index] == reference_group) {
            partition.distance[index] = 0;
            partition.known[index] = 1;
            ++carriers;
            continue;
        }
        if (!partition.known[index]) {
            if (partition.distance[index] > allowance) continue;  // a lower bound already too far
            // Both rows share the window's offset, so their words can be compared unshifted
            // once the stray bits at either end are masked off.
            const uint64_t* row = table.bit_row(r) + (window.lo >> 6);
            const uint64_t* reference_words = reference_row + (window.lo >> 6);
            const int32_t spanned = (shift + width + 63) / 64;
            const int32_t end_bits = (shift + width) & 63;
            int32_t mismatches = 0;
            int32_t j = 0;
            for (; j < spanned && mismatches <= allowance; ++j) {
                uint64_t differ = row[j] ^ reference_words[j];
                if (j == 0) differ &= ~uint64_t{0} << shift;
                if (j == spanned - 1 && end_bits != 0) differ &= (uint64_t{1} << end_bits) - 1;
                mismatches += std::popcount(differ);
            }
            partition.distance[index] = mismatches;
            partition.known[index] = j == spanned;
        }
        if (partition.known[index] && partition.distance[index] <= allowance) ++carriers;
    }
    return carriers;
}

}  // namespace corvane
