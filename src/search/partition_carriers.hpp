// The carriers of a partitioned window: its core row, and the rows within the mismatch allowance of
// it, whose distances are kept up to date as the search's windows grow.
#pragma once

#include <cstdint>

#include "input/fast_genotype_matrix.hpp"
#include "search/window_partition.hpp"

namespace corvane {

// The core row of the partitioned window: the first row of the largest group of equal windows (ties
// to the one whose window string comes first), or the row whose string comes first when every
// window is unique (group_size 1, group_start meaningless).
struct partition_core {
    int32_t row = 0;
    size_t group_start = 0;  // in the partition's order
    size_t group_size = 0;
};
partition_core partition_core_row(const fast_genotype_matrix& table, const window_partition& partition);

// The carrier count of the partitioned window: the first row of the largest group of equal windows
// (ties to the one whose window string comes first) is the core row, and a row is a carrier when
// it has at most `allowance` mismatches with it. Brings the distances up to date for later windows.
int32_t count_partition_carriers(const fast_genotype_matrix& table, window_partition& partition, int32_t allowance,
                                 partition_scratch& scratch);

}  // namespace corvane
