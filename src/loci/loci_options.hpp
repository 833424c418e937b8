// The command line of corvane-loci.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/run_record.hpp"
#include "common/run_status.hpp"

namespace corvane {

// A result table given with the frequency it was scanned at (--freq F TABLE, --null-freq F TABLE).
struct frequency_table {
    double frequency = 0.0;
    std::string path;
};

struct loci_options {
    std::vector<std::string> result_paths;       // positional RESULT...: one frequency, ranked by length
    std::vector<frequency_table> observed_tables;  // --freq: loci across frequencies
    std::vector<frequency_table> null_tables;      // --null-freq: their null, for p-values
    std::string output_path;
    std::vector<std::string> panel_paths;   // --hap, paired in order with legend_paths
    std::vector<std::string> legend_paths;  // --legend
    std::string samples_path;
    std::string bed_path;
    std::string carriers_path;
    std::string core_path;   // --core: each locus's core, one row per SNP
    std::string genes_path;  // --genes: GTF, GFF3 or BED of genes
    int64_t gap = 0;
    double min_cm = 0.0;
    int32_t min_snps = 0;
};

// The text of a frequency in column names and messages, "%g" (0.2, 0.05).
std::string frequency_text(double frequency);

// Fills `options` from `argv`, and `parameters` with every option as the run record shows it. Options
// take their value as the next argument or after '='. Prints the usage for -h/--help and the version
// for --version on standard output (help_shown); reports a wrong command line on standard error
// (usage_error).
run_status parse_loci_options(int argc, const char* const* argv, loci_options& options,
                              std::vector<record_parameter>& parameters);

}  // namespace corvane
