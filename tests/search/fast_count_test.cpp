// The fast carrier count against the reference count, window by window, and the columns it reads.
#include <gtest/gtest.h>

#include <random>

#include "search/column_bits.hpp"
#include "search/fast_window_count.hpp"
#include "search/region.hpp"
#include "search/window_count.hpp"
#include "support/random_tables.hpp"

namespace corvane::testing {
namespace {

TEST(FastCount, MismatchAllowanceIsTheSimilarityTestsCutOff) {
    EXPECT_EQ(mismatch_allowance(50), 0);
    EXPECT_EQ(mismatch_allowance(51), 1);
    EXPECT_EQ(mismatch_allowance(100), 1);
    EXPECT_EQ(mismatch_allowance(101), 2);
    for (int32_t width = 1; width <= 20000; ++width) {
        const int32_t allowed = mismatch_allowance(width);
        ASSERT_TRUE(is_carrier(static_cast<double>(allowed), width)) << width;
        ASSERT_FALSE(is_carrier(static_cast<double>(allowed) + 1.0, width)) << width;
    }
}

// Only two transposed blocks are kept, so walking the columns forwards and back again makes blocks
// leave and come back.
TEST(FastCount, ColumnsAreTheTableTurnedOnItsSide) {
    std::mt19937_64 random(12);
    for (const auto& [rows, snps] : {std::pair{1, 1}, {64, 64}, {130, 200}, {65, 263}}) {
        const fast_genotype_matrix table = to_allele_table(random_table(random, rows, snps, table_style::noisy_bits));
        column_bits columns;
        prepare_column_bits(table, 2, columns);
        for (int32_t pass = 0; pass < 2; ++pass) {
            for (int32_t i = 0; i < snps; ++i) {
                const int32_t c = pass == 0 ? i : snps - 1 - i;
                const uint64_t* column = columns.column(c);
                for (int32_t r = 0; r < columns.words_per_column * 64; ++r) {
                    const int32_t bit = static_cast<int32_t>((column[r / 64] >> (r % 64)) & 1u);
                    ASSERT_EQ(bit, r < rows ? table.at(r, c) : 0) << rows << "x" << snps << " " << r << "," << c;
                }
            }
        }
    }
}

// Windows where the low bytes and the values of other codes decide, by hand.
TEST(FastCount, OtherCodesGroupByLowByteAndMatchByValue) {
    const struct {
        allele_rows rows;
        int32_t expected;
    } cases[] = {
        // 256 has the low byte of 0, so rows 0, 1 and 3 share the winning window string; but row 1 is
        // 65536 away from the core row 0, so only rows 0 and 3 are carriers.
        {{{0, 0, 0}, {256, 0, 0}, {1, 1, 1}, {0, 0, 0}, {1, 1, 1}}, 2},
        // 9 and -1 share their lowest bit but not their low byte: the three rows of -1 win.
        {{{9, 0, 0}, {-1, 0, 0}, {9, 0, 0}, {-1, 0, 0}, {-1, 0, 0}}, 3},
        // -1 and 255 share their low byte: one group of four whose core row 0 matches rows 0 and 2 only.
        {{{-1, 0, 0}, {255, 0, 0}, {-1, 0, 0}, {255, 0, 0}, {1, 1, 1}}, 2},
    };
    for (auto [rows, expected] : cases) {
        // Columns of 0 after the window keep the few other codes rare enough to stay beside the bits.
        for (auto& row : rows) row.resize(8, 0);
        const fast_genotype_matrix table = to_allele_table(rows);
        ASSERT_TRUE(table.has_rare_cells());
        window_counter counter;
        prepare_window_counter(table, counter);
        EXPECT_EQ(count_similar_haplotypes(to_matrix(rows), {0, 2}), expected);
        EXPECT_EQ(fast_count_carriers(table, {0, 2}, counter), expected);
    }
}

TEST(FastCount, EveryWindowOfRandomTablesCountsAsTheReferenceCount) {
    std::mt19937_64 random(13);
    // Windows whose count passes and fails half the rows: the draw must give plenty of both, or the
    // comparison below says little about fast_count_carriers_above's early exit.
    int32_t passing = 0, failing = 0, with_rare_cells = 0;
    for (int32_t t = 0; t < 180; ++t) {
        const auto style = static_cast<table_style>(t % table_style_count);
        const int32_t rows = 1 + static_cast<int32_t>(random() % 90);
        const int32_t snps = 2 + static_cast<int32_t>(random() % 260);
        const allele_rows cells = random_table(random, rows, snps, style);
        const genotype_matrix matrix = to_matrix(cells);
        const fast_genotype_matrix table = to_allele_table(cells);
        with_rare_cells += table.has_rare_cells();
        window_counter counter;
        prepare_window_counter(table, counter);
        for (int32_t w = 0; w < 25; ++w) {
            int32_t lo = static_cast<int32_t>(random() % static_cast<uint64_t>(snps - 1));
            int32_t hi = lo + 1 + static_cast<int32_t>(random() % static_cast<uint64_t>(snps - 1 - lo));
            if (w % 5 == 0) hi = std::min(snps - 1, lo + 1 + static_cast<int32_t>(random() % 60));
            const int32_t reference = count_similar_haplotypes(matrix, {lo, hi});
            ASSERT_EQ(fast_count_carriers(table, {lo, hi}, counter), reference) << t << ": " << lo << ".." << hi;
            for (const int32_t threshold : {0, rows / 20, rows / 5, rows / 2, rows - 1}) {
                const float limit = static_cast<float>(threshold);
                const int32_t above = fast_count_carriers_above(table, {lo, hi}, limit, counter);
                ASSERT_EQ(above, static_cast<float>(reference) > limit ? reference : 0) << t << ": " << lo << ".." << hi;
            }
            ++(static_cast<float>(reference) > static_cast<float>(rows / 2) ? passing : failing);
        }
    }
    EXPECT_GT(passing, 500);
    EXPECT_GT(failing, 500);
    EXPECT_GT(with_rare_cells, 15);
}

}  // namespace
}  // namespace corvane::testing
