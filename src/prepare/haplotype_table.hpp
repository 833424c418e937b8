// The kept alleles of every haplotype, one bit each, gathered site by site and written haplotype by haplotype.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "prepare/output_target.hpp"
#include "run_status.hpp"

namespace corvane {

// Site-major bits: site s holds words [s * words_per_site, (s + 1) * words_per_site), haplotype h in
// bit h % 64 of word h / 64.
struct haplotype_table {
    int64_t haplotype_count = 0;
    int64_t words_per_site = 0;
    int64_t site_count = 0;
    std::vector<uint64_t> bits;
};

void start_haplotype_table(haplotype_table& table, int64_t haplotype_count);

// Appends one site: `alleles` holds one 0 or 1 per haplotype. out_of_memory (reported) when memory runs out.
run_status add_site(haplotype_table& table, std::span<const uint8_t> alleles);

// Writes one line per haplotype: its alleles in site order, tab-separated, newline-terminated.
// out_of_memory or output_failed, reported, when memory runs out or a write fails.
run_status write_haplotype_lines(const haplotype_table& table, output_target& target);

}  // namespace corvane
