// A panel gathered site by site, one bit per allele, as a VCF conversion reads it, and written
// haplotype by haplotype as a text genotype file (the bit panel's writer is bit_panel_writer).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/run_status.hpp"
#include "common/staged_output.hpp"

namespace corvane {

// Site-major bits in blocks of 64 sites: site s holds words_per_site words at (s % 64) * words_per_site
// of block s / 64, haplotype h in bit h % 64 of word h / 64. Grown a block at a time, so a large table
// is never copied to a bigger one (which would hold it twice at once).
struct haplotype_table {
    static constexpr int64_t sites_per_block = 64;
    int64_t haplotype_count = 0;
    int64_t words_per_site = 0;
    int64_t site_count = 0;
    std::vector<std::vector<uint64_t>> blocks;

    const uint64_t* site_words(int64_t site) const {
        return blocks[static_cast<size_t>(site / sites_per_block)].data() +
               static_cast<size_t>(site % sites_per_block * words_per_site);
    }
};

void start_haplotype_table(haplotype_table& table, int64_t haplotype_count);

// Appends one site: `alleles` holds one 0 or 1 per haplotype. out_of_memory (reported) when memory runs out.
run_status add_site(haplotype_table& table, std::span<const uint8_t> alleles);

// Appends one site given as its packed haplotype words (words_per_site of them). out_of_memory
// (reported) when memory runs out.
run_status add_site_words(haplotype_table& table, std::span<const uint64_t> words);

// Moves every site of `from` to the end of `into` (both of one haplotype count), leaving `from` empty.
// Its blocks are taken over: when `into` does not end on a block boundary, the first sites of `from`
// fill its last block and each block of `from` is shifted down in place by as many sites first, so
// nothing is allocated or held twice. out_of_memory (reported) when memory runs out.
run_status append_sites(haplotype_table& into, haplotype_table& from);

// Writes one line per haplotype: its alleles in site order, tab-separated, newline-terminated.
// out_of_memory or output_failed, reported, when memory runs out or a write fails.
run_status write_haplotype_lines(const haplotype_table& table, staged_output& target);

}  // namespace corvane
