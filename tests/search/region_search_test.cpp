// The region search: every window it tries, its stop rules at both table edges.
#include <gtest/gtest.h>

#include "search/region.hpp"
#include "search/region_growth.hpp"
#include "search/window_count.hpp"
#include "support/fixtures.hpp"

namespace corvane {
namespace {

genotype_matrix example_table() { return testing::to_matrix(testing::five_region_example()); }

// Four rows that differ pairwise at every pair of neighbouring SNPs: every window fails.
genotype_matrix distinct_table(int32_t snp_count) {
    genotype_matrix matrix;
    matrix.haplotype_count = 4;
    matrix.snp_count = snp_count;
    for (int32_t r = 0; r < 4; ++r) {
        for (int32_t c = 0; c < snp_count; ++c) {
            const int32_t values[4] = {0, 1, c % 2, 1 - c % 2};
            matrix.cells.push_back(values[r]);
        }
    }
    return matrix;
}

genotype_matrix identical_table(int32_t rows, int32_t snp_count) {
    genotype_matrix matrix;
    matrix.haplotype_count = rows;
    matrix.snp_count = snp_count;
    matrix.cells.assign(static_cast<size_t>(rows) * static_cast<size_t>(snp_count), 1);
    return matrix;
}

struct tried_window {
    int32_t lo, hi, count;
    bool operator==(const tried_window&) const = default;
};

std::ostream& operator<<(std::ostream& out, const tried_window& w) {
    return out << w.lo << ".." << w.hi << ":" << w.count;
}

struct search_trace {
    region found;
    std::vector<tried_window> windows;
};

search_trace trace_search(const genotype_matrix& matrix, int32_t focal, float frequency) {
    search_trace trace;
    const auto recording_count = [&](snp_window window) {
        const int32_t count = count_similar_haplotypes(matrix, window);
        trace.windows.push_back({window.lo, window.hi, count});
        return count;
    };
    trace.found = grow_region_by(recording_count, matrix.snp_count, matrix.haplotype_count,
                                 carrier_threshold(matrix.haplotype_count, frequency), focal);
    const region grown = grow_region(matrix, focal, frequency);
    EXPECT_EQ(grown.start, trace.found.start);
    EXPECT_EQ(grown.end, trace.found.end);
    return trace;
}

TEST(RegionSearch, ExampleFromTheLeftEdge) {
    const search_trace trace = trace_search(example_table(), 0, 0.5f);
    const std::vector<tried_window> expected{
        {0, 10, 6}, {0, 20, 6}, {0, 30, 5},                            // A: fails at half-width 30, w = 20
        {0, 30, 5},                                                    // B: fails, right extent 20
        {0, 20, 6},                                                    // C: passes at the edge, left 30
        {0, 21, 6}, {0, 22, 6}, {0, 23, 6}, {0, 24, 6}, {0, 25, 5},    // D: right extent 24
        {0, 24, 6},                                                    // E: passes at the edge
    };
    EXPECT_EQ(trace.windows, expected);
    EXPECT_EQ(trace.found.start, 0);
    EXPECT_EQ(trace.found.end, 24);
}

TEST(RegionSearch, ExampleNearTheRightEdge) {
    const search_trace trace = trace_search(example_table(), 35, 0.5f);
    const std::vector<tried_window> expected{
        {25, 39, 5},                            // A: first window fails, w = 0
        {35, 39, 6},                            // B: passes at the edge, right extent 10
        {25, 39, 5},                            // C: fails, left extent 0
        {35, 39, 6},                            // D: passes at the edge, right extent 11
        {34, 39, 6}, {33, 39, 6}, {32, 39, 5},  // E: left extent 2
    };
    EXPECT_EQ(trace.windows, expected);
    EXPECT_EQ(trace.found.start, 33);
    EXPECT_EQ(trace.found.end, 39);

    // Focal SNP S - 2: phase B's first window already reaches the last SNP.
    const search_trace last = trace_search(example_table(), 38, 0.5f);
    EXPECT_EQ(last.windows.at(1), (tried_window{38, 39, 6}));
    EXPECT_EQ(last.found.start, 33);
    EXPECT_EQ(last.found.end, 39);
}

TEST(RegionSearch, ThresholdIsFloorOfHaplotypesTimesFrequency) {
    EXPECT_EQ(carrier_threshold(10, 0.5f), 5.0f);
    EXPECT_EQ(carrier_threshold(10, 0.55f), 5.0f);
    EXPECT_EQ(carrier_threshold(10, 0.05f), 0.0f);
    EXPECT_EQ(carrier_threshold(758, 0.2f), 151.0f);
}

TEST(RegionSearch, EveryWindowPassingCoversTheTable) {
    // Phase A stops at the first passing window that spans all SNPs; the region is the whole table.
    const genotype_matrix same = identical_table(4, 5);
    const search_trace trace = trace_search(same, 0, 0.5f);
    EXPECT_EQ(trace.windows, std::vector<tried_window>(5, tried_window{0, 4, 4}));
    EXPECT_EQ(trace.found.start, 0);
    EXPECT_EQ(trace.found.end, 4);

    for (const int32_t snp_count : {2, 3, 21, 25, 64}) {
        for (int32_t focal = 0; focal <= snp_count - 2; ++focal) {
            const search_trace t = trace_search(identical_table(3, snp_count), focal, 0.05f);
            EXPECT_EQ(t.found.start, 0);
            EXPECT_EQ(t.found.end, snp_count - 1);
        }
    }
}

TEST(RegionSearch, FailingWindowsLeaveTwoSnps) {
    // Focal 0: phase C's window would be 0..0, so it stops without counting; the region is 0..1.
    const search_trace first = trace_search(distinct_table(12), 0, 0.5f);
    EXPECT_EQ(first.windows, (std::vector<tried_window>{{0, 10, 1}, {0, 10, 1}, {0, 1, 1}}));
    EXPECT_EQ(first.found.start, 0);
    EXPECT_EQ(first.found.end, 1);

    // Focal S - 2: the end is raised to focal + 1.
    const search_trace last = trace_search(distinct_table(12), 10, 0.5f);
    EXPECT_EQ(last.windows,
              (std::vector<tried_window>{{0, 11, 1}, {10, 11, 1}, {0, 10, 1}, {10, 11, 1}, {9, 10, 1}}));
    EXPECT_EQ(last.found.start, 10);
    EXPECT_EQ(last.found.end, 11);
}

}  // namespace
}  // namespace corvane
