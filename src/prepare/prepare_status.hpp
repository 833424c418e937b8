// How a corvane-prepare run ended: the one status carried from where a failure is found up to main.
#pragma once

namespace corvane {

enum class prepare_status {
    ok,
    help_shown,      // --help printed the usage; nothing else to do
    usage_error,     // the command line is wrong
    bad_input,       // a VCF, map or sample list that cannot be used (message already printed)
    output_failed,   // an output file could not be created, written or renamed
    out_of_memory,   // the haplotype table does not fit in memory
};

// The process exit status: 0 for success and help, 2 for a wrong command line, 1 for the rest.
int prepare_exit_code(prepare_status status);

}  // namespace corvane
