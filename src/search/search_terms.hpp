// The words every count and search shares: windows, regions, the window strings and their order,
// the carrier test, its allowance and threshold, the focal walk.
#pragma once

#include <bit>
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

// A window string holds one byte per allele, its low byte: windows group by these bytes, and among
// equally common windows the one whose string comes first in byte order wins.
inline uint8_t window_string_byte(int32_t allele) { return static_cast<uint8_t>(static_cast<uint32_t>(allele) & 0xffu); }

// For 0/1 windows held as bits: whether the window of `x` comes before another one, `differ` (nonzero)
// being the XOR of the two. At the first column where they differ, the window with 0 comes first.
inline bool zero_where_first_differing(uint64_t x, uint64_t differ) {
    return ((x >> std::countr_zero(differ)) & 1u) == 0;
}

// The squared difference of two alleles, exact: 32-bit alleles differ by up to 2^32, so their squares
// need 64 unsigned bits.
inline uint64_t squared_difference(int32_t a, int32_t b) {
    const int64_t difference = static_cast<int64_t>(a) - b;
    const uint64_t magnitude = static_cast<uint64_t>(difference < 0 ? -difference : difference);
    return magnitude * magnitude;
}

// True when `squared_distance` over `width` sites is close enough to count as a carrier.
inline bool is_carrier(double squared_distance, int32_t width) {
    const double similarity = 1.0 - squared_distance / width;
    return similarity > similarity_cutoff;
}

// The largest number of mismatching sites of a 0/1 window of `width` sites that still passes the
// similarity test, found by evaluating that test itself.
inline int32_t mismatch_allowance(int32_t width) {
    int32_t allowed = width / 50;
    while (allowed > 0 && !is_carrier(static_cast<double>(allowed), width)) --allowed;
    while (allowed < width && is_carrier(static_cast<double>(allowed + 1), width)) ++allowed;
    return allowed;
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
