// The region search of the fast path: the shared five-phase growth over the fast carrier count.
#pragma once

#include <cstdint>

#include "input/fast_genotype_matrix.hpp"
#include "search/fast_window_count.hpp"
#include "search/region_growth.hpp"

namespace corvane {

// The region around `focal`, equal to grow_region on the same table.
region fast_grow_region(const fast_genotype_matrix& table, int32_t focal, float frequency, window_counter& counter);

}  // namespace corvane
