// Takes a panel's bits out of a site's words with the processor's bit extraction where it is fast,
// else bit by bit.
#include "prepare/panel_gather.hpp"

#include <bit>

#include "input/bit_words.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace corvane {

namespace {

// Appends the `count` low bits of `bits` at bit `at` of `words` (zeroed beyond `at`).
inline void append_bits(uint64_t bits, int count, size_t& at, uint64_t* words) {
    if (count == 0) return;
    const unsigned shift = static_cast<unsigned>(at % 64);
    words[at / 64] |= bits << shift;
    if (shift != 0 && shift + static_cast<unsigned>(count) > 64) words[at / 64 + 1] |= bits >> (64 - shift);
    at += static_cast<size_t>(count);
}

// The bits of `value` under `mask`, packed to the low end: what PEXT does, one set bit at a time.
inline uint64_t extract_bits(uint64_t value, uint64_t mask) {
    uint64_t packed = 0;
    for (uint64_t out = 1; mask != 0; mask &= mask - 1, out <<= 1) {
        if (value & mask & -mask) packed |= out;
    }
    return packed;
}


#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target("bmi2,popcnt"))) void gather_with_pext(const panel_gather& gather, std::span<const uint64_t> every,
                                                           uint64_t* words) {
    size_t at = 0;
    for (size_t w = 0; w < gather.masks.size(); ++w) {
        const uint64_t mask = gather.masks[w];
        if (mask != 0) append_bits(_pext_u64(every[w], mask), std::popcount(mask), at, words);
    }
}

// PEXT takes a few cycles on Intel processors since 2013 and AMD's since Zen 3 (family 19h), but
// hundreds on AMD's before, where the bit-by-bit loop is faster.
bool has_fast_pext() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2") && (__builtin_cpu_is("intel") || __builtin_cpu_is("amdfam19h"));
}
#endif

}  // namespace

panel_gather make_panel_gather(std::span<const int> samples, int sample_count) {
    panel_gather gather;
    gather.masks.assign(words_for_bits(2 * static_cast<int64_t>(sample_count)), 0);
    for (const int sample : samples) {
        const size_t first = 2 * static_cast<size_t>(sample);
        gather.masks[first / 64] |= uint64_t{3} << (first % 64);
    }
    gather.bits = 2 * static_cast<int64_t>(samples.size());
    return gather;
}

void gather_panel_bits(const panel_gather& gather, std::span<const uint64_t> every, std::vector<uint64_t>& words) {
    words.assign(words_for_bits(gather.bits), 0);
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
    static const bool fast = has_fast_pext();
    if (fast) {
        gather_with_pext(gather, every, words.data());
        return;
    }
#endif
    words.clear();
    gather_panel_bits_one_by_one(gather, every, words);
}

void gather_panel_bits_one_by_one(const panel_gather& gather, std::span<const uint64_t> every,
                                  std::vector<uint64_t>& words) {
    words.assign(words_for_bits(gather.bits), 0);
    size_t at = 0;
    for (size_t w = 0; w < gather.masks.size(); ++w) {
        const uint64_t mask = gather.masks[w];
        if (mask != 0) append_bits(extract_bits(every[w], mask), std::popcount(mask), at, words.data());
    }
}

}  // namespace corvane
