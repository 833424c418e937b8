// Transposes the bit table in 64 x 64 blocks, on demand, keeping the most recently used blocks.
#include "search/column_bits.hpp"

#include <algorithm>
#include <cassert>

#include "input/bit_words.hpp"

namespace corvane {

namespace {

// Writes the 64 columns of `column_block` into `out` (64 columns of words_per_column words).
void transpose_column_block(const fast_genotype_matrix& table, int32_t words_per_column, int32_t column_block, uint64_t* out) {
    const int32_t rows = table.haplotype_count;
    uint64_t block[64];
    for (int32_t row_block = 0; row_block < words_per_column; ++row_block) {
        for (int32_t i = 0; i < 64; ++i) {
            const int32_t r = row_block * 64 + i;
            block[i] = r < rows ? table.bit_row(r)[column_block] : 0;
        }
        transpose_64x64(block);
        for (int32_t j = 0; j < 64; ++j) out[static_cast<size_t>(j) * words_per_column + row_block] = block[j];
    }
}

}  // namespace

void prepare_column_bits(const fast_genotype_matrix& table, int32_t kept_blocks, column_bits& columns) {
    assert(table.kind == cell_kind::bits && kept_blocks >= 2);
    columns = column_bits{};
    columns.table = &table;
    columns.words_per_column = static_cast<int32_t>(words_for_bits(table.haplotype_count));
    const auto blocks = static_cast<int32_t>(words_for_bits(table.snp_count));
    const int32_t slots = std::min(kept_blocks, blocks);
    columns.storage.assign(static_cast<size_t>(slots) * 64 * static_cast<size_t>(columns.words_per_column), 0);
    columns.block_in_slot.assign(static_cast<size_t>(slots), -1);
    columns.slot_of_block.assign(static_cast<size_t>(blocks), -1);
    columns.last_use.assign(static_cast<size_t>(slots), 0);
}

const uint64_t* column_bits::column(int32_t c) {
    const int32_t block = c >> 6;
    int32_t slot = slot_of_block[static_cast<size_t>(block)];
    if (slot < 0) {
        // The block used longest ago (or a free slot) makes room.
        slot = static_cast<int32_t>(std::min_element(last_use.begin(), last_use.end()) - last_use.begin());
        const int32_t evicted = block_in_slot[static_cast<size_t>(slot)];
        if (evicted >= 0) slot_of_block[static_cast<size_t>(evicted)] = -1;
        const size_t block_words = 64 * static_cast<size_t>(words_per_column);
        transpose_column_block(*table, words_per_column, block, storage.data() + static_cast<size_t>(slot) * block_words);
        block_in_slot[static_cast<size_t>(slot)] = block;
        slot_of_block[static_cast<size_t>(block)] = slot;
    }
    last_use[static_cast<size_t>(slot)] = ++uses;
    return storage.data() + (static_cast<size_t>(slot) * 64 + static_cast<size_t>(c & 63)) * words_per_column;
}

}  // namespace corvane
