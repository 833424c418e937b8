// The words of two bit rows over a window, and what is counted on them: mismatches, a row's bits.
#pragma once

#include <cstdint>

#include "input/bit_words.hpp"
#include "input/fast_genotype_matrix.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// The words of two bit rows over a window, compared unshifted (both rows share the window's offset),
// with the stray bits at either end masked off: differ(j) is the XOR of word j within the window.
struct window_words {
    const uint64_t* x;
    const uint64_t* y;
    int shift;
    int end_bits;
    int32_t spanned;

    window_words(const fast_genotype_matrix& table, int32_t a, int32_t b, snp_window window)
        : x(table.bit_row(a) + (window.lo >> 6)), y(table.bit_row(b) + (window.lo >> 6)), shift(window.lo & 63) {
        const int32_t width = window.hi - window.lo + 1;
        spanned = static_cast<int32_t>(words_for_bits(shift + width));
        end_bits = (shift + width) & 63;
    }

    uint64_t differ(int32_t j) const {
        uint64_t bits = x[j] ^ y[j];
        if (j == 0) bits &= ~uint64_t{0} << shift;
        if (j == spanned - 1 && end_bits != 0) bits &= (uint64_t{1} << end_bits) - 1;
        return bits;
    }
};

// Mismatches of `row` with `core_row` over `window`, counted until they pass `limit`; `complete`
// says whether every word was counted (else the count is a lower bound above `limit`).
int32_t window_mismatches(const fast_genotype_matrix& table, int32_t row, int32_t core_row, snp_window window,
                          int32_t limit, bool& complete);

// The alleles of `row` at columns first..first+count-1 (count <= 64), column first at bit 0.
inline uint64_t row_bits(const fast_genotype_matrix& table, int32_t row, int32_t first, int32_t count) {
    if (count <= 0) return 0;
    const uint64_t* words = table.bit_row(row) + (first >> 6);
    const int shift = first & 63;
    const uint64_t bits = shift == 0 ? words[0] : (words[0] >> shift) | (words[1] << (64 - shift));
    return count == 64 ? bits : bits & ((uint64_t{1} << count) - 1);
}

}  // namespace corvane
