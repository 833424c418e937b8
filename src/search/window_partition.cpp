// Grows the partition of a window into groups of equal rows by the column blocks added on each side.
#include "search/window_partition.hpp"

#include <algorithm>
#include <cstddef>
#include <numeric>

#include "search/window_grouping.hpp"
#include "search/window_words.hpp"

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

}  // namespace

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

}  // namespace corvane
