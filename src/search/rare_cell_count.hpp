// The carrier count of a window of a bit table with rare cells (alleles other than 0 and 1 listed
// beside the bits): the bit count's groups and mismatches, corrected at the rare cells only.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "input/fast_genotype_matrix.hpp"
#include "search/narrow_window_groups.hpp"
#include "search/rare_cell_groups.hpp"
#include "search/search_terms.hpp"
#include "search/window_partition.hpp"

namespace corvane {

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
// window's most common string is in one of them whenever its group is above the threshold. Nothing
// when none of them holds a group of two equal strings, so the count must be made the general way.
std::optional<int32_t> count_rare_narrow_carriers(const fast_genotype_matrix& table, const rare_cell_columns& columns,
                                                  const narrow_groups_scratch& groups, int32_t words_per_column, snp_window window,
                                                  rare_count_scratch& scratch);

}  // namespace corvane
