// The haplotype table in memory, one signed 32-bit allele per cell, and its loader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/run_status.hpp"

namespace corvane {

// H rows (haplotypes, in file order) of S columns (SNPs), stored row by row.
struct genotype_matrix {
    int32_t haplotype_count = 0;  // H
    int32_t snp_count = 0;        // S
    std::vector<int32_t> cells;   // H x S

    int32_t at(int32_t row, int32_t column) const {
        return cells[static_cast<size_t>(row) * static_cast<size_t>(snp_count) + static_cast<size_t>(column)];
    }
};

// Loads the genotype file. genotype_missing when it cannot be opened (no message: the caller
// reports it); any other failure has been reported on standard error where it was found.
run_status load_genotype_matrix(const std::string& path, genotype_matrix& matrix);

}  // namespace corvane
