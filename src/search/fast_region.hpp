// The region search of the fast path: the shared five-phase growth over the fast carrier count.
#pragma once

#include <cstdint>

#include "input/allele_table.hpp"
#include "search/fast_window_count.hpp"
#include "search/region.hpp"

namespace corvane {

// The region around `focal`, equal to grow_region on the same table.
region grow_region_fast(const allele_table& table, int32_t focal, float frequency, window_counter& counter);

}  // namespace corvane
