// corvane-load-bench: loads a genotype file into the fast table and nothing else, to time the load.
#include <chrono>
#include <cstdio>

#include "input/allele_table.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: corvane-load-bench GENOTYPES\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    corvane::allele_table table;
    const corvane::run_status status = corvane::load_allele_table(argv[1], table);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != corvane::run_status::run_ok) return 1;
    std::printf("haplotypes %d snps %d kind %s load_seconds %.3f\n", table.haplotype_count, table.snp_count,
                table.kind == corvane::cell_kind::bits ? "bits" : "integers", seconds);
    return 0;
}
