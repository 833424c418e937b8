// The region search over the reference window carrier count.
#include "search/region.hpp"

#include "search/region_growth.hpp"
#include "search/window_count.hpp"

namespace corvane {

region grow_region(const genotype_matrix& matrix, int32_t focal, float frequency) {
    const auto carriers = [&](snp_window window) { return count_similar_haplotypes(matrix, window); };
    return grow_region_by(carriers, matrix.snp_count, matrix.haplotype_count,
                          carrier_threshold(matrix.haplotype_count, frequency), focal);
}

}  // namespace corvane
