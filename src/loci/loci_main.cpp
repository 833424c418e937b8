// corvane-loci: merges scan intervals into ranked candidate loci with their carriers.
#include "loci/loci_run.hpp"

int main(int argc, char** argv) { return corvane::exit_code(corvane::run_loci(argc, argv)); }
