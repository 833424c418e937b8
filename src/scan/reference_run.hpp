// The reference scan driver: the oracle that the fast driver is tested against.
#pragma once

#include "common/run_status.hpp"
#include "input/genotype_matrix.hpp"
#include "report/output_file.hpp"
#include "scan/run_setup.hpp"

namespace corvane {

// Walks the focal SNPs left to right with the reference window count and the reference legend lookup; each
// region is reported, and the next focal SNP is the second one after the region's end.
run_status run_scan(const genotype_matrix& matrix, const scan_settings& settings, output_file& output);

// A whole run of corvane-reference: setup, loading, threshold check, scan, closing the output.
run_status run_corvane_reference(int argc, const char* const* argv, scan_settings& settings);

}  // namespace corvane
