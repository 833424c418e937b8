// corvane: the entry point of the fast path.
#include "fast_run.hpp"
#include "help_and_version.hpp"
#include "run_setup.hpp"
#include "scan_help.hpp"

int main(int argc, char** argv) {
    if (const auto answered = corvane::answer_help_or_version(argc, argv, "corvane", corvane::scan_help_text("corvane"))) {
        return corvane::exit_code(*answered);
    }
    corvane::scan_settings settings;
    return corvane::finish_run(corvane::run_fast(argc, argv, settings), settings);
}
