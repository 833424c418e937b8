// One row of the result table: the values of a region, from its legend rows and its SNP count.
#pragma once

#include <cstdint>
#include <string>

#include "input/legend/legend_rows.hpp"
#include "search/search_terms.hpp"

namespace corvane {

struct region_row {
    std::string chr;
    int32_t startpos = 0;
    int32_t endpos = 0;
    float genetic_dist = 0.0f;
    int32_t physical_dist = 0;
    int32_t n_snp = 0;
};

// The row of `found` from the legend rows of its first and last SNP.
region_row region_row_of(const legend_span& span, region found);

}  // namespace corvane
