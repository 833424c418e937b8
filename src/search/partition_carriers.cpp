// The core row of a partition's window and its carriers, by XOR-popcount distances.
#include "search/partition_carriers.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>

#include "search/cpu_features.hpp"
#include "search/window_grouping.hpp"
#include "search/window_words.hpp"

namespace corvane {

namespace {

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
