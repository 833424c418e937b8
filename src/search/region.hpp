// The region search of the reference path: the five-phase growth over the reference window carrier count.
#pragma once

#include <cstdint>

#include "input/genotype_matrix.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// The region around `focal`, measured with the reference window carrier count.
region grow_region(const genotype_matrix& matrix, int32_t focal, float frequency);

}  // namespace corvane
