// The five-phase growth of a region around a focal SNP, over any window carrier count.
#pragma once

#include <algorithm>
#include <cstdint>

#include "search/search_terms.hpp"

namespace corvane {

// Columns added per side in one coarse step.
constexpr int32_t coarse_step = 10;

// The five-phase search around `focal` (0 <= focal <= S - 2). `carriers(window)` measures a window;
// passing means its count, in single precision, is strictly above `threshold`, which must be below H.
// Phase A widens a symmetric window, phases B and C extend right then left by coarse steps, phases
// D and E refine right then left by single columns; each side keeps its last passing extent.
template <typename carrier_count>
region grow_region_by(carrier_count&& carriers, int32_t snp_count, int32_t haplotype_count, float threshold,
                      int32_t focal) {
    const int32_t last = snp_count - 1;
    const auto passes = [&](int32_t count) { return static_cast<float>(count) > threshold; };
    const auto count_window = [&](int32_t lo, int32_t hi) {
        return carriers(snp_window{std::max(lo, 0), std::min(hi, last)});
    };

    // Phase A. A passing window that already spans the whole table cannot grow any further, so the
    // search stops there and keeps that half-width.
    int32_t half_width = coarse_step;
    int32_t count = haplotype_count;
    bool spans_table = false;
    while (passes(count)) {
        const int32_t lo = std::max(focal - half_width, 0);
        const int32_t hi = std::min(focal + half_width, last);
        count = count_window(lo, hi);
        if (passes(count) && lo == 0 && hi == last) {
            spans_table = true;
            break;
        }
        half_width += coarse_step;
    }
    if (!spans_table) half_width -= 2 * coarse_step;
    const int32_t w = half_width;

    // Phase B: right side, coarse.
    int32_t right_extent = 0;
    for (int32_t i = 1;;) {
        const int32_t hi = std::min(focal + w + coarse_step * i, last);
        count = count_window(focal - w, hi);
        if (passes(count)) ++i;
        if (!passes(count) || hi == last) {
            right_extent = w + coarse_step * (i - 1);
            break;
        }
    }

    // Phase C: left side, coarse.
    int32_t left_extent = 0;
    for (int32_t j = 1;;) {
        const int32_t lo = std::max(focal - w - coarse_step * j, 0);
        const int32_t hi = std::min(focal + right_extent, last);
        if (hi == lo) {
            left_extent = w;
            break;
        }
        count = count_window(lo, hi);
        if (passes(count)) ++j;
        if (!passes(count) || lo == 0) {
            left_extent = w + coarse_step * (j - 1);
            break;
        }
    }

    // Phase D: right side, fine.
    for (int32_t i = 1;;) {
        const int32_t hi = std::min(focal + right_extent + i, last);
        count = count_window(focal - left_extent, hi);
        if (passes(count)) ++i;
        if (!passes(count) || hi == last) {
            right_extent += i - 1;
            break;
        }
    }

    // Phase E: left side, fine.
    for (int32_t j = 1;;) {
        const int32_t lo = std::max(focal - left_extent - j, 0);
        const int32_t hi = std::min(focal + right_extent, last);
        if (hi == lo) break;
        count = count_window(lo, hi);
        if (passes(count)) ++j;
        if (!passes(count) || lo == 0) {
            left_extent += j - 1;
            break;
        }
    }

    region found;
    found.start = std::max(focal - left_extent, 0);
    found.end = std::max(std::min(focal + right_extent, last), focal + 1);
    return found;
}

}  // namespace corvane
