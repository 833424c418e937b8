// The carrier count of a window of a bit table with rare cells (alleles other than 0 and 1 listed
// beside the bits): the bit count's groups and mismatches, corrected at the rare cells only.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "input/fast_genotype_matrix.hpp"
#include "search/narrow_window_groups.hpp"
#include "search/search_terms.hpp"
#include "search/window_partition.hpp"

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

// Lists the rare cells of `table` by column and sizes `scratch` for its rows.
void prepare_rare_cell_count(const fast_genotype_matrix& table, rare_cell_columns& columns, rare_count_scratch& scratch);

// Whether `window` holds no rare cell, so the bit count alone is exact there.
bool window_is_all_bits(const rare_cell_columns& columns, snp_window window);

// The carrier count of `partition`'s window, equal to count_similar_haplotypes: the partition's
// groups of equal bits split by the cells whose low byte is neither 0 nor 1, and the mismatches of
// the bits corrected by the squared differences at rare cells. `allowance` is the most a carrier's
// squared distance may be. Brings the partition's distances up to date as count_partition_carriers does.
int32_t count_rare_cell_carriers(const fast_genotype_matrix& table, const rare_cell_columns& columns,
                                 window_partition& partition, int32_t allowance, partition_scratch& bit_scratch,
                                 rare_count_scratch& scratch);

// The carrier count of a window that allows no mismatch, from the groups of equal bits that the
// column splits left (those above the threshold, as bitsets of `words_per_column` words): the
// window's most common string is in one of them whenever its group is above the threshold. -1 when
// none of them holds a group of two equal strings, so the count must be made the general way.
int32_t count_rare_narrow_carriers(const fast_genotype_matrix& table, const rare_cell_columns& columns,
                                   const narrow_groups_scratch& groups, int32_t words_per_column, snp_window window,
                                   rare_count_scratch& scratch);

}  // namespace corvane
