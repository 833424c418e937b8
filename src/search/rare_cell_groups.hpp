// The groups of equal window strings of a bit table's window that holds rare cells, and their order:
// the part of the rare-cell count (rare_cell_count) that finds the window's most common string.
// The bits hold every cell's lowest bit, which depends on its low byte alone, so rows with equal
// window strings have equal bits: the true groups split the groups of equal bits, and only at cells
// whose low byte is neither 0 nor 1 ("odd" cells).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "input/fast_genotype_matrix.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// The rare cells of a table column by column, in row order: column c's are [column_start[c],
// column_start[c + 1]). Made once per table, so the rare cells of a window are one stretch.
struct rare_cell_columns {
    std::vector<size_t> column_start;
    std::vector<int32_t> rows;
    std::vector<int32_t> values;
};

// Scratch space of the rare cell count.
struct rare_count_scratch {
    std::vector<uint32_t> rare_mark;  // per row: equal to stamp when it has a rare cell in the window
    std::vector<uint32_t> odd_mark;   // per row: the same for a cell whose low byte is neither 0 nor 1
    uint32_t stamp = 0;
    std::vector<std::pair<uint64_t, int32_t>> signatures;  // (hash of its odd cells, row)
    std::vector<int32_t> representatives;
    std::vector<int32_t> sizes;
    std::vector<int32_t> candidates;
    std::vector<int32_t> narrow_order;  // the rows of the column splits' groups, and their group numbers
    std::vector<int32_t> narrow_group;
};

// The bit of (row, column) of a bit table.
int32_t row_bit(const fast_genotype_matrix& table, int32_t row, int32_t column);

// The rare cells of `row` inside `window`, as positions in table.rare's lists.
rare_cell_range rare_cells_in(const fast_genotype_matrix& table, int32_t row, snp_window window);

// Marks the rows with rare cells, and those with odd cells, in `window`, in a new round of marks.
void mark_rare_rows(const rare_cell_columns& columns, snp_window window, rare_count_scratch& scratch);

// The window's most common string: its group's size and first row (the core row), and the stretch of
// the partition's order holding the core row's group of equal bits (empty when it has none).
struct core_group {
    int32_t size = 0;
    int32_t row = -1;
    size_t bits_first = 0;
    size_t bits_last = 0;
};

// The groups are given as `order` (rows of groups of equal bits of two or more, each group together
// and in row order) and `group` (each position's group number), the rows marked by mark_rare_rows.
// With `all_groups`, every row not in them has a window of its own; without, the other rows' groups
// need not be looked at, and a result of size below 2 means none was found.
core_group find_core_group(const fast_genotype_matrix& table, const std::vector<int32_t>& order,
                           const std::vector<int32_t>& group, snp_window window, bool all_groups,
                           rare_count_scratch& scratch);

}  // namespace corvane
