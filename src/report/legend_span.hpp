// The plain legend lookup: reads the legend from the top for every region and forms its result row.
#pragma once

#include <cstdint>
#include <string>

#include "report/output_file.hpp"
#include "common/run_status.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// Reads the whole legend (a header line, then one row per SNP in column order) and forms the row of
// `found`. Prints "Input legend file not found: PATH" on standard output and returns legend_missing
// when the file cannot be opened.
run_status lookup_legend_span(const std::string& path, region found, int32_t snp_count, region_row& row);

}  // namespace corvane
