// Cuts a chromosome into ranges of positions holding about equal shares of the file, by its index,
// for readers that read them side by side.
#pragma once

#include <cstdint>
#include <vector>

#include "prepare/vcf_reader.hpp"

namespace corvane {

// The 0-based positions [begin, end) of one range.
struct position_range {
    int64_t begin = 0;
    int64_t end = 0;
};

// About `count` ranges (fewer where the chromosome's records lie in fewer places of the index) that
// together cover every position, in order, the first from 0 and the last to the end of the positions;
// each holds about an equal share of the chromosome's compressed bytes. `reader` reads through its
// index (reader.index_id >= 0).
std::vector<position_range> cut_into_ranges(const vcf_reader& reader, size_t count);

}  // namespace corvane
