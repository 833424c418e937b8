// The bits of one panel's samples taken out of the bits of every sample of a site: for several
// panels from one pass, each site's genotypes are packed once, then each panel takes its own.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace corvane {

// Where a panel's haplotypes sit among those of every sample: per word of the site's packed
// haplotypes, the bits that are the panel's.
struct panel_gather {
    std::vector<uint64_t> masks;
    int64_t bits = 0;  // the panel's haplotypes
};

// The gather of the samples `samples` (header indices, increasing) among `sample_count` samples.
panel_gather make_panel_gather(std::span<const int> samples, int sample_count);

// Packs the panel's haplotypes from `every` (two bits per sample, as read_plain_phased_words packs
// every sample) into `words`, the panel's haplotype h at bit h % 64 of word h / 64; `words` holds
// words_for_bits(2 * panel samples) words, set here.
void gather_panel_bits(const panel_gather& gather, std::span<const uint64_t> every, std::vector<uint64_t>& words);

// The same one bit at a time, as on processors without a fast bit extraction.
void gather_panel_bits_one_by_one(const panel_gather& gather, std::span<const uint64_t> every,
                                  std::vector<uint64_t>& words);

}  // namespace corvane
