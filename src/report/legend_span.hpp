// Looks a region's first and last SNP up in the legend and forms its result row.
#pragma once

#include <cstdint>
#include <string>

#include "input/field_split.hpp"
#include "report/output_file.hpp"
#include "run_status.hpp"
#include "search/search_terms.hpp"

namespace corvane {

struct line_reader;

// Opens the legend; when it cannot be opened, prints "Input legend file not found: PATH" on standard
// output and returns legend_missing.
run_status open_legend(line_reader& reader, const std::string& path);

// Genetic position (legend field 2): atof, narrowed to single precision.
float legend_genetic_position(const std::string& field);
// Physical position (legend field 3): atoi, kept to 32 bits.
int32_t legend_physical_position(const std::string& field);

// Reports the legend row `line_number` when it has fewer than four fields (chr, id, cM, bp).
run_status check_legend_row(const std::string& path, int64_t line_number, const field_list& fields);
// Reports a legend with fewer SNP rows than the genotype table has SNPs.
run_status check_legend_row_count(const std::string& path, int64_t row_count, int32_t snp_count);

// The row of `found` from the split legend rows of its first and last SNP.
region_row make_region_row(const field_list& start_fields, const field_list& end_fields, region found);

// Reads the whole legend (a header line, then one row per SNP in column order) and forms the row of
// `found`. Prints "Input legend file not found: PATH" on standard output and returns legend_missing
// when the file cannot be opened.
run_status lookup_legend_span(const std::string& path, region found, int32_t snp_count, region_row& row);

}  // namespace corvane
