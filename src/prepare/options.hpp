// The command line of corvane-prepare.
#pragma once

#include <string>
#include <vector>

#include "common/run_record.hpp"
#include "common/run_status.hpp"
#include "prepare/genetic_map.hpp"
#include "prepare/site_rules.hpp"

namespace corvane {

// What the genotype output is: a bit panel (PREFIX.hapbits), text (PREFIX.hap) or BGZF text (PREFIX.hap.gz).
enum class panel_format { bits, text, gzip };

struct prepare_options {
    std::string vcf_path;
    std::string chromosome;
    std::string map_path;      // empty when the cM come from an INFO tag
    std::string cm_tag;        // empty when the cM come from a map
    map_layout layout = map_layout::automatic;
    std::string out_prefix;
    std::string samples_path;  // empty: every sample of the VCF
    std::string populations_path;  // --populations: one panel per population of this file
    panel_format format = panel_format::bits;
    int threads = 0;               // htslib's BGZF worker threads; 0: none
    bool use_index = true;         // --no-index: read the VCF/BCF from its start, without its index
    std::string text_panel_path;   // --hap: convert this genotype file into a bit panel instead of a VCF
    site_policy policy;
    double cm_per_mb = 0.0;        // --cm-per-mb: a uniform map instead of --map or --cm-tag; 0 when not given
    std::string map_chromosome;    // --map-chr: the map's name for the chromosome, when it differs from --chr
    std::string ms_path;           // --ms: convert every replicate of this ms file instead of a VCF
    int64_t region_length = 0;     // --length: the bp of the simulated region, for --ms
    std::string replicate_prefix = "rep";  // --rep-prefix: replicate K is named PREFIXK
};

// Fills `options` from `argv`, and `parameters` with every option as the run record shows it.
// Options take their value as the next argument or after '='. Prints the help (--help, -h) or the
// version (--version) on standard output (help_shown); reports a wrong command line with a message on
// standard error (usage_error).
run_status parse_prepare_options(int argc, const char* const* argv, prepare_options& options,
                                 std::vector<record_parameter>& parameters);

// The names of the output files for `options`: PREFIX.hapbits (or PREFIX.hap) and PREFIX.legend,
// ".gz" added to both for gzip, and PREFIX.samples (always plain text).
std::string haplotype_output_path(const prepare_options& options);
std::string legend_output_path(const prepare_options& options);
std::string samples_output_path(const prepare_options& options);
// The same for the outputs named after `prefix` (PREFIX.POP for a population's panel).
std::string haplotype_output_path(const prepare_options& options, const std::string& prefix);
std::string legend_output_path(const prepare_options& options, const std::string& prefix);
std::string samples_output_path(const std::string& prefix);
// PREFIX.log, the run record.
std::string record_path(const prepare_options& options);

}  // namespace corvane
