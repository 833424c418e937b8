// corvane-load-bench: loads a genotype file and nothing else, to time the load on its own.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "input/fast_genotype_loading.hpp"
#include "input/genotype_matrix.hpp"

int main(int argc, char** argv) {
    const bool reference = argc == 3 && std::strcmp(argv[1], "-reference") == 0;
    if (argc != 2 && !reference) {
        std::fprintf(stderr, "usage: corvane-load-bench [-reference] GENOTYPES\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    const auto start = std::chrono::steady_clock::now();
    corvane::run_status status;
    int32_t rows = 0, snps = 0;
    const char* kind = "int32";
    if (reference) {
        corvane::genotype_matrix matrix;
        status = corvane::load_genotype_matrix(path, matrix);
        rows = matrix.haplotype_count;
        snps = matrix.snp_count;
    } else {
        corvane::fast_genotype_matrix table;
        status = corvane::load_fast_genotype_matrix(path, table);
        rows = table.haplotype_count;
        snps = table.snp_count;
        kind = table.kind == corvane::cell_kind::bits ? "bits" : "integers";
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != corvane::run_status::run_ok) return 1;
    std::printf("haplotypes %d snps %d kind %s load_seconds %.3f\n", rows, snps, kind, seconds);
    return 0;
}
