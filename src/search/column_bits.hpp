// A 0/1 table turned on its side, a block of 64 SNPs at a time: one bitset of H bits per SNP, for the
// tests that look at a few columns. Blocks are made when first asked for and only a few are kept,
// since a search only looks at the columns near its windows' ends.
#pragma once

#include <cstdint>
#include <vector>

#include "input/fast_genotype_matrix.hpp"

namespace corvane {

struct column_bits {
    const fast_genotype_matrix* table = nullptr;
    int32_t words_per_column = 0;  // haplotype r is bit r % 64 of word r / 64; bits past H are 0
    std::vector<uint64_t> storage;  // kept blocks, 64 columns of words_per_column words each
    std::vector<int32_t> block_in_slot;
    std::vector<int32_t> slot_of_block;
    std::vector<uint64_t> last_use;  // per slot
    uint64_t uses = 0;

    // Column c. The pointer stays valid until `kept_blocks` other blocks have been asked for.
    const uint64_t* column(int32_t c);
};

// Prepares the columns of a bit table (kind == cell_kind::bits), keeping up to `kept_blocks` blocks.
void prepare_column_bits(const fast_genotype_matrix& table, int32_t kept_blocks, column_bits& columns);

}  // namespace corvane
