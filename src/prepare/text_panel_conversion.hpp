// corvane-prepare --hap: a text genotype file turned into a bit panel.
#pragma once

#include <string>

#include "common/run_record.hpp"
#include "common/run_status.hpp"

namespace corvane {

// Converts the genotype file `text_panel_path` (plain or gzip text, as corvane reads it) into the bit
// panel `output_path`, one haplotype at a time, telling `record` the panel's size and the output. A
// panel with an allele other than 0 and 1 is refused: corvane reads such a panel as text.
run_status convert_text_panel(const std::string& text_panel_path, const std::string& output_path, run_record& record);

}  // namespace corvane
