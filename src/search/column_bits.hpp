// A 0/1 table turned on its side: one bitset of H bits per SNP, for the narrow-window test.
#pragma once

#include <cstdint>
#include <vector>

#include "input/allele_table.hpp"
#include "input/huge_page_allocator.hpp"

namespace corvane {

// Column c is words_per_column words; haplotype r is bit r % 64 of word r / 64; bits past H are 0.
struct column_bits {
    int32_t words_per_column = 0;
    std::vector<uint64_t, huge_page_allocator<uint64_t>> words;

    const uint64_t* column(int32_t c) const { return words.data() + static_cast<size_t>(c) * words_per_column; }
};

// The columns of a bit table (kind == cell_kind::bits).
column_bits transpose_bits(const allele_table& table);

}  // namespace corvane
