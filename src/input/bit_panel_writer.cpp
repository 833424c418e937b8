// Bit panel output: the site-major table turned haplotype-major by 64 x 64 bit transposes (by several
// threads at once if asked), or rows as given.
#include "input/bit_panel_writer.hpp"

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>
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

namespace {

// Eight word columns (512 haplotypes) at a time: a site's eight words share a cache line, so each
// line of the table is read once.
constexpr size_t columns_at_once = 8;

// The haplotype rows of word columns [first_word, first_word + columns) of `table` into `rows`, one
// after another, each row_words long.
void transpose_columns(const haplotype_table& table, size_t first_word, size_t columns, std::vector<uint64_t>& rows) {
    const size_t row_words = words_for_bits(table.site_count);
    uint64_t squares[columns_at_once][64];
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
}

// The haplotypes of the group of columns starting at `first_word`: 512, or those left at the end.
size_t group_rows(const haplotype_table& table, size_t first_word) {
    const size_t columns = std::min(columns_at_once, static_cast<size_t>(table.words_per_site) - first_word);
    return std::min(columns * 64, static_cast<size_t>(table.haplotype_count) - first_word * 64);
}

run_status out_of_memory_for_rows() {
    print_message(message_kind::tool, "not enough memory to write the bit panel\n");
    return run_status::out_of_memory;
}

// The groups of columns turned by `threads` threads, at most one group ahead each, and written in
// order by the calling thread.
run_status write_rows_with_threads(const haplotype_table& table, staged_output& output, int threads) {
    const size_t words_per_site = static_cast<size_t>(table.words_per_site);
    const size_t row_words = words_for_bits(table.site_count);
    const size_t groups = (words_per_site + columns_at_once - 1) / columns_at_once;
    struct group {
        std::vector<uint64_t> rows;
        bool done = false;
    };
    std::vector<group> turned(groups);
    std::mutex lock;
    std::condition_variable changed;
    size_t next = 0;
    size_t written = 0;
    bool failed = false;
    const size_t ahead = static_cast<size_t>(threads);
    const auto turn = [&] {
        for (;;) {
            size_t g = 0;
            {
                std::unique_lock<std::mutex> held(lock);
                changed.wait(held, [&] { return failed || next >= groups || next < written + ahead; });
                if (failed || next >= groups) return;
                g = next++;
            }
            std::vector<uint64_t> rows;
            bool allocated = true;
            try {
                rows.resize(columns_at_once * 64 * row_words);
            } catch (const std::bad_alloc&) {
                allocated = false;
            }
            if (allocated) transpose_columns(table, g * columns_at_once, std::min(columns_at_once, words_per_site - g * columns_at_once), rows);
            const std::lock_guard<std::mutex> held(lock);
            if (!allocated) failed = true;
            turned[g].rows = std::move(rows);
            turned[g].done = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) workers.emplace_back(turn);
    run_status status = run_status::run_ok;
    for (size_t g = 0; g < groups && status == run_status::run_ok; ++g) {
        std::vector<uint64_t> rows;
        {
            std::unique_lock<std::mutex> held(lock);
            changed.wait(held, [&] { return turned[g].done || failed; });
            if (!turned[g].done) status = out_of_memory_for_rows();
            rows = std::move(turned[g].rows);
        }
        if (status == run_status::run_ok && rows.empty()) status = out_of_memory_for_rows();
        if (status == run_status::run_ok) status = write_bit_panel_rows(output, rows.data(), group_rows(table, g * columns_at_once) * row_words);
        const std::lock_guard<std::mutex> held(lock);
        written = g + 1;
        if (status != run_status::run_ok) failed = true;
        changed.notify_all();
    }
    for (std::thread& worker : workers) worker.join();
    return status;
}

}  // namespace

run_status write_bit_panel(const haplotype_table& table, staged_output& output, int threads) {
    const size_t row_words = words_for_bits(table.site_count);
    const size_t words_per_site = static_cast<size_t>(table.words_per_site);
    run_status status = write_bit_panel_header(output, table.haplotype_count, table.site_count);
    if (status != run_status::run_ok) return status;
    if (threads > 1 && words_per_site > columns_at_once) return write_rows_with_threads(table, output, threads);
    std::vector<uint64_t> rows;  // the rows of one group of haplotypes
    try {
        rows.resize(columns_at_once * 64 * row_words);
    } catch (const std::bad_alloc&) {
        return out_of_memory_for_rows();
    }
    for (size_t first_word = 0; first_word < words_per_site && status == run_status::run_ok;
         first_word += columns_at_once) {
        transpose_columns(table, first_word, std::min(columns_at_once, words_per_site - first_word), rows);
        status = write_bit_panel_rows(output, rows.data(), group_rows(table, first_word) * row_words);
    }
    return status;
}

}  // namespace corvane
