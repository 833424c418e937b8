// One corvane-loci run: result tables (and panels) in, loci table, BED and carrier list out.
#pragma once

#include "common/run_status.hpp"

namespace corvane {

// Runs the command line `argv`. Every failure is reported on standard error where it is found; no
// output is left under its final name unless all outputs were written completely.
run_status run_loci(int argc, const char* const* argv);

}  // namespace corvane
