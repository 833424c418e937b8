// The fast window carrier count: the same result as count_similar_haplotypes, without strings or maps.
#pragma once

#include <cstdint>
#include <vector>

#include "input/fast_genotype_matrix.hpp"
#include "search/column_bits.hpp"
#include "search/narrow_window_groups.hpp"
#include "search/rare_cell_count.hpp"
#include "search/search_terms.hpp"
#include "search/two_plane_count.hpp"
#include "search/value_window_count.hpp"
#include "search/window_partition.hpp"

namespace corvane {

// How the windows of a table are counted, chosen once when its counter is made.
enum class count_path {
    bits,             // 0/1 alleles as bits: partitions of equal windows, column splits
    bits_with_rare,   // the same, corrected at the few cells of other codes listed beside the bits
    two_planes,       // codes 0 to 3 as two bit planes, counted like bits
    values,           // other codes as integers: hashed groups of equal windows, much slower
};

// What belongs to one table: made once by prepare_window_counter, read by every count. The
// transposed columns fill in as they are asked for.
struct table_caches {
    count_path path = count_path::bits;
    std::vector<int32_t> allowance;  // per width: the most mismatches a 0/1 row may have and still count
    fast_genotype_matrix planes;     // two_planes only: the table's two bit planes
    column_bits columns;             // bit tables and two planes only
    std::vector<uint64_t> all_rows;  // bit tables and two planes only: one bit per haplotype, as a column
    rare_cell_columns rare_columns;  // bit tables with rare cells only
    int32_t row_count = 0;
};

// What a search carries from one window to the next: the partition of the last bit window that
// passed, which the next window (usually a wider one around it) grows instead of starting afresh.
// Only fast_count_carriers_above reads and writes it, so its result depends on the windows before only
// through this.
struct search_state {
    window_partition passed;
};

// Space every count reuses; nothing in it outlives one count.
struct count_scratch {
    window_partition trial;  // the partition of the window being counted
    partition_scratch partition;
    narrow_groups_scratch narrow;
    value_count_scratch values;
    rare_count_scratch rare;
};

// Everything the fast count of one table needs, in its three parts.
struct window_counter {
    table_caches caches;
    search_state search;
    count_scratch scratch;
};

// Prepares `counter` for windows of `table`: the caches made, no search carried, scratch sized.
void prepare_window_counter(const fast_genotype_matrix& table, window_counter& counter);

// The count path's name on the progress line: "0/1 bits", "bits+rare", "2 planes" or "general".
const char* count_path_name(count_path path);

// The carrier count of `window` (lo < hi), equal to count_similar_haplotypes on the same table. It
// depends on no earlier count.
int32_t fast_count_carriers(const fast_genotype_matrix& table, snp_window window, table_caches& caches,
                       count_scratch& scratch);

// The carrier count of `window` when it is above `threshold` (so the window passes), else 0. This is
// all the region search needs, and it can often be settled without finding the count. A passing bit
// window becomes the search's `passed` partition.
int32_t fast_count_carriers_above(const fast_genotype_matrix& table, snp_window window, float threshold,
                             table_caches& caches, search_state& search, count_scratch& scratch);

// The same two counts with the parts of `counter`.
inline int32_t fast_count_carriers(const fast_genotype_matrix& table, snp_window window, window_counter& counter) {
    return fast_count_carriers(table, window, counter.caches, counter.scratch);
}
inline int32_t fast_count_carriers_above(const fast_genotype_matrix& table, snp_window window, float threshold,
                                    window_counter& counter) {
    return fast_count_carriers_above(table, window, threshold, counter.caches, counter.search, counter.scratch);
}

}  // namespace corvane
