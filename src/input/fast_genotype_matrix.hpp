// The genotype table of the fast path: one bit per allele for a mostly 0/1 panel, else the narrowest integers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/huge_page_allocator.hpp"

namespace corvane {

// How the cells of a fast_genotype_matrix are held.
enum class cell_kind { bits, int8, int16, int32 };

// A stretch of a rare_cells list: positions first..last-1 of `columns` and `values`.
struct rare_cell_range {
    size_t first = 0;
    size_t last = 0;
};

// The cells of a bit table whose allele is neither 0 nor 1 (a missing-data code, a few other codes):
// few enough to list beside the bits, which hold each one's lowest bit. Row r's cells are
// [row_start[r], row_start[r + 1]) of `columns` and `values`, in column order; a bit table's
// row_start always has H + 1 entries.
struct rare_cells {
    std::vector<size_t> row_start{0};
    std::vector<int32_t> columns;
    std::vector<int32_t> values;
    int32_t lowest = 0;  // the smallest and largest allele of the table
    int32_t highest = 1;

    rare_cell_range of_row(int32_t row) const {
        return {row_start[static_cast<size_t>(row)], row_start[static_cast<size_t>(row) + 1]};
    }
};

// What a bit table does with an allele other than 0 and 1: lists it beside the bits while such
// alleles stay rare, or turns into integers at once, for readers of the bits that know nothing of
// rare cells.
enum class other_alleles { listed_beside_bits, widen_the_table };

// H rows (haplotypes, in file order) of S columns (SNPs). A table whose alleles are all 0 or 1 is
// held as bits: row r is words_per_row 64-bit words, column c at bit c % 64 of word c / 64, with a
// zero word after the last so a window can always be read as two neighbouring words. So is a table
// whose other alleles are rare (see keeps_rare_cells), with those listed in `rare`. Any other table
// is held row by row in the narrowest of int8, int16 and int32 that holds all its values.
struct fast_genotype_matrix {
    int32_t haplotype_count = 0;  // H
    int32_t snp_count = 0;        // S
    cell_kind kind = cell_kind::bits;
    size_t words_per_row = 0;     // bits only: S / 64 rounded up, plus the zero word
    std::vector<uint64_t, huge_page_allocator<uint64_t>> bits;
    std::vector<int8_t> cells8;
    std::vector<int16_t> cells16;
    std::vector<int32_t> cells32;
    rare_cells rare;              // bits only

    bool has_rare_cells() const { return !rare.values.empty(); }

    const uint64_t* bit_row(int32_t row) const { return bits.data() + static_cast<size_t>(row) * words_per_row; }
    // The allele at (row, column), whatever the representation.
    int32_t at(int32_t row, int32_t column) const;
};

// The cells of a non-bit table as type `cell`, row by row.
template <typename cell>
const std::vector<cell>& table_cells(const fast_genotype_matrix& table);
template <>
inline const std::vector<int8_t>& table_cells<int8_t>(const fast_genotype_matrix& table) { return table.cells8; }
template <>
inline const std::vector<int16_t>& table_cells<int16_t>(const fast_genotype_matrix& table) { return table.cells16; }
template <>
inline const std::vector<int32_t>& table_cells<int32_t>(const fast_genotype_matrix& table) { return table.cells32; }

// Whether a bit table that already holds `rare_count` rare cells over `rows` rows keeps `added` more
// (alleles spanning lowest..highest) as rare cells rather than turning into integers. They stay
// rare while they are at most one cell in 64 (plus a row's worth), and while every squared distance
// over a whole row, (highest - lowest)^2 x S, stays below 2^53: then every sum of squared differences
// the similarity test adds up in double is an exact integer at every step, whatever the order.
bool keeps_rare_cells(size_t rare_count, size_t added, int32_t rows, int32_t snps, int32_t lowest, int32_t highest);

// Appends one haplotype of exactly S alleles to a table whose snp_count and words_per_row are set,
// switching to a wider representation when it needs one. Throws std::bad_alloc when memory runs out.
void append_haplotype(fast_genotype_matrix& table, const int32_t* alleles,
                      other_alleles rule = other_alleles::listed_beside_bits);

}  // namespace corvane
