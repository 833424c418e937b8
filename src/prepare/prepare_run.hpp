// One corvane-prepare run: map, VCF and samples in, genotype file and legend out.
#pragma once

#include "common/run_record.hpp"
#include "common/run_status.hpp"
#include "prepare/options.hpp"

namespace corvane {

// Enters the inputs of `options` in the run record and names where the record goes (PREFIX.log).
void place_prepare_record(const prepare_options& options, run_record& record);

// Converts the chromosome named in `options`, telling `record` what it read, counted and wrote. Every
// failure is reported on standard error where it is found; no file is left under either output name
// unless both were written completely.
run_status run_prepare(const prepare_options& options, run_record& record);

}  // namespace corvane
