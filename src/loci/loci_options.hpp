// The command line of corvane-loci.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/run_record.hpp"
#include "common/run_status.hpp"

namespace corvane {

struct loci_options {
    std::vector<std::string> result_paths;
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
};

// Fills `options` from `argv`, and `parameters` with every option as the run record shows it. Options
// take their value as the next argument or after '='. Prints the usage for -h/--help and the version
// for --version on standard output (help_shown); reports a wrong command line on standard error
// (usage_error).
run_status parse_loci_options(int argc, const char* const* argv, loci_options& options,
                              std::vector<record_parameter>& parameters);

}  // namespace corvane
