// The tables, legends and texts the tests are built from, each written once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/genotype_matrix.hpp"

namespace corvane::testing {

// The header line of every result file.
inline const std::string result_header = "chr\tstartpos\tendpos\tgenetic_dist\tphysical_dist\tn.snp\n";

// A haplotype table as rows of alleles.
using allele_rows = std::vector<std::vector<int32_t>>;

// The genotype file text of `rows`: `separator` between alleles, `line_end` after each row.
std::string panel_text(const allele_rows& rows, const std::string& separator = " ",
                       const std::string& line_end = "\n");

// A tab-separated legend (header, then per SNP k: `chr`, rs(k + 1), 0.125 k cM, 10000 + 250 k bp),
// with `line_end` after each line. Its positions are exact in single precision.
std::string legend_text(int32_t snp_count, const std::string& line_end = "\n", const std::string& chr = "21");

// `legend` with the row of SNP `snp` (line snp + 2) missing its last field.
std::string with_short_row(std::string legend, int32_t snp);

// `haplotypes` copies of one 0/1 row of `snps` alleles.
allele_rows identical_rows(int32_t haplotypes, int32_t snps);

// A 0/1 panel of 12 x 90 with shared stretches of several lengths, so a scan at 0.5 reports several
// regions.
allele_rows shared_stretch_panel();

// The five-region example, 10 haplotypes x 40 SNPs: rows 0-5 all 0 except row 4 (1 at SNPs 33-39)
// and row 5 (1 at 25-39); rows 6-9 all 1. Scanned at 0.5 it gives five regions.
allele_rows five_region_example();

// The reference path's table of `rows`.
genotype_matrix to_matrix(const allele_rows& rows);

}  // namespace corvane::testing
