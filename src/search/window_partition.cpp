// Grows the partition of a window into groups of equal rows by the column blocks added on each side.
#include "search/window_partition.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <numeric>

#include "search/cpu_features.hpp"
#include "search/window_grouping.hpp"

namespace corvane {

namespace {

// Columns added on each side in one step: the two blocks share one 64-bit key.
constexpr int32_t block_columns = 32;

// Brings the rows order[first..last) with equal keys together, each run in row order: every row gets
// the number of its key's part, then a counting pass moves the rows. A group usually splits into a
// few parts, found by a short list of the keys seen; a group built from nothing may split into
// thousands, found by an open-addressing table.
void gather_equal_keys(std::vector<int32_t>& order, size_t first, size_t last, const std::vector<uint64_t>& keys,
                       partition_scratch& scratch) {
    constexpr size_t few_parts = 16;
    const size_t count = last - first;
    uint64_t seen[few_parts];
    size_t parts = 0;
    scratch.part.resize(count);
    size_t i = first;
    for (; i < last; ++i) {
        const uint64_t key = keys[static_cast<size_t>(order[i])];
        size_t p = 0;
        while (p < parts && seen[p] != key) ++p;
        if (p == few_parts) break;
        if (p == parts) seen[parts++] = key;
        scratch.part[i - first] = static_cast<uint32_t>(p);
    }
    if (i < last) {
        size_t slots = 64;
        while (slots < 2 * count) slots *= 2;
        scratch.slot_keys.resize(slots);
        scratch.slot_parts.assign(slots, -1);
        parts = 0;
        for (i = first; i < last; ++i) {
            const uint64_t key = keys[static_cast<size_t>(order[i])];
            size_t slot = static_cast<size_t>(hash_mix(0, key) >> 40) & (slots - 1);
            while (scratch.slot_parts[slot] >= 0 && scratch.slot_keys[slot] != key) slot = (slot + 1) & (slots - 1);
            if (scratch.slot_parts[slot] < 0) {
                scratch.slot_keys[slot] = key;
                scratch.slot_parts[slot] = static_cast<int32_t>(parts++);
            }
            scratch.part[i - first] = static_cast<uint32_t>(scratch.slot_parts[slot]);
        }
    }
    // Most rows share one part, in long runs: counting and moving a run at a time avoids a chain of
    // increments of the same counter.
    const auto run_end = [&](size_t k) {
        size_t end = k + 1;
        while (end < count && scratch.part[end] == scratch.part[k]) ++end;
        return end;
    };
    scratch.starts.assign(parts + 1, 0);
    for (size_t k = 0; k < count;) {
        const size_t end = run_end(k);
        scratch.starts[scratch.part[k] + 1] += end - k;
        k = end;
    }
    for (size_t p = 1; p <= parts; ++p) scratch.starts[p] += scratch.starts[p - 1];
    scratch.moved.resize(count);
    for (size_t k = 0; k < count;) {
        const size_t end = run_end(k);
        size_t& to = scratch.starts[scratch.part[k]];
        std::copy(order.begin() + static_cast<ptrdiff_t>(first + k), order.begin() + static_cast<ptrdiff_t>(first + end),
                  scratch.moved.begin() + static_cast<ptrdiff_t>(to));
        to += end - k;
        k = end;
    }
    std::copy(scratch.moved.begin(), scratch.moved.end(), order.begin() + static_cast<ptrdiff_t>(first));
}

// Brings each group's rows with equal keys together (in row order), splits the groups where keys
// differ and drops the rows left alone. Most groups agree on the new columns and are not touched.
void split_groups(window_partition& partition, const std::vector<uint64_t>& keys, partition_scratch& scratch) {
    std::vector<int32_t>& order = partition.order;
    const size_t size = order.size();
    const auto key_of = [&](size_t i) { return keys[static_cast<size_t>(order[i])]; };
    for (size_t first = 0; first < size;) {
        size_t last = first + 1;
        bool differ = false;
        while (last < size && partition.group[last] == partition.group[first]) {
            differ = differ || key_of(last) != key_of(first);
            ++last;
        }
        if (differ) gather_equal_keys(order, first, last, keys, scratch);
        first = last;
    }
    // New numbers: a new group where the old group or the key changes; single rows leave.
    size_t kept = 0;
    int32_t number = -1;
    for (size_t i = 0; i < size;) {
        size_t j = i + 1;
        while (j < size && partition.group[j] == partition.group[i] && key_of(j) == key_of(i)) ++j;
        if (j - i >= 2) {
            ++number;
            for (size_t k = i; k < j; ++k) {
                order[kept] = order[k];
                partition.group[kept] = number;
                ++kept;
            }
        }
        i = j;
    }
    order.resize(kept);
    partition.group.resize(kept);
}

// The alleles of `row` at columns first..first+count-1 (count <= 64), column first at bit 0.
uint64_t row_bits(const fast_genotype_matrix& table, int32_t row, int32_t first, int32_t count) {
    if (count <= 0) return 0;
    const uint64_t* words = table.bit_row(row) + (first >> 6);
    const int shift = first & 63;
    const uint64_t bits = shift == 0 ? words[0] : (words[0] >> shift) | (words[1] << (64 - shift));
    return count == 64 ? bits : bits & ((uint64_t{1} << count) - 1);
}

// Splits the groups by the columns added on the left (first `left_count` from `left_first`) and on
// the right, up to 32 of each at once. A few columns are read from the transposed table, where they
// sit in the nearest cache; wider blocks from the rows, one or two words each.
void add_columns(const fast_genotype_matrix& table, column_bits& columns, window_partition& partition,
                 int32_t left_first, int32_t left_count, int32_t right_first, int32_t right_count,
                 partition_scratch& scratch) {
    const size_t size = partition.order.size();
    constexpr int32_t few_columns = 4;
    if (left_count + right_count <= few_columns) {
        // Key bit j is column left_first + j, bit 32 + j column right_first + j.
        const uint64_t* column[few_columns];
        int shift[few_columns];
        int32_t count = 0;
        for (int32_t j = 0; j < left_count; ++j, ++count) {
            column[count] = columns.column(left_first + j);
            shift[count] = 32 + j;
        }
        for (int32_t j = 0; j < right_count; ++j, ++count) {
            column[count] = columns.column(right_first + j);
            shift[count] = j;
        }
        for (const int32_t row : partition.order) {
            const size_t word = static_cast<size_t>(row >> 6);
            const int bit = row & 63;
            uint64_t key = 0;
            for (int32_t k = 0; k < count; ++k) key |= ((column[k][word] >> bit) & 1u) << shift[k];
            scratch.keys[static_cast<size_t>(row)] = key;
        }
    } else {
        for (size_t i = 0; i < size; ++i) {
            if (i + 32 < size) {
                __builtin_prefetch(table.bit_row(partition.order[i + 32]) + (left_first >> 6));
                __builtin_prefetch(table.bit_row(partition.order[i + 32]) + (right_first >> 6));
            }
            const int32_t row = partition.order[i];
            scratch.keys[static_cast<size_t>(row)] =
                (row_bits(table, row, left_first, left_count) << 32) | row_bits(table, row, right_first, right_count);
        }
    }
    split_groups(partition, scratch.keys, scratch);
}

// True when row a's window string comes before row b's.
bool string_before(const fast_genotype_matrix& table, int32_t a, int32_t b, snp_window window) {
    const window_words words(table, a, b, window);
    for (int32_t j = 0; j < words.spanned; ++j) {
        const uint64_t differ = words.differ(j);
        if (differ != 0) return zero_where_first_differing(words.x[j], differ);
    }
    return false;
}

// Adds to each near row's distance its mismatches with the core row over the two added blocks.
CORVANE_WITH_POPCOUNT
void add_block_mismatches(const fast_genotype_matrix& table, window_partition& partition, int32_t core_row,
                          int32_t left_first, int32_t left_count, int32_t right_first, int32_t right_count) {
    const uint64_t left = row_bits(table, core_row, left_first, left_count);
    const uint64_t right = row_bits(table, core_row, right_first, right_count);
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

CORVANE_WITH_POPCOUNT
int32_t window_mismatches(const fast_genotype_matrix& table, int32_t row, int32_t core_row, snp_window window,
                          int32_t limit, bool& complete) {
    const window_words words(table, row, core_row, window);
    int32_t mismatches = 0;
    int32_t j = 0;
    for (; j < words.spanned && mismatches <= limit; ++j) mismatches += std::popcount(words.differ(j));
    complete = j == words.spanned;
    return mismatches;
}

void partition_window(const fast_genotype_matrix& table, column_bits& columns, const window_partition& base,
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
        next.core_row = -1;
        next.near_allowance = -1;
        next.measured = {0, -1};
        next.near.clear();
        next.distance.assign(static_cast<size_t>(rows), 0);
    }
    scratch.keys.resize(static_cast<size_t>(rows));
    const int32_t old_lo = next.window.lo, old_hi = next.window.hi;
    // Equal windows are equal column by column, so the order the columns are added in does not
    // matter: both sides go in the same pass, 32 columns of each at a time.
    int32_t left_end = old_lo, right_first = old_hi + 1;
    while (left_end > window.lo || right_first <= window.hi) {
        const int32_t left_count = std::min(block_columns, left_end - window.lo);
        const int32_t right_count = std::min(block_columns, window.hi - right_first + 1);
        add_columns(table, columns, next, left_end - left_count, left_count, right_first, right_count, scratch);
        left_end -= left_count;
        right_first += right_count;
    }
    next.window = window;
}

partition_core partition_core_row(const fast_genotype_matrix& table, const window_partition& partition) {
    const snp_window window = partition.window;
    // The largest group, the first in string order among equals; its first row is the core row.
    // With every window unique, the core row is the row whose window string comes first.
    partition_core core;
    for (size_t i = 0; i < partition.order.size();) {
        size_t j = i + 1;
        while (j < partition.order.size() && partition.group[j] == partition.group[i]) ++j;
        if (j - i > core.group_size ||
            (j - i == core.group_size && string_before(table, partition.order[i], partition.order[core.group_start], window))) {
            core.group_size = j - i;
            core.group_start = i;
        }
        i = j;
    }
    if (core.group_size > 0) {
        core.row = partition.order[core.group_start];
    } else {
        core.group_size = 1;
        for (int32_t r = 1; r < table.haplotype_count; ++r) {
            if (string_before(table, r, core.row, window)) core.row = r;
        }
    }
    return core;
}

int32_t count_partition_carriers(const fast_genotype_matrix& table, window_partition& partition, int32_t allowance,
                                 partition_scratch& scratch) {
    const int32_t rows = table.haplotype_count;
    const snp_window window = partition.window;
    const partition_core core = partition_core_row(table, partition);
    const int32_t core_row = core.row;
    const size_t best_start = core.group_start, best_size = core.group_size;
    if (allowance == 0) return static_cast<int32_t>(best_size);

    // Rows equal to the old core row over the measured window are exactly as far from the new
    // one there, so the near rows only need the columns added since; other rows keep lower bounds.
    const snp_window measured = partition.measured;
    const auto r0 = static_cast<size_t>(core_row);
    const bool near_old = partition.core_row >= 0 && measured.lo - window.lo <= 64 && window.hi - measured.hi <= 64 &&
                          std::find(partition.near.begin(), partition.near.end(), core_row) != partition.near.end() &&
                          partition.distance[r0] == 0;
    bool scan_all = true;
    if (near_old) {
        add_block_mismatches(table, partition, core_row, window.lo, measured.lo - window.lo, measured.hi + 1,
                             window.hi - measured.hi);
        // Every other row was already beyond the old allowance.
        scan_all = allowance > partition.near_allowance;
    } else {
        partition.near.clear();
        std::fill(partition.distance.begin(), partition.distance.end(), 0);
    }

    scratch.mark.resize(static_cast<size_t>(rows));
    start_new_round(scratch.mark_stamp, [&] { std::fill(scratch.mark.begin(), scratch.mark.end(), 0); });
    scratch.near.clear();
    const auto take = [&](int32_t row) {
        scratch.mark[static_cast<size_t>(row)] = scratch.mark_stamp;
        scratch.near.push_back(row);
    };
    for (size_t i = best_start; i < best_start + best_size; ++i) {
        const int32_t row = best_size == 1 && partition.order.empty() ? core_row : partition.order[i];
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
            partition.distance[index] = window_mismatches(table, row, core_row, window, allowance + 32, complete);
            if (complete && partition.distance[index] <= allowance) take(row);
        }
    }
    partition.near.swap(scratch.near);
    partition.core_row = core_row;
    partition.near_allowance = allowance;
    partition.measured = window;
    return static_cast<int32_t>(partition.near.size());
}

}  // namespace corvane
