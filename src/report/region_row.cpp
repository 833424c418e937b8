// The arithmetic of a result row.
#include "report/region_row.hpp"

namespace corvane {

region_row region_row_of(const legend_span& span, region found) {
    region_row row;
    row.chr = span.chr;
    row.startpos = span.start.physical;
    row.endpos = span.end.physical;
    row.genetic_dist = span.end.genetic - span.start.genetic;
    // Positions are 32-bit; their difference wraps like the 32-bit subtraction it stands for.
    row.physical_dist = static_cast<int32_t>(static_cast<uint32_t>(row.endpos) - static_cast<uint32_t>(row.startpos));
    row.n_snp = found.end - found.start + 1;
    return row;
}

}  // namespace corvane
