// Counting a bit table's window that holds rare cells: its most common string from rare_cell_groups,
// then the distances. The bits' mismatch count is a lower bound of the squared distance (a cell that
// differs adds at least 1), and the distance is that count corrected at the rare cells of the two rows.
#include "search/rare_cell_count.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <limits>

#include "search/partition_carriers.hpp"
#include "search/window_words.hpp"

namespace corvane {

namespace {

// Whether `row`'s squared distance to `core_row` over the window is at most `allowance`: the
// mismatches of the bits, then at each rare cell of either row the squared difference of the
// values in place of the bits' mismatch. Every term is an exact integer below 2^53 (see
// keeps_rare_cells), so this integer sum is the double sum the reference count makes.
bool within_allowance(const fast_genotype_matrix& table, int32_t row, int32_t core_row, snp_window window,
                      int32_t allowance) {
    bool complete = false;
    int64_t distance = window_mismatches(table, row, core_row, window, allowance, complete);
    if (!complete || distance > allowance) return false;
    const rare_cells& rare = table.rare;
    rare_cell_range x = rare_cells_in(table, row, window), y = rare_cells_in(table, core_row, window);
    constexpr int32_t none = std::numeric_limits<int32_t>::max();
    while (x.first < x.last || y.first < y.last) {
        const int32_t column_x = x.first < x.last ? rare.columns[x.first] : none;
        const int32_t column_y = y.first < y.last ? rare.columns[y.first] : none;
        const int32_t column = std::min(column_x, column_y);
        const int32_t bit_x = row_bit(table, row, column), bit_y = row_bit(table, core_row, column);
        const int32_t value_x = column_x == column ? rare.values[x.first++] : bit_x;
        const int32_t value_y = column_y == column ? rare.values[y.first++] : bit_y;
        distance += static_cast<int64_t>(squared_difference(value_x, value_y)) - (bit_x ^ bit_y);
        // Each correction is at least 0, so the sum only grows.
        if (distance > allowance) return false;
    }
    return true;
}

// The carriers among the core group's rows of equal bits, for a window that allows no mismatch:
// those whose values all equal the core row's.
int32_t count_exact_matches(const fast_genotype_matrix& table, const std::vector<int32_t>& order, const core_group& core,
                            snp_window window, const rare_count_scratch& scratch) {
    const bool core_is_rare = scratch.rare_mark[static_cast<size_t>(core.row)] == scratch.stamp;
    int32_t carriers = 0;
    for (size_t i = core.bits_first; i < core.bits_last; ++i) {
        const int32_t row = order[i];
        if (!core_is_rare && scratch.rare_mark[static_cast<size_t>(row)] != scratch.stamp) ++carriers;
        else carriers += within_allowance(table, row, core.row, window, 0);
    }
    return carriers;
}

}  // namespace

void prepare_rare_cell_count(const fast_genotype_matrix& table, rare_cell_columns& columns, rare_count_scratch& scratch) {
    columns = rare_cell_columns{};
    scratch = rare_count_scratch{};
    if (!table.has_rare_cells()) return;
    const rare_cells& rare = table.rare;
    columns.column_start.assign(static_cast<size_t>(table.snp_count) + 1, 0);
    for (const int32_t column : rare.columns) ++columns.column_start[static_cast<size_t>(column) + 1];
    for (size_t c = 1; c < columns.column_start.size(); ++c) columns.column_start[c] += columns.column_start[c - 1];
    columns.rows.resize(rare.values.size());
    columns.values.resize(rare.values.size());
    std::vector<size_t> next(columns.column_start.begin(), columns.column_start.end() - 1);
    for (int32_t row = 0; row < table.haplotype_count; ++row) {
        const rare_cell_range cells_of_row = rare.of_row(row);
        for (size_t i = cells_of_row.first; i < cells_of_row.last; ++i) {
            const size_t to = next[static_cast<size_t>(rare.columns[i])]++;
            columns.rows[to] = row;
            columns.values[to] = rare.values[i];
        }
    }
    scratch.rare_mark.assign(static_cast<size_t>(table.haplotype_count), 0);
    scratch.odd_mark.assign(static_cast<size_t>(table.haplotype_count), 0);
}

bool window_is_all_bits(const rare_cell_columns& columns, snp_window window) {
    return columns.column_start.empty() ||
           columns.column_start[static_cast<size_t>(window.lo)] == columns.column_start[static_cast<size_t>(window.hi) + 1];
}

std::optional<int32_t> count_rare_narrow_carriers(const fast_genotype_matrix& table, const rare_cell_columns& columns,
                                                  const narrow_groups_scratch& groups, int32_t words_per_column, snp_window window,
                                                  rare_count_scratch& scratch) {
    mark_rare_rows(columns, window, scratch);
    scratch.narrow_order.clear();
    scratch.narrow_group.clear();
    const auto stride = static_cast<size_t>(words_per_column);
    for (size_t g = 0; g < groups.group_sizes.size(); ++g) {
        for (size_t w = 0; w < stride; ++w) {
            for (uint64_t bits = groups.groups[g * stride + w]; bits != 0; bits &= bits - 1) {
                scratch.narrow_order.push_back(static_cast<int32_t>(w * 64) + std::countr_zero(bits));
                scratch.narrow_group.push_back(static_cast<int32_t>(g));
            }
        }
    }
    const core_group core = find_core_group(table, scratch.narrow_order, scratch.narrow_group, window, false, scratch);
    if (core.size < 2) return std::nullopt;
    return count_exact_matches(table, scratch.narrow_order, core, window, scratch);
}

int32_t count_rare_cell_carriers(const fast_genotype_matrix& table, const rare_cell_columns& columns,
                                 window_partition& partition, int32_t allowance, partition_scratch& bit_scratch,
                                 rare_count_scratch& scratch) {
    const snp_window window = partition.window;
    mark_rare_rows(columns, window, scratch);
    const core_group core = find_core_group(table, partition.order, partition.group, window, true, scratch);

    // The carriers are among the rows whose bits are within the allowance of the core row's.
    if (allowance == 0) return core.size == 1 ? 1 : count_exact_matches(table, partition.order, core, window, scratch);
    scratch.candidates.clear();
    {
        count_partition_carriers(table, partition, allowance, bit_scratch);
        bool complete = false;
        const bool same_bits = window_mismatches(table, core.row, partition.core_row, window, 0, complete) == 0 && complete;
        if (same_bits) {
            scratch.candidates = partition.near;
        } else {
            for (int32_t row = 0; row < table.haplotype_count; ++row) {
                const int32_t mismatches = window_mismatches(table, row, core.row, window, allowance, complete);
                if (complete && mismatches <= allowance) scratch.candidates.push_back(row);
            }
        }
    }
    const bool core_is_rare = scratch.rare_mark[static_cast<size_t>(core.row)] == scratch.stamp;
    int32_t carriers = 0;
    for (const int32_t row : scratch.candidates) {
        if (!core_is_rare && scratch.rare_mark[static_cast<size_t>(row)] != scratch.stamp) ++carriers;
        else carriers += within_allowance(table, row, core.row, window, allowance);
    }
    assert(carriers >= 1);
    return carriers;
}

}  // namespace corvane
