// The region search ends on tables where every window passes, so each phase stops only at an edge.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input/fast_genotype_loading.hpp"
#include "input/genotype_matrix.hpp"
#include "search/fast_region.hpp"
#include "search/fast_window_count.hpp"
#include "search/region.hpp"
#include "support/fixtures.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {
namespace {

// Phase A needs at most S/10 + 2 windows, B and C as many, D and E at most S + 1 each.
int64_t window_budget(int32_t snps) { return 3 * (snps / coarse_step + 2) + 2 * (snps + 1); }

// Searches every focal SNP of a table of `snps` where every window has `carriers` carriers; past the
// budget the count turns to 0 so that a search that would loop ends (and the test fails) instead.
void search_every_focal(int32_t snps, int32_t haplotypes, float threshold, int32_t carriers) {
    for (int32_t focal = 0; focal + 1 < snps; ++focal) {
        int64_t calls = 0;
        bool windows_valid = true;
        const auto count = [&](snp_window window) {
            ++calls;
            windows_valid = windows_valid && 0 <= window.lo && window.lo < window.hi && window.hi < snps;
            return calls > window_budget(snps) ? 0 : carriers;
        };
        const region found = grow_region_by(count, snps, haplotypes, threshold, focal);
        const std::string where = "S=" + std::to_string(snps) + " threshold=" + std::to_string(threshold) +
                                  " focal=" + std::to_string(focal);
        EXPECT_LE(calls, window_budget(snps)) << where;
        EXPECT_TRUE(windows_valid) << where;
        EXPECT_EQ(found.start, 0) << where;
        EXPECT_EQ(found.end, snps - 1) << where;
    }
}

TEST(SearchTermination, EveryWindowPassingStopsAtTheTableEdges) {
    for (int32_t snps = 1; snps <= 25; ++snps) {
        for (const int32_t haplotypes : {1, 2, 7}) {
            search_every_focal(snps, haplotypes, 0.0f, haplotypes);
            search_every_focal(snps, haplotypes, static_cast<float>(haplotypes - 1), haplotypes);
        }
    }
}

TEST(SearchTermination, ReferenceSearchOverIdenticalRowsSpansTheTable) {
    for (int32_t snps = 2; snps <= 25; ++snps) {
        const genotype_matrix matrix = to_matrix(identical_rows(4, snps));
        // 0.1 and 0.875 give thresholds 0 and H - 1 for four haplotypes.
        for (const float frequency : {0.1f, 0.875f}) {
            for (int32_t focal = 0; focal + 1 < snps; ++focal) {
                const region found = grow_region(matrix, focal, frequency);
                EXPECT_EQ(found.start, 0);
                EXPECT_EQ(found.end, snps - 1);
            }
        }
    }
}

// The fast table in each of its representations: bits, bytes and 32-bit cells.
TEST(SearchTermination, FastSearchOverIdenticalRowsSpansTheTable) {
    scratch_dir dir;
    for (const int32_t allele_scale : {1, 2, 100000}) {
        for (int32_t snps = 2; snps <= 25; ++snps) {
            allele_rows rows = identical_rows(4, snps);
            for (auto& row : rows) {
                for (auto& allele : row) allele *= allele_scale;
            }
            write_file(dir.file("g.txt"), panel_text(rows));
            fast_genotype_matrix table;
            ASSERT_EQ(load_fast_genotype_matrix(dir.file("g.txt"), table), run_status::run_ok);
            window_counter counter;
            prepare_window_counter(table, counter);
            for (const float frequency : {0.1f, 0.875f}) {
                const float threshold = carrier_threshold(4, frequency);
                for (int32_t focal = 0; focal + 1 < snps; ++focal) {
                    const std::string where = "scale " + std::to_string(allele_scale) + " S=" + std::to_string(snps) +
                                              " focal=" + std::to_string(focal);
                    int64_t calls = 0;
                    const auto count = [&](snp_window window) {
                        ++calls;
                        return calls > window_budget(snps) ? 0 : fast_count_carriers(table, window, counter);
                    };
                    const region counted = grow_region_by(count, snps, 4, threshold, focal);
                    EXPECT_LE(calls, window_budget(snps)) << where;
                    EXPECT_EQ(counted.start, 0) << where;
                    EXPECT_EQ(counted.end, snps - 1) << where;
                    const region found = fast_grow_region(table, focal, frequency, counter);
                    EXPECT_EQ(found.start, 0) << where;
                    EXPECT_EQ(found.end, snps - 1) << where;
                }
            }
        }
    }
}

}  // namespace
}  // namespace corvane::testing
