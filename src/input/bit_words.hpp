// Alleles of 0 and 1 packed 64 to a word, allele c at bit c % 64 of word c / 64: how the bit panel,
// the fast table's rows, its transposed columns and corvane-prepare's site table all hold them.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace corvane {

// The words that hold `bits` bits, the last one partly used.
constexpr size_t words_for_bits(int64_t bits) { return static_cast<size_t>((bits + 63) / 64); }

// Bit `index` of `words`.
inline uint32_t bit_at(const uint64_t* words, int64_t index) {
    return static_cast<uint32_t>((words[index / 64] >> (index % 64)) & 1u);
}

// Packs the lowest bit of each of `count` values into the words_for_bits(count) words at `words`.
template <typename value>
void pack_low_bits(const value* values, size_t count, uint64_t* words) {
    size_t c = 0;
    for (size_t w = 0; c + 64 <= count; ++w, c += 64) {
        uint64_t word = 0;
        for (size_t i = 0; i < 64; ++i) word |= static_cast<uint64_t>(values[c + i] & 1) << i;
        words[w] = word;
    }
    if (c == count) return;
    uint64_t word = 0;
    for (size_t i = 0; c + i < count; ++i) word |= static_cast<uint64_t>(values[c + i] & 1) << i;
    words[c / 64] = word;
}

// The first `count` bits of `words`, one value of 0 or 1 each.
template <typename value>
void unpack_bits(const uint64_t* words, size_t count, value* values) {
    for (size_t c = 0; c < count; ++c) values[c] = static_cast<value>((words[c / 64] >> (c % 64)) & 1u);
}

// Turns a 64 x 64 block of bits on its side in place: bit j of word i goes to bit i of word j.
inline void transpose_64x64(uint64_t block[64]) {
    uint64_t mask = 0x00000000ffffffffull;
    for (int step = 32; step != 0; step >>= 1, mask ^= mask << step) {
        for (int i = 0; i < 64; i = (i + step + 1) & ~step) {
            const uint64_t swap = ((block[i] >> step) ^ block[i + step]) & mask;
            block[i] ^= swap << step;
            block[i + step] ^= swap;
        }
    }
}

// A word in the little-endian byte order of the files, from the processor's and back (the same swap
// both ways; nothing on a little-endian processor).
inline uint64_t little_endian_word(uint64_t word) {
    if constexpr (std::endian::native == std::endian::little) return word;
    uint64_t swapped = 0;
    for (int i = 0; i < 8; ++i) swapped = swapped << 8 | ((word >> (8 * i)) & 0xffu);
    return swapped;
}

}  // namespace corvane
