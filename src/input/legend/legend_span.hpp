// The legend read from the top for one pair of SNPs, as the reference path reads it for every region.
#pragma once

#include <cstdint>
#include <string>

#include "common/run_status.hpp"
#include "input/legend/legend_rows.hpp"

namespace corvane {

// Reads the whole legend (a header line, then one row per SNP in column order) and takes the rows of
// SNPs `first` and `last` into `span`. When the legend cannot be opened, prints "Input legend file
// not found: PATH" on standard output (legend_missing); a read error, fewer SNP rows than
// `snp_count` (legend_too_short), then the first row and then the last with fewer than four fields
// (legend_row_short) or a bp beyond the signed 32-bit range (legend_bp_too_large) are reported in
// that order. With `note_longer` (the run's first lookup), a legend longer than `snp_count` is
// warned of (note_longer_legend) before the rows are checked.
run_status read_legend_span(const std::string& path, int32_t first, int32_t last, int32_t snp_count,
                            legend_span& span, bool note_longer);

}  // namespace corvane
