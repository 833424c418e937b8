// Bit panel output: the site-major table turned haplotype-major by 64 x 64 bit transposes, or rows as given.
#include "input/bit_panel_writer.hpp"

#include <algorithm>
#include <bit>
#include <new>
#include <string_view>
#include <vector>

#include "common/message.hpp"
#include "input/bit_panel.hpp"
#include "input/bit_words.hpp"

namespace corvane {

run_status write_bit_panel_header(staged_output& output, int64_t haplotype_count, int64_t snp_count) {
    const auto header = bit_panel_header(haplotype_count, snp_count);
    return write_staged(output, std::string_view(reinterpret_cast<const char*>(header.data()), header.size()));
}

run_status write_bit_panel_rows(staged_output& output, const uint64_t* words, size_t word_count) {
    if constexpr (std::endian::native != std::endian::little) {
        std::vector<uint64_t> stored(words, words + word_count);
        for (uint64_t& word : stored) word = little_endian_word(word);
        return write_staged(output, std::string_view(reinterpret_cast<const char*>(stored.data()), word_count * 8));
    }
    return write_staged(output, std::string_view(reinterpret_cast<const char*>(words), word_count * 8));
}

run_status write_bit_panel(const haplotype_table& table, staged_output& output) {
    const size_t row_words = words_for_bits(table.site_count);
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
    run_status status = write_bit_panel_header(output, table.haplotype_count, table.site_count);
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
                transpose_64x64(squares[c]);
                for (size_t h = 0; h < 64; ++h) rows[(c * 64 + h) * row_words + block] = squares[c][h];
            }
        }
        const size_t in_group = std::min(columns * 64, haplotypes - first_word * 64);
        status = write_bit_panel_rows(output, rows.data(), in_group * row_words);
    }
    return status;
}

}  // namespace corvane
