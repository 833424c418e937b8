// Loads the genotype file into a table of 32-bit alleles.
#include "input/genotype_matrix.hpp"

#include "input/genotype_file.hpp"

namespace corvane {

run_status load_genotype_matrix(const std::string& path, genotype_matrix& matrix) {
    matrix = genotype_matrix{};
    const auto take_snp_count = [&](int32_t snp_count) {
        matrix.snp_count = snp_count;
        return run_status::run_ok;
    };
    const auto append_haplotype = [&](std::span<const int32_t> alleles) {
        matrix.cells.insert(matrix.cells.end(), alleles.begin(), alleles.end());
        ++matrix.haplotype_count;
    };
    return load_genotype_table(path, matrix, take_snp_count, append_haplotype);
}

}  // namespace corvane
