// The window carrier count: the tie rule, the mismatch allowance, and allele values beyond a byte.
#include <gtest/gtest.h>

#include <climits>

#include "search/window_count.hpp"
#include "support/fixtures.hpp"

namespace corvane {
namespace {

genotype_matrix table(const testing::allele_rows& rows) { return testing::to_matrix(rows); }

std::vector<int32_t> filled(int32_t width, int32_t value) { return std::vector<int32_t>(static_cast<size_t>(width), value); }

TEST(WindowCount, TiesGoToTheSmallestString) {
    const genotype_matrix tied = table({{1, 1, 1}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}});
    EXPECT_EQ(count_similar_haplotypes(tied, {0, 2}), 2);

    const std::vector<std::string> words{"b", "a", "b", "a", "c"};
    EXPECT_EQ(most_frequent_element(words.begin(), words.end()), (std::pair<std::string, int32_t>{"a", 2}));
    // Bytes compare unsigned: 0x01 sorts before 0xff.
    const std::vector<std::string> bytes{"\xff", "\x01"};
    EXPECT_EQ(most_frequent_element(bytes.begin(), bytes.end()).first, "\x01");
}

TEST(WindowCount, OneMismatchNeedsMoreThanFiftySites) {
    for (const int32_t width : {50, 51, 100, 101}) {
        std::vector<int32_t> one_off = filled(width, 0);
        one_off[7] = 1;
        std::vector<int32_t> two_off = one_off;
        two_off[9] = 1;
        const genotype_matrix matrix = table({filled(width, 0), filled(width, 0), one_off, two_off});
        const int32_t expected = 2 + (width > 50 ? 1 : 0) + (width > 100 ? 1 : 0);
        EXPECT_EQ(count_similar_haplotypes(matrix, {0, width - 1}), expected) << "width " << width;
    }
}

TEST(WindowCount, AllelesBeyondOneByte) {
    // 0 and 256 share a window byte, so all rows group together, but they still differ by 256^2.
    std::vector<int32_t> shifted = filled(60, 0);
    shifted[3] = 256;
    std::vector<int32_t> near = filled(60, 0);
    near[3] = 1;
    EXPECT_EQ(count_similar_haplotypes(table({filled(60, 0), filled(60, 0), shifted}), {0, 59}), 2);
    EXPECT_EQ(count_similar_haplotypes(table({filled(60, 0), near, shifted}), {0, 59}), 2);

    // The widest possible difference squares without overflow.
    const genotype_matrix extremes = table({filled(4, INT_MAX), filled(4, INT_MIN), filled(4, INT_MAX)});
    EXPECT_EQ(count_similar_haplotypes(extremes, {0, 3}), 2);
    EXPECT_EQ(count_similar_haplotypes(table({{-1, -1}, {255, 255}, {5, 5}}), {0, 1}), 1);
}

TEST(WindowCount, AllRowsDistinct) {
    // Every string occurs once: the smallest (row 2, all zeros) is the core row; row 3 is one
    // mismatch away from it over 60 sites and so counts too.
    std::vector<int32_t> ones = filled(60, 1), zeros = filled(60, 0), mixed = filled(60, 1), one_off = filled(60, 0);
    for (size_t k = 0; k < 60; k += 2) mixed[k] = 0;
    one_off[59] = 1;
    EXPECT_EQ(count_similar_haplotypes(table({ones, mixed, zeros, one_off}), {0, 59}), 2);
}

}  // namespace
}  // namespace corvane
