// Loads the genotype file into the fast path's table.
#pragma once

#include <string>

#include "common/run_status.hpp"
#include "input/fast_genotype_matrix.hpp"

namespace corvane {

// Loads the genotype file through the front end (read_genotype_file), so every message about the
// file is the one the reference loader gives; a bit panel's rows are read straight into the bits.
// genotype_missing (no message) when the file cannot be opened. `rule` says what a bit table does
// with alleles other than 0 and 1.
run_status load_fast_genotype_matrix(const std::string& path, fast_genotype_matrix& table,
                                     other_alleles rule = other_alleles::listed_beside_bits);

}  // namespace corvane
