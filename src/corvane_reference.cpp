// corvane-reference: the reference path, kept as the oracle for the fast one.
#include "common/help_and_version.hpp"
#include "common/message.hpp"
#include "scan/reference_run.hpp"
#include "scan/run_setup.hpp"
#include "scan/scan_help.hpp"

int main(int argc, char** argv) {
    corvane::set_program_name("corvane-reference");
    if (const auto answered = corvane::answer_help_or_version(argc, argv, corvane::scan_help_text())) {
        return corvane::exit_code(*answered);
    }
    // The oracle's messages are corvane's, byte for byte.
    corvane::set_program_name("corvane");
    corvane::scan_settings settings;
    return corvane::finish_run(corvane::run_corvane_reference(argc, argv, settings), settings);
}
