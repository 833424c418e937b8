// The carrier set on the fast table against the scan's own window count and a row-by-row recount.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "input/fast_genotype_loading.hpp"
#include "input/genotype_matrix.hpp"
#include "search/carrier_search.hpp"
#include "search/window_count.hpp"
#include "support/random_tables.hpp"

namespace corvane::testing {
namespace {

// The window of `row` as the reference path keys it: the low byte of each allele.
std::string window_bytes(const genotype_matrix& matrix, int32_t row, snp_window window) {
    std::string bytes;
    for (int32_t c = window.lo; c <= window.hi; ++c) bytes.push_back(static_cast<char>(matrix.at(row, c) & 0xff));
    return bytes;
}

// Checks the carrier set `found` of `window` three ways: its size is the scan's count, its core is the
// first row holding the most frequent window, and its rows are exactly those a direct recount accepts.
void expect_scan_carriers(const genotype_matrix& matrix, const carrier_set& found, snp_window window) {
    ASSERT_EQ(static_cast<int32_t>(found.carrier_rows.size()), count_similar_haplotypes(matrix, window))
        << "window " << window.lo << ".." << window.hi;

    std::vector<std::string> windows;
    for (int32_t r = 0; r < matrix.haplotype_count; ++r) windows.push_back(window_bytes(matrix, r, window));
    const std::string winner = most_frequent_element(windows.begin(), windows.end()).first;
    int32_t first_holder = 0;
    while (windows[static_cast<size_t>(first_holder)] != winner) ++first_holder;
    ASSERT_EQ(found.core_row, first_holder);

    std::vector<int32_t> recount;
    for (int32_t r = 0; r < matrix.haplotype_count; ++r) {
        double distance = 0.0;
        for (int32_t c = window.lo; c <= window.hi; ++c) {
            const double difference = static_cast<double>(matrix.at(r, c)) - matrix.at(first_holder, c);
            distance += difference * difference;
        }
        if (is_carrier(distance, window.hi - window.lo + 1)) recount.push_back(r);
    }
    ASSERT_EQ(found.carrier_rows, recount);
}

void expect_scan_carriers(const genotype_matrix& matrix, const fast_genotype_matrix& table, snp_window window) {
    expect_scan_carriers(matrix, find_carriers(table, window), window);
}

TEST(CarrierSearch, RandomTablesOfEveryStyleGiveTheScansCount) {
    std::mt19937_64 random(1401);
    const table_style styles[] = {table_style::mosaic_bits, table_style::noisy_bits, table_style::identical_bits,
                                  table_style::mosaic_values};
    for (int trial = 0; trial < 48; ++trial) {
        const table_style style = styles[trial % 4];
        const int32_t rows = 1 + static_cast<int32_t>(random() % 90);
        const int32_t snps = 2 + static_cast<int32_t>(random() % 300);
        const allele_rows cells = random_table(random, rows, snps, style);
        const genotype_matrix matrix = to_matrix(cells);
        const fast_genotype_matrix table = to_allele_table(cells, other_alleles::widen_the_table);
        for (int window_trial = 0; window_trial < 12; ++window_trial) {
            const int32_t lo = static_cast<int32_t>(random() % static_cast<uint64_t>(snps - 1));
            const int32_t hi = lo + 1 + static_cast<int32_t>(random() % static_cast<uint64_t>(snps - 1 - lo));
            expect_scan_carriers(matrix, table, {lo, hi});
        }
        // Windows that start on, end on and cross 64-SNP word edges.
        for (const auto& [lo, hi] : {std::pair{0, 63}, {63, 64}, {64, 127}, {1, 129}, {0, snps - 1}}) {
            if (hi < snps) expect_scan_carriers(matrix, table, {lo, hi});
        }
    }
}

// Many windows at once share copies of the columns they read; each must still be the scan's count.
TEST(CarrierSearch, WindowsFoundTogetherGiveTheScansCount) {
    std::mt19937_64 random(1403);
    for (const table_style style : {table_style::mosaic_bits, table_style::noisy_bits, table_style::mosaic_values}) {
        const allele_rows cells = random_table(random, 70, 2500, style);
        const genotype_matrix matrix = to_matrix(cells);
        const fast_genotype_matrix table = to_allele_table(cells, other_alleles::widen_the_table);
        std::vector<snp_window> windows;
        for (int k = 0; k < 300; ++k) {
            // Mostly narrow windows, a few wider than a batch of copied words.
            const int32_t width = 2 + static_cast<int32_t>(random() % (k % 30 == 0 ? 1400 : 120));
            const int32_t lo = static_cast<int32_t>(random() % static_cast<uint64_t>(2500 - width));
            windows.push_back({lo, lo + width - 1});
        }
        std::vector<int> seen(windows.size());
        find_carriers_of_windows(table, windows, [&](size_t k, carrier_set& together) {
            ++seen[k];
            expect_scan_carriers(matrix, together, windows[k]);
        });
        EXPECT_EQ(seen, std::vector<int>(windows.size(), 1));
    }
}

// Two windows equally common: the one with a 0 at the first differing SNP wins, wherever it is met.
TEST(CarrierSearch, TiesGoToTheWindowFirstInByteOrder) {
    const allele_rows cells = {{1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 1, 1}, {0, 0, 0}};
    const carrier_set found = find_carriers(to_allele_table(cells, other_alleles::widen_the_table), {0, 2});
    EXPECT_EQ(found.core_row, 1);
    EXPECT_EQ(found.carrier_rows, (std::vector<int32_t>{1, 3}));
    expect_scan_carriers(to_matrix(cells), to_allele_table(cells, other_alleles::widen_the_table), {0, 2});
}

TEST(CarrierSearch, ExamplePanelWindowsGiveTheScansCount) {
    const std::string panel = std::string(CORVANE_EXAMPLES) + "/chr21.hap.gz";
    genotype_matrix matrix;
    fast_genotype_matrix table;
    ASSERT_EQ(load_genotype_matrix(panel, matrix), run_status::run_ok);
    ASSERT_EQ(load_fast_genotype_matrix(panel, table), run_status::run_ok);
    ASSERT_EQ(table.kind, cell_kind::bits);
    std::mt19937_64 random(1402);
    for (int trial = 0; trial < 40; ++trial) {
        const int32_t width = 2 + static_cast<int32_t>(random() % 300);
        const int32_t lo = static_cast<int32_t>(random() % static_cast<uint64_t>(table.snp_count - width));
        expect_scan_carriers(matrix, table, {lo, lo + width - 1});
    }
}

}  // namespace
}  // namespace corvane::testing
