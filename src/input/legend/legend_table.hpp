// The legend read once, as the fast path reads it: per SNP only what a result row needs.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/run_status.hpp"
#include "input/legend/legend_rows.hpp"

namespace corvane {

// What a result row takes from one legend row.
struct legend_entry {
    uint32_t chr = 0;            // index into legend_table::chr_names
    float genetic = 0.0f;        // field 2, as legend_genetic_position converts it
    int32_t physical = 0;        // field 3, as legend_physical_position converts it
    uint8_t field_count = 0;     // fields of the row, counted up to 4
    bool bp_too_large = false;   // field 3 lies beyond the 32-bit range; its text is kept apart
};

// The first S SNP rows of the legend (the header and any further rows are not kept).
struct legend_table {
    std::string path;
    std::vector<std::string> chr_names;  // each name once per run of equal neighbours
    std::vector<legend_entry> entries;
    std::unordered_map<int32_t, std::string> bp_beyond_range;  // SNP -> field 3, for the message
};

// Reads the whole legend as read_legend_span does and with its messages: "Input legend file not
// found: PATH" on standard output (legend_missing), a read error, then fewer SNP rows than
// `snp_count` (legend_too_short) or, as a warning, more (note_longer_legend).
run_status read_legend_table(const std::string& path, int32_t snp_count, legend_table& table);

// The rows of SNPs `first` and `last` into `span`, after read_legend_span's checks of the first row,
// then the last: fewer than four fields (legend_row_short), then a bp beyond the signed 32-bit range
// (legend_bp_too_large).
run_status legend_table_span(const legend_table& table, int32_t first, int32_t last, legend_span& span);

}  // namespace corvane
