// Random haplotype tables for the equivalence tests, and their text files.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "input/fast_genotype_matrix.hpp"
#include "support/fixtures.hpp"

namespace corvane::testing {

// How a random table is made.
enum class table_style {
    mosaic_bits,     // rows copy a few founders in long stretches with rare flips: long regions
    noisy_bits,      // independent random 0/1: short regions
    identical_bits,  // every row the same: every window passes
    mosaic_values,   // a mosaic over other allele values: negatives, values 256 apart, large codes
    rare_codes,      // a 0/1 mosaic with a few cells of one or two other codes (9, -1, 256, ...)
    few_codes,       // a mosaic over a handful of codes, {0, 1, 2, 3}
};
constexpr int32_t table_style_count = 6;

allele_rows random_table(std::mt19937_64& random, int32_t rows, int32_t snps, table_style style);

// The table as the fast path holds it (as load_fast_genotype_matrix would, with the same rule).
fast_genotype_matrix to_allele_table(const allele_rows& table, other_alleles rule = other_alleles::listed_beside_bits);

// The random table of the region-sequence and whole-run tests' draw `t`: 1 to 300 SNPs, the styles
// in turn, mostly up to 12 haplotypes so that every threshold of those sizes comes up.
allele_rows random_table_for_draw(std::mt19937_64& random, int32_t t);
// The thresholds tried on draw `t` of `rows` haplotypes: one drawn from 0 to H - 1, or both ends.
std::vector<int32_t> thresholds_for_draw(std::mt19937_64& random, int32_t t, int32_t rows);

// A legend of `snps` SNPs at random increasing positions.
std::string random_legend_text(int32_t snps, std::mt19937_64& random);
// The bit panel file of a 0/1 table, built byte by byte (SNP c at bit c % 8 of row byte c / 8).
std::string bit_panel_bytes(const allele_rows& table);

// A frequency, as it is written on the command line, whose carrier threshold for `rows` haplotypes is
// `threshold` (0 <= threshold < rows); empty when none of the tried values gives it.
std::string frequency_for_threshold(int32_t rows, int32_t threshold);

}  // namespace corvane::testing
