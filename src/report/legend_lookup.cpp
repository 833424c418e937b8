// Forms a region's result row from its legend rows, read either way.
#include "report/legend_lookup.hpp"

#include "input/legend/legend_span.hpp"

namespace corvane {

run_status lookup_legend_span(const std::string& path, region found, int32_t snp_count, region_row& row,
                              bool first_lookup) {
    legend_span span;
    const run_status status = read_legend_span(path, found.start, found.end, snp_count, span, first_lookup);
    if (status == run_status::run_ok) row = region_row_of(span, found);
    return status;
}

run_status fast_lookup_legend_span(const legend_table& legend, region found, region_row& row) {
    legend_span span;
    const run_status status = legend_table_span(legend, found.start, found.end, span);
    if (status == run_status::run_ok) row = region_row_of(span, found);
    return status;
}

}  // namespace corvane
