// The carrier count of a table over the codes 0 to 3 (multi-allelic sites coded by allele index),
// held as two bit planes so the bit count's partitions and column splits serve it.
#pragma once

#include <cstdint>

#include "input/fast_genotype_matrix.hpp"
#include "search/search_terms.hpp"
#include "search/window_partition.hpp"

namespace corvane {

// Makes `planes` a bit table of 2 S columns from an int8 table whose alleles are all 0 to 3: SNP c
// becomes column 2c (the allele's high bit) and 2c + 1 (its low bit). Equal windows are equal
// columns, and the first differing column orders two windows as their low bytes do (the high bit
// first), so groups and core rows carry over. False, leaving `planes` empty, for any other table.
bool make_two_plane_table(const fast_genotype_matrix& table, fast_genotype_matrix& planes);

// The columns of `planes` that hold `window`.
inline snp_window plane_window(snp_window window) { return {2 * window.lo, 2 * window.hi + 1}; }

// The carrier count of `partition`'s window of `planes` (a plane_window): the rows whose sum of
// squared differences with the core row, an exact integer below 9 S, is at most `allowance`.
int32_t count_two_plane_carriers(const fast_genotype_matrix& planes, const window_partition& partition,
                                 int32_t allowance);

}  // namespace corvane
