// corvane-prepare: the entry point of the VCF/BCF converter.
#include <htslib/hts_log.h>

#include "prepare/options.hpp"
#include "prepare/prepare_run.hpp"

int main(int argc, char** argv) {
    // htslib's own warnings (e.g. contigs missing from the header) would drown the program's messages.
    hts_set_log_level(HTS_LOG_ERROR);
    corvane::prepare_options options;
    corvane::prepare_status status = corvane::parse_prepare_options(argc, argv, options);
    if (status == corvane::prepare_status::ok) status = corvane::run_prepare(options);
    return corvane::prepare_exit_code(status);
}
