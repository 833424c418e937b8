// The fast path's table: bits, rare cells beside them, and the integer cells it widens to.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "input/fast_genotype_matrix.hpp"
#include "support/random_tables.hpp"

namespace corvane::testing {
namespace {

// A few cells of another code stay beside the bits; rows full of one make the table integers.
TEST(FastGenotypeMatrix, KeepsEveryValueWhileItWidens) {
    std::mt19937_64 random(11);
    allele_rows rows = random_table(random, 70, 130, table_style::noisy_bits);
    fast_genotype_matrix table = to_allele_table(rows);
    EXPECT_EQ(table.kind, cell_kind::bits);
    const struct {
        int32_t value;
        bool whole_rows;
        int32_t row_count;
        cell_kind kind;
    } steps[] = {{9, false, 1, cell_kind::bits},
                 {-3, true, 4, cell_kind::int8},
                 {300, false, 1, cell_kind::int16},
                 {-70000, false, 1, cell_kind::int32}};
    for (const auto& step : steps) {
        for (int32_t i = 0; i < step.row_count; ++i) {
            std::vector<int32_t> row(130, 1);
            if (step.whole_rows) row.assign(130, step.value);
            row[129] = step.value;
            rows.push_back(row);
            append_haplotype(table, row.data());
        }
        EXPECT_EQ(table.kind, step.kind) << step.value;
        EXPECT_EQ(table.has_rare_cells(), step.kind == cell_kind::bits) << step.value;
    }
    ASSERT_EQ(table.haplotype_count, 77);
    for (int32_t r = 0; r < 77; ++r) {
        for (int32_t c = 0; c < 130; ++c) ASSERT_EQ(table.at(r, c), rows[r][c]) << r << "," << c;
    }
}

}  // namespace
}  // namespace corvane::testing
