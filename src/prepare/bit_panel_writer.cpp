// Bit panel output: the table turned haplotype-major by 64 x 64 bit transposes, or text rows packed as read.
#include "prepare/bit_panel_writer.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <span>
#include <string_view>
#include <vector>

#include "common/message.hpp"
#include "common/same_file.hpp"
#include "input/bit_panel.hpp"
#include "input/genotype_parser.hpp"

namespace corvane {

namespace {

// a[i] bit j becomes a[j] bit i.
void transpose_64(uint64_t a[64]) {
    uint64_t mask = 0x00000000ffffffffull;
    for (unsigned j = 32; j != 0; j >>= 1, mask ^= mask << j) {
        for (unsigned k = 0; k < 64; k = ((k | j) + 1) & ~j) {
            const uint64_t swapped = ((a[k] >> j) ^ a[k | j]) & mask;
            a[k] ^= swapped << j;
            a[k | j] ^= swapped;
        }
    }
}

run_status write_words(staged_output& target, const uint64_t* words, size_t count) {
    if constexpr (std::endian::native != std::endian::little) {
        std::vector<unsigned char> bytes(count * 8);
        for (size_t i = 0; i < count * 8; ++i) bytes[i] = static_cast<unsigned char>(words[i / 8] >> (8 * (i % 8)));
        return write_staged(target, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    return write_staged(target, std::string_view(reinterpret_cast<const char*>(words), count * 8));
}

run_status write_header(staged_output& target, int64_t haplotypes, int64_t snps) {
    const auto header = bit_panel_header(haplotypes, snps);
    return write_staged(target, std::string_view(reinterpret_cast<const char*>(header.data()), header.size()));
}

}  // namespace

run_status write_bit_panel(const haplotype_table& table, staged_output& target) {
    const size_t row_words = bit_panel_row_words(table.site_count);
    const size_t haplotypes = static_cast<size_t>(table.haplotype_count);
    const size_t words_per_site = static_cast<size_t>(table.words_per_site);
    // Eight word columns (512 haplotypes) at a time: a site's eight words share a cache line, so
    // each line of the table is read once.
    constexpr size_t columns_at_once = 8;
    std::vector<uint64_t> rows;  // the rows of those haplotypes
    try {
        rows.resize(columns_at_once * 64 * row_words);
    } catch (const std::bad_alloc&) {
        print_message(message_kind::tool, "not enough memory to write the bit panel\n");
        return run_status::out_of_memory;
    }
    run_status status = write_header(target, table.haplotype_count, table.site_count);
    uint64_t squares[columns_at_once][64];
    for (size_t first_word = 0; first_word < words_per_site && status == run_status::run_ok;
         first_word += columns_at_once) {
        const size_t columns = std::min(columns_at_once, words_per_site - first_word);
        for (size_t block = 0; block < row_words; ++block) {
            const int64_t first_site = static_cast<int64_t>(block) * 64;
            const size_t sites = static_cast<size_t>(std::min<int64_t>(64, table.site_count - first_site));
            for (size_t s = 0; s < 64; ++s) {
                const uint64_t* site = s < sites ? table.site_words(first_site + static_cast<int64_t>(s)) + first_word : nullptr;
                for (size_t c = 0; c < columns; ++c) squares[c][s] = site != nullptr ? site[c] : 0;
            }
            for (size_t c = 0; c < columns; ++c) {
                transpose_64(squares[c]);
                for (size_t h = 0; h < 64; ++h) rows[(c * 64 + h) * row_words + block] = squares[c][h];
            }
        }
        const size_t in_group = std::min(columns * 64, haplotypes - first_word * 64);
        status = write_words(target, rows.data(), in_group * row_words);
    }
    return status;
}

run_status convert_text_panel(const std::string& text_panel_path, const std::string& output_path) {
    if (const run_status checked = check_output_is_not_an_input(output_path, {{"input", text_panel_path}});
        checked != run_status::run_ok) {
        return checked;
    }
    staged_output target;
    run_status status = open_staged(target, output_path);
    if (status != run_status::run_ok) return status;
    int64_t snps = 0, haplotypes = 0;
    std::vector<uint64_t> row;
    const auto take_snp_count = [&](int32_t snp_count) {
        snps = snp_count;
        row.resize(bit_panel_row_words(snps));
        // H is not known yet: the header is written again at the end.
        return write_header(target, 0, snps);
    };
    const auto take_haplotype = [&](std::span<const int32_t> alleles) {
        std::fill(row.begin(), row.end(), uint64_t{0});
        for (size_t c = 0; c < alleles.size(); ++c) {
            if ((alleles[c] & ~1) != 0) {
                print_message(message_kind::place,
                              "%s:%lld: allele %zu is %d, but a bit panel holds only alleles 0 and 1; corvane reads "
                              "this panel as it is, as text\n",
                              text_panel_path.c_str(), static_cast<long long>(haplotypes + 1), c + 1, alleles[c]);
                return run_status::genotype_malformed;
            }
            row[c / 64] |= static_cast<uint64_t>(alleles[c]) << (c % 64);
        }
        ++haplotypes;
        return write_words(target, row.data(), row.size());
    };
    status = parse_genotype_file(text_panel_path, take_snp_count, take_haplotype);
    if (status == run_status::genotype_missing) {
        print_message(message_kind::tool, "cannot open the genotype file %s: %s\n", text_panel_path.c_str(),
                      std::strerror(errno));
    }
    if (status != run_status::run_ok) return status;
    const auto header = bit_panel_header(haplotypes, snps);
    status = rewrite_staged_start(target, std::string_view(reinterpret_cast<const char*>(header.data()), header.size()));
    if (status == run_status::run_ok) status = commit_staged({&target});
    if (status != run_status::run_ok) return status;
    print_message(message_kind::tool, "wrote %s: %lld haplotypes x %lld SNPs\n", output_path.c_str(),
                  static_cast<long long>(haplotypes), static_cast<long long>(snps));
    return run_status::run_ok;
}

}  // namespace corvane
