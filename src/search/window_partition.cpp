// Grows the sorted partition of a window by column blocks: right blocks split groups, left blocks
// re-sort the rows (the leftmost column decides string order first).
#include "search/window_partition.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <numeric>

#include "search/cpu_features.hpp"

namespace corvane {

namespace {

// Columns sorted in one step.
constexpr int32_t block_columns = 32;

// Bits 0..10 of a number in reverse order.
struct reversed_digits {
    uint16_t of[2048];
    constexpr reversed_digits() : of() {
        for (uint32_t value = 0; value < 2048; ++value) {
            uint32_t reversed = 0;
            for (int bit = 0; bit < 11; ++bit) reversed |= ((value >> bit) & 1u) << (10 - bit);
            of[value] = static_cast<uint16_t>(reversed);
        }
    }
};
constexpr reversed_digits reversed_11_bits;

// The bits of a block (column 0 at bit 0) as a number that orders blocks as their strings order.
uint64_t string_order_key(uint64_t bits, int32_t count) {
    if (count <= 11) return reversed_11_bits.of[bits] >> (11 - count);
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
    const uint64_t first_key = keys[static_cast<size_t>(order[first])];
    size_t differing = first + 1;
    while (differing < last && keys[static_cast<size_t>(order[differing])] == first_key) ++differing;
    if (differing == last) return;  // one key throughout: nothing moves (most groups, most steps)
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
    if (count < 128 || (count < 1024 && bits > 11)) {
        // Sorting keys tagged with their position keeps equal keys in order without a counting pass
        // over two thousand digit values.
        scratch.tagged.resize(count);
        for (size_t i = first; i < last; ++i) {
            scratch.tagged[i - first] = (keys[static_cast<size_t>(order[i])] << 32) | (i - first);
        }
        std::sort(scratch.tagged.begin(), scratch.tagged.begin() + static_cast<ptrdiff_t>(count));
        scratch.order.resize(count);
        scratch.group.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const size_t from = first + (scratch.tagged[i] & 0xffffffffu);
            scratch.order[i] = order[from];
            scratch.group[i] = group[from];
        }
        std::copy(scratch.order.begin(), scratch.order.begin() + static_cast<ptrdiff_t>(count), order.begin() + static_cast<ptrdiff_t>(first));
        std::copy(scratch.group.begin(), scratch.group.begin() + static_cast<ptrdiff_t>(count), group.begin() + static_cast<ptrdiff_t>(first));
        return;
    }
    // Digits of at most 11 bits: a step's block of 10 columns is sorted in one counting pass.
    const int32_t digit_bits = std::min(bits, 11);
    const uint64_t digit_mask = (uint64_t{1} << digit_bits) - 1;
    scratch.order.resize(order.size());
    scratch.group.resize(group.size());
    scratch.counts.resize(digit_mask + 2);
    // Equal digits come in runs (rows of a group mostly share their new columns), so digits are
    // counted and moved a run at a time rather than one increment per row.
    const auto digit_at = [&](size_t i, int32_t shift) { return (keys[static_cast<size_t>(order[i])] >> shift) & digit_mask; };
    for (int32_t shift = 0; shift < bits; shift += digit_bits) {
        std::fill(scratch.counts.begin(), scratch.counts.end(), 0);
        for (size_t i = first; i < last;) {
            const uint64_t digit = digit_at(i, shift);
            size_t j = i + 1;
            while (j < last && digit_at(j, shift) == digit) ++j;
            scratch.counts[digit + 1] += static_cast<int32_t>(j - i);
            i = j;
        }
        if (scratch.counts[digit_at(first, shift) + 1] == static_cast<int32_t>(count)) {
            continue;  // one digit value throughout: nothing moves
        }
        for (size_t d = 1; d < scratch.counts.size(); ++d) scratch.counts[d] += scratch.counts[d - 1];
        for (size_t i = first; i < last;) {
            const uint64_t digit = digit_at(i, shift);
            size_t j = i + 1;
            while (j < last && digit_at(j, shift) == digit) ++j;
            const size_t to = first + static_cast<size_t>(scratch.counts[digit]);
            scratch.counts[digit] += static_cast<int32_t>(j - i);
            std::copy(order.begin() + static_cast<ptrdiff_t>(i), order.begin() + static_cast<ptrdiff_t>(j),
                      scratch.order.begin() + static_cast<ptrdiff_t>(to));
            std::copy(group.begin() + static_cast<ptrdiff_t>(i), group.begin() + static_cast<ptrdiff_t>(j),
                      scratch.group.begin() + static_cast<ptrdiff_t>(to));
            i = j;
        }
        std::copy(scratch.order.begin() + static_cast<ptrdiff_t>(first), scratch.order.begin() + static_cast<ptrdiff_t>(last),
                  order.begin() + static_cast<ptrdiff_t>(first));
        std::copy(scratch.group.begin() + static_cast<ptrdiff_t>(first), scratch.group.begin() + static_cast<ptrdiff_t>(last),
                  group.begin() + static_cast<ptrdiff_t>(first));
    }
}

// Numbers the groups again, a new group where the old group or the key changes, and drops the rows
// left alone in their group.
void regroup(window_partition& partition, const std::vector<uint64_t>& keys) {
    const size_t size = partition.order.size();
    const auto key_at = [&](size_t i) { return keys[static_cast<size_t>(partition.order[i])]; };
    const auto same_as_previous = [&](size_t i) {
        return i > 0 && partition.group[i] == partition.group[i - 1] && key_at(i) == key_at(i - 1);
    };
    size_t kept = 0;
    int32_t number = -1;
    for (size_t i = 0; i < size;) {
        size_t j = i + 1;
        while (j < size && same_as_previous(j)) ++j;
        if (j - i >= 2) {
            ++number;
            for (size_t k = i; k < j; ++k) {
                partition.order[kept] = partition.order[k];
                partition.group[kept] = number;
                ++kept;
            }
        }
        i = j;
    }
    partition.order.resize(kept);
    partition.group.resize(kept);
}

// The rows' bits at first..first+count-1 as sort keys. Read from the rows themselves: the words a
// search works on stay in cache from one window to the next.
void fill_keys(const allele_table& table, const window_partition& partition, int32_t first, int32_t count,
               partition_scratch& scratch) {
    const size_t word = static_cast<size_t>(first >> 6);
    const int shift = first & 63;
    const uint64_t mask = count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
    const size_t size = partition.order.size();
    for (size_t i = 0; i < size; ++i) {
        if (i + 16 < size) __builtin_prefetch(table.bit_row(partition.order[i + 16]) + word);
        const int32_t row = partition.order[i];
        const uint64_t* words = table.bit_row(row) + word;
        const uint64_t bits = shift == 0 ? words[0] : (words[0] >> shift) | (words[1] << (64 - shift));
        scratch.keys[static_cast<size_t>(row)] = string_order_key(bits & mask, count);
    }
}

// Appends columns first..first+count-1 (count <= block_columns) on the right: each group splits by
// its rows' new bits, in string order.
void extend_right(const allele_table& table, window_partition& partition, int32_t first, int32_t count,
                  partition_scratch& scratch) {
    fill_keys(table, partition, first, count, scratch);
    for (size_t i = 0; i < partition.order.size();) {
        size_t j = i + 1;
        while (j < partition.order.size() && partition.group[j] == partition.group[i]) ++j;
        radix_sort(partition.order, partition.group, i, j, scratch.keys, count, scratch);
        i = j;
    }
    regroup(partition, scratch.keys);
}

// Prepends columns first..first+count-1 (count <= block_columns) on the left: they come first in every
// string, so the rows are sorted by them, equal ones keeping their order.
void extend_left(const allele_table& table, window_partition& partition, int32_t first, int32_t count,
                 partition_scratch& scratch) {
    fill_keys(table, partition, first, count, scratch);
    radix_sort(partition.order, partition.group, 0, partition.order.size(), scratch.keys, count, scratch);
    regroup(partition, scratch.keys);
}

// Mismatches of `row` with `reference` over `window`, counted until they pass `limit`.
CORVANE_WITH_POPCOUNT
int32_t window_mismatches(const allele_table& table, int32_t row, int32_t reference, snp_window window,
                          int32_t limit, bool& complete) {
    // Both rows share the window's offset, so their words are compared unshifted, with the stray
    // bits at either end masked off.
    const int shift = window.lo & 63;
    const int32_t width = window.hi - window.lo + 1;
    const uint64_t* mine = table.bit_row(row) + (window.lo >> 6);
    const uint64_t* theirs = table.bit_row(reference) + (window.lo >> 6);
    const int32_t spanned = (shift + width + 63) / 64;
    const int end_bits = (shift + width) & 63;
    int32_t mismatches = 0;
    int32_t j = 0;
    for (; j < spanned && mismatches <= limit; ++j) {
        uint64_t differ = mine[j] ^ theirs[j];
        if (j == 0) differ &= ~uint64_t{0} << shift;
        if (j == spanned - 1 && end_bits != 0) differ &= (uint64_t{1} << end_bits) - 1;
        mismatches += std::popcount(differ);
    }
    complete = j == spanned;
    return mismatches;
}

// True when row a's window string comes before row b's.
bool string_before(const allele_table& table, int32_t a, int32_t b, snp_window window) {
    const int shift = window.lo & 63;
    const int32_t width = window.hi - window.lo + 1;
    const uint64_t* x = table.bit_row(a) + (window.lo >> 6);
    const uint64_t* y = table.bit_row(b) + (window.lo >> 6);
    const int32_t spanned = (shift + width + 63) / 64;
    const int end_bits = (shift + width) & 63;
    for (int32_t j = 0; j < spanned; ++j) {
        uint64_t differ = x[j] ^ y[j];
        if (j == 0) differ &= ~uint64_t{0} << shift;
        if (j == spanned - 1 && end_bits != 0) differ &= (uint64_t{1} << end_bits) - 1;
        if (differ != 0) return ((x[j] >> std::countr_zero(differ)) & 1u) == 0;
    }
    return false;
}

// The alleles of `row` at columns first..first+count-1 (count <= 64), column first at bit 0.
uint64_t row_bits(const allele_table& table, int32_t row, int32_t first, int32_t count) {
    if (count <= 0) return 0;
    const uint64_t* words = table.bit_row(row) + (first >> 6);
    const int shift = first & 63;
    const uint64_t bits = shift == 0 ? words[0] : (words[0] >> shift) | (words[1] << (64 - shift));
    return count == 64 ? bits : bits & ((uint64_t{1} << count) - 1);
}

// Adds to each near row's distance its mismatches with the reference over the two added blocks.
CORVANE_WITH_POPCOUNT
void add_block_mismatches(const allele_table& table, window_partition& partition, int32_t reference,
                          int32_t left_first, int32_t left_count, int32_t right_first, int32_t right_count) {
    const uint64_t left = row_bits(table, reference, left_first, left_count);
    const uint64_t right = row_bits(table, reference, right_first, right_count);
    const size_t size = partition.near.size();
    for (size_t i = 0; i < size; ++i) {
        if (i + 16 < size) __builtin_prefetch(table.bit_row(partition.near[i + 16]) + (right_first >> 6));
        const int32_t row = partition.near[i];
        partition.distance[static_cast<size_t>(row)] +=
            std::popcount(row_bits(table, row, left_first, left_count) ^ left) +
            std::popcount(row_bits(table, row, right_first, right_count) ^ right);
    }
}

}  // namespace

void partition_window(const allele_table& table, const window_partition& base, snp_window window,
                      window_partition& next, partition_scratch& scratch) {
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
        next.near_allowance = -1;
        next.measured = {0, -1};
        next.near.clear();
        next.distance.assign(static_cast<size_t>(rows), 0);
    }
    scratch.keys.resize(static_cast<size_t>(rows));
    const int32_t old_lo = next.window.lo, old_hi = next.window.hi;
    for (int32_t first = old_hi + 1; first <= window.hi; first += block_columns) {
        extend_right(table, next, first, std::min(block_columns, window.hi - first + 1), scratch);
    }
    for (int32_t end = old_lo; end > window.lo; end -= block_columns) {
        const int32_t first = std::max(window.lo, end - block_columns);
        extend_left(table, next, first, end - first, scratch);
    }
    next.window = window;
}

int32_t count_partition_carriers(const allele_table& table, window_partition& partition, int32_t allowance,
                                 partition_scratch& scratch) {
    const int32_t rows = table.haplotype_count;
    const snp_window window = partition.window;
    // The largest group, the first in string order among equals; its first row is the reference.
    // With every window unique, the reference is the row whose window string comes first.
    size_t best_start = 0, best_size = 0;
    for (size_t i = 0; i < partition.order.size();) {
        size_t j = i + 1;
        while (j < partition.order.size() && partition.group[j] == partition.group[i]) ++j;
        if (j - i > best_size) {
            best_size = j - i;
            best_start = i;
        }
        i = j;
    }
    int32_t reference = 0;
    if (best_size > 0) {
        reference = partition.order[best_start];
    } else {
        best_size = 1;
        for (int32_t r = 1; r < rows; ++r) {
            if (string_before(table, r, reference, window)) reference = r;
        }
    }
    if (allowance == 0) return static_cast<int32_t>(best_size);

    // Rows equal to the old reference over the measured window are exactly as far from the new
    // one there, so the near rows only need the columns added since; other rows keep lower bounds.
    const snp_window measured = partition.measured;
    const auto r0 = static_cast<size_t>(reference);
    const bool near_old = partition.reference >= 0 && measured.lo - window.lo <= 64 && window.hi - measured.hi <= 64 &&
                          std::find(partition.near.begin(), partition.near.end(), reference) != partition.near.end() &&
                          partition.distance[r0] == 0;
    bool scan_all = true;
    if (near_old) {
        add_block_mismatches(table, partition, reference, window.lo, measured.lo - window.lo, measured.hi + 1,
                             window.hi - measured.hi);
        // Every other row was already beyond the old allowance.
        scan_all = allowance > partition.near_allowance;
    } else {
        partition.near.clear();
        std::fill(partition.distance.begin(), partition.distance.end(), 0);
    }

    scratch.mark.resize(static_cast<size_t>(rows));
    if (++scratch.mark_stamp == 0) {
        std::fill(scratch.mark.begin(), scratch.mark.end(), 0);
        scratch.mark_stamp = 1;
    }
    scratch.near.clear();
    const auto take = [&](int32_t row) {
        scratch.mark[static_cast<size_t>(row)] = scratch.mark_stamp;
        scratch.near.push_back(row);
    };
    for (size_t i = best_start; i < best_start + best_size; ++i) {
        const int32_t row = best_size == 1 && partition.order.empty() ? reference : partition.order[i];
        partition.distance[static_cast<size_t>(row)] = 0;
        take(row);
    }
    for (const int32_t row : partition.near) {
        if (scratch.mark[static_cast<size_t>(row)] != scratch.mark_stamp && partition.distance[static_cast<size_t>(row)] <= allowance) {
            take(row);
        }
    }
    if (scan_all) {
        for (int32_t row = 0; row < rows; ++row) {
            const auto index = static_cast<size_t>(row);
            if (scratch.mark[index] == scratch.mark_stamp || partition.distance[index] > allowance) continue;
            // Counting on a little past the allowance gives a lower bound that stays above it while
            // the window grows, so the row is not read again at each step.
            bool complete = false;
            partition.distance[index] = window_mismatches(table, row, reference, window, allowance + 32, complete);
            if (complete && partition.distance[index] <= allowance) take(row);
        }
    }
    partition.near.swap(scratch.near);
    partition.reference = reference;
    partition.near_allowance = allowance;
    partition.measured = window;
    return static_cast<int32_t>(partition.near.size());
}

}  // namespace corvane
