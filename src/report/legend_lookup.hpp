// The result row of a region looked up in the legend: re-read for every region on the reference
// path, read once on the fast path.
#pragma once

#include <cstdint>
#include <string>

#include "common/run_status.hpp"
#include "input/legend/legend_table.hpp"
#include "report/region_row.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// Reads the whole legend (a header line, then one row per SNP in column order) and forms the row of
// `found`. Prints "Input legend file not found: PATH" on standard output and returns legend_missing
// when the file cannot be opened; the other faults are read_legend_span's, and so is the warning of
// a longer legend, given on the run's `first_lookup` only.
run_status lookup_legend_span(const std::string& path, region found, int32_t snp_count, region_row& row,
                              bool first_lookup);

// The row of `found` from the legend read once, with the checks and messages of lookup_legend_span.
run_status fast_lookup_legend_span(const legend_table& legend, region found, region_row& row);

}  // namespace corvane
