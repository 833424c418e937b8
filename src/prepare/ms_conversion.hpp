// corvane-prepare --ms: every replicate of an ms-format file of simulations to a bit panel and legend.
#pragma once

#include <cstdint>
#include <vector>

#include "common/run_record.hpp"
#include "common/run_status.hpp"
#include "prepare/options.hpp"

namespace corvane {

// The bp of ms positions (fractions of a region of `length` bp, not decreasing), in order: each
// round(position x length), halves away from zero, in one double product; one that lands at or
// before the SNP before is moved to the bp after it and counted in `moved`.
std::vector<int64_t> simulated_bp(const std::vector<double>& positions, int64_t length, int64_t& moved);

// Writes PREFIX.K.hapbits and PREFIX.K.legend for every replicate K = 1, 2, ... of options.ms_path,
// the legend naming the replicate PREFIXK (options.replicate_prefix) and its SNPs PREFIXK_1, ....
// All are renamed into place only when every replicate has been read and written; every failure is
// reported where it is found. The run record gets the counts and the outputs.
run_status convert_ms_file(const prepare_options& options, run_record& record);

}  // namespace corvane
