// Helpers for the corvane-prepare tests: running the converter and looking at what it left.
#pragma once

#include <string>
#include <vector>

#include "common/word_split.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {

// Runs the built corvane-prepare with `arguments`.
run_result run_prepare(const std::vector<std::string>& arguments);

// Runs bcftools with `arguments`; false when it fails or is not installed.
bool run_bcftools(const std::vector<std::string>& arguments);
bool have_bcftools();


// The bit panel at `path` written out as a text genotype file (tab-separated, one line per
// haplotype), decoded byte by byte from the layout; "<not a bit panel>" when its header is wrong.
std::string bit_panel_text(const std::string& path);

// The lines of `text`, without their newlines.
std::vector<std::string> split_lines(const std::string& text);

// A VCF text with the given sample names and record lines (CHROM..., tab-separated, no newline).
// The header declares contigs 1 and 2, INFO CM (Float) and FORMAT GT.
std::string small_vcf(const std::vector<std::string>& samples, const std::vector<std::string>& records);

}  // namespace corvane::testing
