// The region search of the fast path.
#include "search/fast_region.hpp"

namespace corvane {

region fast_grow_region(const fast_genotype_matrix& table, int32_t focal, float frequency, window_counter& counter) {
    const float threshold = carrier_threshold(table.haplotype_count, frequency);
    const auto carriers = [&](snp_window window) { return fast_count_carriers_above(table, window, threshold, counter); };
    return grow_region_by(carriers, table.snp_count, table.haplotype_count, threshold, focal);
}

}  // namespace corvane
