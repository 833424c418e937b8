// corvane-reference: the plain path, kept as the oracle for the fast one.
#include "plain_run.hpp"
#include "run_setup.hpp"

int main(int argc, char** argv) {
    corvane::scan_settings settings;
    return corvane::finish_run(corvane::run_plain(argc, argv, settings), settings);
}
