// corvane-reference: the plain path, kept as the oracle for the fast one.
#include "common/help_and_version.hpp"
#include "scan/reference_run.hpp"
#include "scan/run_setup.hpp"
#include "scan/scan_help.hpp"

int main(int argc, char** argv) {
    if (const auto answered = corvane::answer_help_or_version(argc, argv, "corvane-reference",
                                                              corvane::scan_help_text("corvane-reference"))) {
        return corvane::exit_code(*answered);
    }
    corvane::scan_settings settings;
    return corvane::finish_run(corvane::run_plain(argc, argv, settings), settings);
}
