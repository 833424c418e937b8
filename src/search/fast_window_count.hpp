// The fast window carrier count: the same result as count_similar_haplotypes, without strings or maps.
#pragma once

#include <cstdint>
#include <vector>

#include "input/fast_genotype_matrix.hpp"
#include "search/column_bits.hpp"
#include "search/window_partition.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// Scratch space and caches reused by every count of one table.
struct window_counter {
    std::vector<int32_t> allowance;  // per width: the most mismatches a 0/1 row may have and still count
    struct slot {
        uint64_t hash = 0;
        uint32_t stamp = 0;
        int32_t first_row = 0;
        int32_t count = 0;
    };
    std::vector<slot> slots;         // open-addressing groups of equal windows
    uint32_t stamp = 0;
    column_bits columns;             // bit tables only
    std::vector<uint64_t> row_mask;  // one bit per haplotype, as a column
    int32_t row_count = 0;
    std::vector<uint64_t> groups;    // narrow test: the row sets still in the running
    std::vector<uint64_t> next_groups;
    std::vector<int32_t> group_sizes;
    std::vector<int32_t> next_group_sizes;
    window_partition passed;         // the partition of the last bit window that passed
    window_partition trial;
    partition_scratch partition_work;
};

// Prepares `counter` for windows of `table`.
void prepare_window_counter(const fast_genotype_matrix& table, window_counter& counter);

// The largest number of mismatching sites of a 0/1 window of `width` sites that still passes the
// similarity test, found by evaluating that test itself.
int32_t mismatch_allowance(int32_t width);

// The carrier count of `window` (lo < hi), equal to count_similar_haplotypes on the same table.
int32_t count_carriers(const fast_genotype_matrix& table, snp_window window, window_counter& counter);

// The carrier count of `window` when it is above `threshold` (so the window passes), else 0. This is
// all the region search needs, and it can often be settled without finding the count.
int32_t count_carriers_above(const fast_genotype_matrix& table, snp_window window, float threshold,
                             window_counter& counter);

}  // namespace corvane
