// Counts the core's alleles: on a bit table, over all haplotypes from each SNP's count of ones, and
// over the carriers from their few mismatches with the core; on any other table cell by cell.
#include "loci/core_snps.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <numeric>

namespace corvane {

namespace {

// Per-SNP counts of 64 SNPs at once, bit-sliced: plane p holds bit p of each SNP's count, so adding a
// word of ones costs a few word operations, not 64 additions.
using sliced_counts = std::array<uint64_t, 32>;

void add_ones(sliced_counts& counts, uint64_t ones) {
    for (size_t plane = 0; ones != 0; ++plane) {
        const uint64_t carry = counts[plane] & ones;
        counts[plane] ^= ones;
        ones = carry;
    }
}

int32_t count_of(const sliced_counts& counts, int bit) {
    int32_t count = 0;
    for (size_t plane = 0; plane < counts.size(); ++plane) {
        count |= static_cast<int32_t>((counts[plane] >> bit) & 1u) << plane;
    }
    return count;
}

// How many haplotypes have a 1 at each SNP of a bit table: one pass over its rows.
std::vector<int32_t> ones_per_snp(const fast_genotype_matrix& table) {
    const size_t words = static_cast<size_t>((table.snp_count + 63) / 64);
    std::vector<sliced_counts> counts(words, sliced_counts{});
    for (int32_t row = 0; row < table.haplotype_count; ++row) {
        const uint64_t* bits = table.bit_row(row);
        for (size_t w = 0; w < words; ++w) add_ones(counts[w], bits[w]);
    }
    std::vector<int32_t> ones(static_cast<size_t>(table.snp_count));
    for (size_t c = 0; c < ones.size(); ++c) ones[c] = count_of(counts[c / 64], static_cast<int>(c % 64));
    return ones;
}

// The 64 bits of `row` from column `first` on (the table keeps a zero word after each row's last).
uint64_t bits_from(const uint64_t* row, int32_t first) {
    const int32_t word = first / 64, shift = first % 64;
    return shift == 0 ? row[word] : (row[word] >> shift) | (row[word + 1] << (64 - shift));
}

bool is_carrier(const core_request& request, int32_t row) {
    return ((request.carriers[static_cast<size_t>(row / 64)] >> (row % 64)) & 1u) != 0;
}

// The carriers' shares of one window: every carrier holds the core's allele but where it mismatches,
// which the similarity cut-off keeps to one SNP in fifty.
void count_carriers_on_bits(const fast_genotype_matrix& table, const core_request& request, std::vector<core_snp>& snps) {
    const int32_t width = request.window.hi - request.window.lo + 1;
    const size_t words = static_cast<size_t>((width + 63) / 64);
    std::vector<uint64_t> core(words), masks(words, ~uint64_t{0});
    for (size_t w = 0; w < words; ++w) {
        core[w] = bits_from(table.bit_row(request.core_row), request.window.lo + static_cast<int32_t>(64 * w));
    }
    if (width % 64 != 0) masks.back() = (uint64_t{1} << (width % 64)) - 1;
    int32_t carriers = 0;
    for (const uint64_t word : request.carriers) carriers += std::popcount(word);
    for (core_snp& snp : snps) snp.carriers_with = carriers;
    for (size_t at = 0; at < request.carriers.size(); ++at) {
        for (uint64_t rows = request.carriers[at]; rows != 0; rows &= rows - 1) {
            const uint64_t* bits = table.bit_row(static_cast<int32_t>(64 * at) + std::countr_zero(rows));
            for (size_t w = 0; w < words; ++w) {
                uint64_t mismatches = (bits_from(bits, request.window.lo + static_cast<int32_t>(64 * w)) ^ core[w]) & masks[w];
                for (; mismatches != 0; mismatches &= mismatches - 1) {
                    --snps[64 * w + static_cast<size_t>(std::countr_zero(mismatches))].carriers_with;
                }
            }
        }
    }
}

void count_any_table(const fast_genotype_matrix& table, const core_request& request, std::vector<core_snp>& snps) {
    for (int32_t row = 0; row < table.haplotype_count; ++row) {
        const bool carrier = is_carrier(request, row);
        for (core_snp& snp : snps) {
            if (table.at(row, snp.column) != snp.allele) continue;
            ++snp.haplotypes_with;
            snp.carriers_with += carrier;
        }
    }
}

}  // namespace

core_request core_request_of(snp_window window, const carrier_set& carriers, int32_t haplotypes) {
    core_request request{window, carriers.core_row, std::vector<uint64_t>(static_cast<size_t>((haplotypes + 63) / 64))};
    for (const int32_t row : carriers.carrier_rows) request.carriers[static_cast<size_t>(row / 64)] |= uint64_t{1} << (row % 64);
    return request;
}

std::vector<std::vector<core_snp>> core_snps_of(const fast_genotype_matrix& table,
                                                const std::vector<core_request>& requests) {
    std::vector<std::vector<core_snp>> found(requests.size());
    for (size_t k = 0; k < requests.size(); ++k) {
        const snp_window window = requests[k].window;
        for (int32_t column = window.lo; column <= window.hi; ++column) {
            core_snp snp;
            snp.column = column;
            snp.allele = table.at(requests[k].core_row, column);
            found[k].push_back(std::move(snp));
        }
    }
    // A bit table of corvane-loci holds only 0 and 1 (other codes widen it), so its bits are its alleles.
    if (table.kind != cell_kind::bits || table.has_rare_cells()) {
        for (size_t k = 0; k < requests.size(); ++k) count_any_table(table, requests[k], found[k]);
        return found;
    }
    const std::vector<int32_t> ones = ones_per_snp(table);
    // Windows in position order, so that the carriers' rows around one stay in the cache for the next.
    std::vector<size_t> order(requests.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return requests[a].window.lo < requests[b].window.lo; });
    for (const size_t k : order) {
        for (core_snp& snp : found[k]) {
            const int32_t with_one = ones[static_cast<size_t>(snp.column)];
            snp.haplotypes_with = snp.allele == 1 ? with_one : table.haplotype_count - with_one;
        }
        count_carriers_on_bits(table, requests[k], found[k]);
    }
    return found;
}

}  // namespace corvane
