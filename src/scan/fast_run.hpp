// The fast scan driver: bit-packed table, fast carrier count, legend read once.
#pragma once

#include "common/run_status.hpp"
#include "input/fast_genotype_loading.hpp"
#include "report/output_file.hpp"
#include "scan/run_setup.hpp"

namespace corvane {

// The scan of run_scan over the fast table: the same regions, rows and messages in the same order.
// The legend is read once, after the first region's search.
run_status fast_run_scan(const fast_genotype_matrix& table, const scan_settings& settings, output_file& output);

// A whole run of corvane: setup, loading, threshold check, scan, closing the output.
run_status run_corvane(int argc, const char* const* argv, scan_settings& settings);

}  // namespace corvane
