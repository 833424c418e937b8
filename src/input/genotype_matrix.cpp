// Loads the genotype file into a table of 32-bit alleles.
#include "input/genotype_matrix.hpp"

#include <cstdio>
#include <new>

#include "input/genotype_parser.hpp"

namespace corvane {

run_status report_out_of_memory(const std::string& path, int64_t haplotypes_read, int64_t snp_count) {
    std::fprintf(stderr, "corvane: %s: not enough memory for the genotype table (%lld haplotypes of %lld SNPs read)\n",
                 path.c_str(), static_cast<long long>(haplotypes_read), static_cast<long long>(snp_count));
    return run_status::out_of_memory;
}

run_status load_genotype_matrix(const std::string& path, genotype_matrix& matrix) {
    matrix = genotype_matrix{};
    const auto take_snp_count = [&](int32_t snp_count) {
        matrix.snp_count = snp_count;
        return run_status::run_ok;
    };
    const auto append_haplotype = [&](std::span<const int32_t> alleles) {
        try {
            matrix.cells.insert(matrix.cells.end(), alleles.begin(), alleles.end());
        } catch (const std::bad_alloc&) {
            return report_out_of_memory(path, matrix.haplotype_count, matrix.snp_count);
        }
        ++matrix.haplotype_count;
        return run_status::run_ok;
    };
    try {
        return parse_genotype_file(path, take_snp_count, append_haplotype);
    } catch (const std::bad_alloc&) {
        return report_out_of_memory(path, matrix.haplotype_count, matrix.snp_count);
    }
}

}  // namespace corvane
