// One corvane-prepare run: map, VCF and samples in, genotype file and legend out.
#pragma once

#include "common/run_status.hpp"
#include "prepare/options.hpp"

namespace corvane {

// Converts the chromosome named in `options`. Every failure is reported on standard error where it is
// found; no file is left under either output name unless both were written completely.
run_status run_prepare(const prepare_options& options);

}  // namespace corvane
