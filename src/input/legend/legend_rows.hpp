// What every legend reader shares: opening the legend, reading a row's positions, and the checks of
// a row and of the row count.
#pragma once

#include <cstdint>
#include <string>

#include "common/run_status.hpp"

namespace corvane {

struct line_reader;

// Opens the legend; when it cannot be opened, prints "Input legend file not found: PATH" on standard
// output and returns legend_missing.
run_status open_legend(line_reader& reader, const std::string& path);

// Genetic position (legend field 2): atof, narrowed to single precision.
float legend_genetic_position(const std::string& field);
// Physical position (legend field 3), read like atoi: leading white space, a sign and the digits
// after it, 0 when there are none. False when that number lies beyond the signed 32-bit range,
// where atoi is undefined.
bool legend_physical_position(const std::string& field, int32_t& physical);

// The legend line number of SNP `snp`: the header is line 1.
inline int64_t legend_line_of_snp(int32_t snp) { return static_cast<int64_t>(snp) + 2; }

// Reports the legend row `line_number` when it has fewer than four fields (chr, id, cM, bp).
run_status check_legend_row(const std::string& path, int64_t line_number, size_t field_count);
// Reports the legend row `line_number` whose bp field `field` lies beyond the signed 32-bit range:
// "LEGEND:LINE: bp N is beyond ..." (legend_bp_too_large).
run_status report_legend_bp_too_large(const std::string& path, int64_t line_number, const std::string& field);
// Reports a legend with fewer SNP rows than the genotype table has SNPs.
run_status check_legend_row_count(const std::string& path, int64_t row_count, int32_t snp_count);
// Warns of a legend with more SNP rows than the genotype table has SNPs (the rows after them are
// not used, so the legend may be another panel's); the run goes on as before.
void note_longer_legend(const std::string& path, int64_t row_count, int32_t snp_count);

// A legend row's two positions, converted.
struct legend_position {
    float genetic = 0.0f;
    int32_t physical = 0;
};

// What a result row takes from the legend rows of its first and last SNP: their positions, and the
// chromosome of the last.
struct legend_span {
    std::string chr;
    legend_position start;
    legend_position end;
};

}  // namespace corvane
