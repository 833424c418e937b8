// corvane-loci: merges scan intervals into ranked candidate loci with their carriers.
#include "common/message.hpp"
#include "common/signal_cleanup.hpp"
#include "loci/loci_run.hpp"

int main(int argc, char** argv) {
    corvane::set_program_name("corvane-loci");
    corvane::remove_temporaries_on_signals();
    return corvane::exit_code(corvane::run_loci(argc, argv));
}
