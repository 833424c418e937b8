// Reads phased 0/1 genotypes from the GT field's bytes in place, packing them into bits as it goes.
#include "prepare/phased_gt.hpp"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "input/bit_words.hpp"

namespace corvane {

namespace {

// A GT byte is (allele + 1) << 1 | phased. A first allele 0 or 1, either phase bit: 2 to 5; a second
// allele 0 or 1 with the phase bit: 3 or 5. Anything else (missing, vector end, allele 2, unphased)
// is not plain. The allele is then bit 2 of the byte.
bool plain_pair(uint8_t first, uint8_t second) {
    return static_cast<uint8_t>(first - 2) <= 3 && (second == 3 || second == 5);
}

// Every sample kept, in order: byte h of the GT field is haplotype h.
bool pack_every_sample(const uint8_t* bytes, size_t haplotypes, uint64_t* words) {
    size_t h = 0;
    bool plain = true;
#if defined(__SSE2__)
    // 16 bytes at a time: bit 2 of each byte moved to bit 7 and gathered by movemask; the checks as
    // above, byte-wise (odd bytes are second alleles and need the phase bit).
    const __m128i two = _mm_set1_epi8(2), three = _mm_set1_epi8(3);
    const __m128i odd_phase = _mm_set1_epi16(0x0100);
    __m128i faults = _mm_setzero_si128();
    for (; h + 16 <= haplotypes; h += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + h));
        const __m128i offset = _mm_sub_epi8(v, two);
        faults = _mm_or_si128(faults, _mm_xor_si128(_mm_max_epu8(offset, three), three));
        faults = _mm_or_si128(faults, _mm_xor_si128(_mm_and_si128(v, odd_phase), odd_phase));
        const auto bits = static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(_mm_slli_epi16(v, 5))));
        words[h / 64] |= bits << (h % 64);
    }
    plain = _mm_movemask_epi8(_mm_cmpeq_epi8(faults, _mm_setzero_si128())) == 0xffff;
#endif
    for (; h < haplotypes; h += 2) {
        plain = plain && plain_pair(bytes[h], bytes[h + 1]);
        words[h / 64] |= static_cast<uint64_t>(bytes[h] >> 2 & 1) << (h % 64);
        words[(h + 1) / 64] |= static_cast<uint64_t>(bytes[h + 1] >> 2 & 1) << ((h + 1) % 64);
    }
    return plain;
}

}  // namespace

bool read_plain_phased_words(const bcf_hdr_t* header, bcf1_t* record, std::span<const int> samples,
                             std::vector<uint64_t>& words) {
    if (bcf_unpack(record, BCF_UN_FMT) != 0) return false;
    const bcf_fmt_t* gt = bcf_get_fmt(header, record, "GT");
    if (gt == nullptr || gt->type != BCF_BT_INT8 || gt->n != 2 || gt->p == nullptr) return false;
    const uint8_t* bytes = gt->p;
    const size_t haplotypes = 2 * samples.size();
    words.assign(words_for_bits(static_cast<int64_t>(haplotypes)), 0);
    const bool every_sample = samples.size() == static_cast<size_t>(bcf_hdr_nsamples(header)) &&
                              (samples.empty() || samples.back() == static_cast<int>(samples.size()) - 1);
    if (every_sample) return pack_every_sample(bytes, haplotypes, words.data());
    bool plain = true;
    for (size_t i = 0; i < samples.size(); ++i) {
        const size_t sample = static_cast<size_t>(samples[i]);
        const uint8_t first = bytes[2 * sample], second = bytes[2 * sample + 1];
        plain = plain && plain_pair(first, second);
        const size_t h = 2 * i;
        words[h / 64] |= static_cast<uint64_t>((first >> 2 & 1) | (second >> 2 & 1) << 1) << (h % 64);
    }
    return plain;
}

}  // namespace corvane
