// Whole searches of the fast path against the reference path on random tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <random>
#include <set>

#include "search/fast_region.hpp"
#include "search/region.hpp"
#include "support/random_tables.hpp"

namespace corvane::testing {
namespace {

TEST(FastSearch, EveryFocalSnpGrowsTheReferenceRegion) {
    std::mt19937_64 random(21);
    for (int32_t t = 0; t < 60; ++t) {
        const auto style = static_cast<table_style>(t % table_style_count);
        const int32_t rows = 1 + static_cast<int32_t>(random() % 60);
        const int32_t snps = 2 + static_cast<int32_t>(random() % 200);
        const allele_rows cells = random_table(random, rows, snps, style);
        const genotype_matrix matrix = to_matrix(cells);
        const fast_genotype_matrix table = to_allele_table(cells);
        window_counter counter;
        prepare_window_counter(table, counter);
        const int32_t threshold = static_cast<int32_t>(random() % static_cast<uint64_t>(rows));
        const std::string frequency_text = frequency_for_threshold(rows, threshold);
        ASSERT_FALSE(frequency_text.empty());
        const auto frequency = static_cast<float>(std::atof(frequency_text.c_str()));
        for (int32_t focal = 0; focal + 1 < snps; ++focal) {
            const region reference = grow_region(matrix, focal, frequency);
            const region fast = fast_grow_region(table, focal, frequency, counter);
            ASSERT_EQ(fast.start, reference.start) << "table " << t << " focal " << focal;
            ASSERT_EQ(fast.end, reference.end) << "table " << t << " focal " << focal;
        }
    }
}

// 1,000 random tables walked as the scan walks them (each next focal SNP the second after the
// region's end): the fast search finds every reference region.
TEST(FastSearch, RandomTablesGiveTheReferenceRegionSequence) {
    std::mt19937_64 random(23);
    int32_t long_scans = 0;  // scans that found several regions, so the focal rule was followed
    int32_t from_first = 0, to_last = 0, inside = 0;  // regions touching each edge, and neither
    std::set<std::pair<int32_t, int32_t>> thresholds_seen;  // (H, threshold) for H <= 12
    for (int32_t t = 0; t < 1000; ++t) {
        const allele_rows cells = random_table_for_draw(random, t);
        const auto rows = static_cast<int32_t>(cells.size());
        const auto snps = static_cast<int32_t>(cells.front().size());
        const genotype_matrix matrix = to_matrix(cells);
        const fast_genotype_matrix table = to_allele_table(cells);
        window_counter counter;
        prepare_window_counter(table, counter);
        for (const int32_t threshold : thresholds_for_draw(random, t, rows)) {
            const std::string frequency_text = frequency_for_threshold(rows, threshold);
            ASSERT_FALSE(frequency_text.empty()) << rows << " " << threshold;
            const auto frequency = static_cast<float>(std::atof(frequency_text.c_str()));
            int32_t regions = 0;
            for (int32_t focal = 0; is_focal_snp(focal, snps);) {
                const region reference = grow_region(matrix, focal, frequency);
                const region fast = fast_grow_region(table, focal, frequency, counter);
                ASSERT_EQ(fast.start, reference.start) << "table " << t << " focal " << focal;
                ASSERT_EQ(fast.end, reference.end) << "table " << t << " focal " << focal;
                from_first += reference.start == 0;
                to_last += reference.end == snps - 1;
                inside += reference.start > 0 && reference.end < snps - 1;
                ++regions;
                focal = next_focal_snp(reference);
            }
            if (rows <= 12) thresholds_seen.insert({rows, threshold});
            long_scans += regions >= 3;
        }
    }
    EXPECT_GT(long_scans, 300);
    EXPECT_EQ(thresholds_seen.size(), static_cast<size_t>(12 * 13 / 2)) << "every threshold of every small size";
    EXPECT_GT(from_first, 100);
    EXPECT_GT(to_last, 100);
    EXPECT_GT(inside, 100);
}

// A panel big enough for windows of hundreds of columns over hundreds of rows: groups split into
// many parts, the partition is carried across long chains of windows, and the core row moves.
TEST(FastSearch, LongSharedSegmentsGiveTheReferenceRegionSequence) {
    std::mt19937_64 random(24);
    // Rows copy one of 12 founders (founder k about twice as common as founder k + 1) for stretches
    // of 20 to 400 SNPs, with one allele in 300 flipped.
    allele_rows founders = random_table(random, 12, 900, table_style::noisy_bits);
    allele_rows cells(160, std::vector<int32_t>(900));
    const auto pick_founder = [&] { return std::min<int32_t>(11, std::countr_zero(random() | (uint64_t{1} << 11))); };
    for (auto& row : cells) {
        int32_t founder = pick_founder(), left = 0;
        for (size_t s = 0; s < row.size(); ++s) {
            if (left-- <= 0) {
                founder = pick_founder();
                left = 20 + static_cast<int32_t>(random() % 380);
            }
            row[s] = founders[static_cast<size_t>(founder)][s] ^ (random() % 300 == 0 ? 1 : 0);
        }
    }
    const genotype_matrix matrix = to_matrix(cells);
    const fast_genotype_matrix table = to_allele_table(cells);
    window_counter counter;
    prepare_window_counter(table, counter);
    for (const float frequency : {0.05f, 0.3f, 0.6f}) {
        int32_t regions = 0;
        for (int32_t focal = 0; is_focal_snp(focal, 900);) {
            const region reference = grow_region(matrix, focal, frequency);
            const region fast = fast_grow_region(table, focal, frequency, counter);
            ASSERT_EQ(fast.start, reference.start) << frequency << " focal " << focal;
            ASSERT_EQ(fast.end, reference.end) << frequency << " focal " << focal;
            ++regions;
            focal = next_focal_snp(reference);
        }
        EXPECT_GT(regions, 1) << frequency;
    }
}

}  // namespace
}  // namespace corvane::testing
