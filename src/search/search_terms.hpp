// The words both region searches share: windows, regions, the carrier test and threshold, the focal walk.
#pragma once

#include <cmath>
#include <cstdint>

namespace corvane {

// A haplotype counts as a carrier when its similarity to the core row exceeds this.
constexpr double similarity_cutoff = 0.98;

// An inclusive range of SNP columns, 0 <= lo <= hi <= S - 1.
struct snp_window {
    int32_t lo = 0;
    int32_t hi = 0;
};

// The SNP interval start..end (inclusive, start < end) found around one focal SNP.
struct region {
    int32_t start = 0;
    int32_t end = 0;
};

// True when `squared_distance` over `width` sites is close enough to count as a carrier.
inline bool is_carrier(double squared_distance, int32_t width) {
    const double similarity = 1.0 - squared_distance / width;
    return similarity > similarity_cutoff;
}

// floor(H x frequency) in single precision: a carrier count must exceed it to pass.
inline float carrier_threshold(int32_t haplotype_count, float frequency) {
    return std::floor(static_cast<float>(haplotype_count) * frequency);
}

// The focal SNP after `found`: the second SNP after its end, so neighbouring regions may overlap on
// their left side.
inline int32_t next_focal_snp(region found) { return found.end + 2; }

// Whether `focal` can still start a search: a region holds at least two SNPs.
inline bool is_focal_snp(int32_t focal, int32_t snp_count) { return focal < snp_count - 1; }

}  // namespace corvane
