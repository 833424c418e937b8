// corvane: the entry point of the fast path.
#include "common/help_and_version.hpp"
#include "common/message.hpp"
#include "scan/fast_run.hpp"
#include "scan/run_setup.hpp"
#include "scan/scan_help.hpp"

int main(int argc, char** argv) {
    corvane::set_program_name("corvane");
    if (const auto answered = corvane::answer_help_or_version(argc, argv, corvane::scan_help_text())) {
        return corvane::exit_code(*answered);
    }
    corvane::scan_settings settings;
    return corvane::finish_run(corvane::run_corvane(argc, argv, settings), settings);
}
