// A locus: a stretch of a chromosome with the result intervals that make it up, its peak and rank.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

struct locus {
    uint32_t chr = 0;           // index into result_rows::chr_names
    int32_t number = 0;         // 1, 2, ... by position within its chromosome
    int32_t start = 0;          // bp of the union of its intervals
    int32_t end = 0;
    int32_t interval_count = 0;
    size_t peak = 0;            // index into result_rows::intervals
    int32_t rank = 0;           // 1 + the number of loci ranked above it
    double percentile = 0.0;    // share of loci ranked at or below it
};

}  // namespace corvane
