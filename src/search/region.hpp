// The region search of the plain path: the five-phase growth over the plain window carrier count.
#pragma once

#include <cstdint>

#include "input/genotype_matrix.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// The region around `focal`, measured with the plain window carrier count.
region grow_region(const genotype_matrix& matrix, int32_t focal, float frequency);

}  // namespace corvane
