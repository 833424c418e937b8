// corvane: the entry point of the fast path.
#include "fast_run.hpp"
#include "run_setup.hpp"

int main(int argc, char** argv) {
    corvane::scan_settings settings;
    return corvane::finish_run(corvane::run_fast(argc, argv, settings), settings);
}
