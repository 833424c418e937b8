// A legend fault found after the first region: the rows found before it stay in the output.
#include <string>

#include <gtest/gtest.h>

#include "support/bad_case.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {
namespace {

// A fault in the legend found at the second region keeps the first region's row.
TEST(LateLegendFault, RowsBeforeTheFaultStayInTheOutput) {
    scratch_dir dir;
    const std::string genotypes = dir.file("g.txt"), legend = dir.file("l.txt"), output = dir.file("out.tsv");
    const allele_rows rows = shared_stretch_panel();
    const int32_t snps = static_cast<int32_t>(rows[0].size());
    write_file(genotypes, panel_text(rows));
    write_file(legend, legend_text(snps));
    const case_outcome good = run_bad_case(scan_case(genotypes, legend, "0.5", output));
    ASSERT_EQ(good.status, 0) << good.err;
    // The second region's end SNP, from its bp column (bp = 10000 + 250 x SNP).
    const size_t first_row = good.output.find('\n') + 1, second_row = good.output.find('\n', first_row) + 1;
    ASSERT_NE(good.output.find('\n', second_row), std::string::npos) << "the panel should give two regions";
    const std::string second = good.output.substr(second_row);
    const size_t end_field = second.find('\t', second.find('\t') + 1) + 1;
    const int32_t end_snp = (std::stoi(second.substr(end_field)) - 10000) / 250;

    write_file(legend, with_short_row(legend_text(snps), end_snp));
    const case_outcome ran = run_bad_case(scan_case(genotypes, legend, "0.5", output));
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, legend + ":" + std::to_string(end_snp + 2) +
                           ": expected at least 4 fields (chr, id, cM, bp), found 3\n");
    EXPECT_EQ(ran.output, good.output.substr(0, second_row));
}

}  // namespace
}  // namespace corvane::testing
