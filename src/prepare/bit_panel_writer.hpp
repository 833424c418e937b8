// Writes a bit panel file: from the site-major table of a VCF conversion, or row by row from a text panel.
#pragma once

#include <cstdint>
#include <string>

#include "prepare/haplotype_table.hpp"
#include "common/staged_output.hpp"
#include "common/run_status.hpp"

namespace corvane {

// Writes `table` as a bit panel (header, then one row per haplotype) into the plain target, turning
// it on its side 64 x 64 bits at a time. out_of_memory or output_failed, reported, when memory runs
// out or a write fails.
run_status write_bit_panel(const haplotype_table& table, staged_output& target);

// Converts the genotype file `text_panel_path` (plain or gzip text, as corvane reads it) into the bit
// panel `output_path`, one haplotype at a time. A panel with an allele other than 0 and 1 is refused:
// corvane reads such a panel as text.
run_status convert_text_panel(const std::string& text_panel_path, const std::string& output_path);

}  // namespace corvane
