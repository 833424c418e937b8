// Packs alleles into bits as sites arrive and turns them into haplotype lines, 64 haplotypes per pass.
#include "input/haplotype_table.hpp"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <new>
#include <string>

#include "input/bit_words.hpp"

#include "common/counted.hpp"
#include "common/message.hpp"

namespace corvane {

void start_haplotype_table(haplotype_table& table, int64_t haplotype_count) {
    table = haplotype_table{};
    table.haplotype_count = haplotype_count;
    table.words_per_site = static_cast<int64_t>(words_for_bits(haplotype_count));
}

namespace {

// The zeroed words of the next site, or null when memory runs out (reported).
uint64_t* next_site_words(haplotype_table& table) {
    try {
        if (table.site_count % haplotype_table::sites_per_block == 0) {
            table.blocks.emplace_back(static_cast<size_t>(haplotype_table::sites_per_block * table.words_per_site), 0);
        }
    } catch (const std::bad_alloc&) {
        print_message(message_kind::tool, "not enough memory for the haplotype table (%s, %s so far)\n",
                      counted(table.haplotype_count, "haplotype", "haplotypes").c_str(),
                      counted(table.site_count, "SNP", "SNPs").c_str());
        return nullptr;
    }
    return table.blocks.back().data() +
           static_cast<size_t>(table.site_count % haplotype_table::sites_per_block * table.words_per_site);
}

}  // namespace

run_status add_site(haplotype_table& table, std::span<const uint8_t> alleles) {
    assert(static_cast<int64_t>(alleles.size()) == table.haplotype_count);
    uint64_t* words = next_site_words(table);
    if (words == nullptr) return run_status::out_of_memory;
    pack_low_bits(alleles.data(), alleles.size(), words);
    ++table.site_count;
    return run_status::run_ok;
}

run_status add_site_words(haplotype_table& table, std::span<const uint64_t> words) {
    assert(static_cast<int64_t>(words.size()) == table.words_per_site);
    uint64_t* site = next_site_words(table);
    if (site == nullptr) return run_status::out_of_memory;
    std::copy(words.begin(), words.end(), site);
    ++table.site_count;
    return run_status::run_ok;
}

run_status append_sites(haplotype_table& into, haplotype_table& from) {
    assert(into.haplotype_count == from.haplotype_count);
    constexpr int64_t block_sites = haplotype_table::sites_per_block;
    const size_t words = static_cast<size_t>(from.words_per_site);
    const int64_t used = into.site_count % block_sites;
    // The sites that fill the last block of `into`; each block of `from` then shifts down in place by
    // as many sites and takes the first ones of the block after it, and becomes a block of `into`.
    const int64_t filling = used == 0 ? 0 : std::min(block_sites - used, from.site_count);
    if (filling > 0) {
        std::copy_n(from.blocks[0].data(), static_cast<size_t>(filling) * words,
                    into.blocks.back().data() + static_cast<size_t>(used) * words);
    }
    const int64_t moved = from.site_count - filling;
    const size_t new_blocks = static_cast<size_t>((moved + block_sites - 1) / block_sites);
    try {
        into.blocks.reserve(into.blocks.size() + new_blocks);
    } catch (const std::bad_alloc&) {
        print_message(message_kind::tool, "not enough memory for the haplotype table (%lld haplotypes, %lld SNPs "
                      "so far)\n", static_cast<long long>(into.haplotype_count), static_cast<long long>(into.site_count));
        return run_status::out_of_memory;
    }
    const size_t shift = static_cast<size_t>(filling) * words;
    const size_t block_words = static_cast<size_t>(block_sites) * words;
    for (size_t b = 0; b < new_blocks; ++b) {
        std::vector<uint64_t>& block = from.blocks[b];
        if (shift > 0) {
            std::copy(block.begin() + static_cast<std::ptrdiff_t>(shift), block.end(), block.begin());
            if (b + 1 < from.blocks.size()) {
                std::copy_n(from.blocks[b + 1].data(), shift, block.data() + (block_words - shift));
            }
        }
        into.blocks.push_back(std::move(block));
    }
    into.site_count += from.site_count;
    from.blocks.clear();
    from.site_count = 0;
    return run_status::run_ok;
}

run_status write_haplotype_lines(const haplotype_table& table, staged_output& target) {
    const size_t sites = static_cast<size_t>(table.site_count);
    std::vector<uint64_t> column;
    std::string line;
    try {
        column.resize(sites);
        line.resize(2 * sites);
    } catch (const std::bad_alloc&) {
        print_message(message_kind::tool, "not enough memory to write the haplotype lines\n");
        return run_status::out_of_memory;
    }
    for (size_t s = 0; s + 1 < sites; ++s) line[2 * s + 1] = '\t';
    if (sites > 0) line[2 * sites - 1] = '\n';
    // Copying one word column out first keeps the 64 lines built from it in cache.
    for (int64_t word = 0; word < table.words_per_site; ++word) {
        for (size_t s = 0; s < sites; ++s) column[s] = table.site_words(static_cast<int64_t>(s))[word];
        const int64_t first = word * 64;
        const int64_t last = std::min<int64_t>(first + 64, table.haplotype_count);
        for (int64_t h = first; h < last; ++h) {
            const unsigned shift = static_cast<unsigned>(h - first);
            for (size_t s = 0; s < sites; ++s) line[2 * s] = static_cast<char>('0' + ((column[s] >> shift) & 1u));
            if (write_staged(target, line) != run_status::run_ok) return run_status::output_failed;
        }
    }
    return run_status::run_ok;
}

}  // namespace corvane
