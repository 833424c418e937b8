// Which intervals of the result tables loci are made of (--min-cm, --min-snps), and how their
// genetic lengths compare.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "loci/result_table.hpp"

namespace corvane {

struct interval_filter {
    double min_cm = 0.0;   // drop intervals shorter, and those without a length when above 0
    int32_t min_snps = 0;  // drop intervals of fewer SNPs (0 to 2 drop none)
};

inline bool keeps_interval(const interval_filter& filter, const result_interval& row) {
    if (filter.min_cm > 0.0 && !(row.genetic >= filter.min_cm)) return false;
    return row.snps >= filter.min_snps;
}

// A genetic length to compare by: an interval without one (nan) is shorter than any other, and as
// short as -inf.
inline double length_key(double genetic) {
    return std::isnan(genetic) ? -std::numeric_limits<double>::infinity() : genetic;
}

}  // namespace corvane
