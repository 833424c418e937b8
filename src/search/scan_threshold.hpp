// What every interval a scan reports was held to: the carrier threshold, as the region growth
// leaves it.
#pragma once

#include <cstdint>

#include "search/search_terms.hpp"

namespace corvane {

// Whether the interval `found` could have come from a scan at `threshold` of the panel that
// `carriers(window)` counts. The growth ends on a window that passed, [start, f + right extent]
// clipped to the table, unless no window around the focal SNP f passed at all; the reported end is
// then raised to f + 1 where it is smaller. So an interval of three or more SNPs passes whole or
// without its last SNP (its right side never grew, f = end - 1), and only an interval of two SNPs,
// [f, f + 1], may be one where nothing passed.
template <typename carrier_count>
bool reported_interval_holds(carrier_count&& carriers, region found, float threshold) {
    if (found.end - found.start + 1 < 3) return true;
    const auto passes = [&](int32_t count) { return static_cast<float>(count) > threshold; };
    return passes(carriers(snp_window{found.start, found.end})) || passes(carriers(snp_window{found.start, found.end - 1}));
}

}  // namespace corvane
