// How a run of any of the tools ended: the one status carried from where a failure is found up to main.
#pragma once

namespace corvane {

enum class run_status {
    run_ok,
    help_shown,           // --help or --version printed its answer; nothing else to do
    usage_error,          // wrong argument count
    bad_frequency,        // frequency not a number in (0, 1)
    same_file,            // output path names an input file
    output_failed,        // output could not be created (or is locked by another run), written or flushed
    genotype_missing,     // genotype file could not be opened
    genotype_malformed,   // a line of the genotype file is not a haplotype of S integer alleles
    input_unreadable,     // a read failed (directory, I/O error, corrupt compressed data)
    out_of_memory,        // the genotype table does not fit in memory
    threshold_too_high,   // floor(H x frequency) leaves no count that can pass
    legend_missing,       // legend file could not be opened
    legend_too_short,     // fewer legend rows than SNPs
    legend_row_short,     // a legend row that a region uses has fewer than four fields
    legend_bp_too_large,  // a legend row's bp lies beyond the signed 32-bit range
    bad_input,            // a VCF, genetic map, sample list or result table that cannot be used, or a
                          // panel or legend that does not belong to the result table
};

// The process exit status: 0 for success and help, 2 for a wrong command line, 1 for the rest.
int exit_code(run_status status);

}  // namespace corvane
