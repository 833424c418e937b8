// Transposes the bit table in 64 x 64 blocks.
#include "search/column_bits.hpp"

#include <cassert>

namespace corvane {

namespace {

// Transposes a 64 x 64 bit block in place: bit j of word i goes to bit i of word j.
void transpose_block(uint64_t block[64]) {
    uint64_t mask = 0x00000000ffffffffull;
    for (int step = 32; step != 0; step >>= 1, mask ^= mask << step) {
        for (int i = 0; i < 64; i = (i + step + 1) & ~step) {
            const uint64_t swap = ((block[i] >> step) ^ block[i + step]) & mask;
            block[i] ^= swap << step;
            block[i + step] ^= swap;
        }
    }
}

}  // namespace

column_bits transpose_bits(const allele_table& table) {
    assert(table.kind == cell_kind::bits);
    column_bits columns;
    const int32_t rows = table.haplotype_count;
    const int32_t snps = table.snp_count;
    columns.words_per_column = (rows + 63) / 64;
    columns.words.assign(static_cast<size_t>(snps) * static_cast<size_t>(columns.words_per_column), 0);
    // Column blocks outside, row blocks inside: each column is then written front to back, and the
    // row words read for one column block are still in cache for the next.
    uint64_t block[64];
    for (int32_t column_block = 0; column_block * 64 < snps; ++column_block) {
        for (int32_t row_block = 0; row_block < columns.words_per_column; ++row_block) {
            for (int32_t i = 0; i < 64; ++i) {
                const int32_t r = row_block * 64 + i;
                block[i] = r < rows ? table.bit_row(r)[column_block] : 0;
            }
            transpose_block(block);
            for (int32_t j = 0; j < 64 && column_block * 64 + j < snps; ++j) {
                columns.words[static_cast<size_t>(column_block * 64 + j) * columns.words_per_column + row_block] = block[j];
            }
        }
    }
    return columns;
}

}  // namespace corvane
