// Windows line ends in either input: the scan is the one of LF files, for both tools.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "support/bad_case.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {
namespace {

// Windows line ends are a format users have, not a fault: the scan is the same as with LF.
TEST(LineEnds, CrlfFilesGiveTheOutputOfLfFiles) {
    scratch_dir dir;
    const allele_rows rows = shared_stretch_panel();
    const int32_t snps = static_cast<int32_t>(rows[0].size());
    const std::string legend_lf = dir.file("l.txt"), legend_crlf = dir.file("l-crlf.txt");
    write_file(legend_lf, legend_text(snps));
    write_file(legend_crlf, legend_text(snps, "\r\n"));
    const struct {
        const char* name;
        std::string genotype_text;
        const std::string& legend;
    } variants[] = {
        {"lf", panel_text(rows), legend_lf},
        {"crlf-genotypes", panel_text(rows, " ", "\r\n"), legend_lf},
        {"crlf-both", panel_text(rows, "\t", "\r\n"), legend_crlf},
        {"crlf-legend", panel_text(rows), legend_crlf},
    };
    std::string expected;
    for (const auto& variant : variants) {
        const std::string genotypes = dir.file(std::string(variant.name) + ".hap");
        const std::string output = dir.file(std::string(variant.name) + ".tsv");
        write_file(genotypes, variant.genotype_text);
        const case_outcome ran =
            run_bad_case(scan_case(genotypes, variant.legend, "0.5", output));
        EXPECT_EQ(ran.status, 0) << variant.name << ": " << ran.err;
        EXPECT_EQ(ran.err, "") << variant.name;
        if (expected.empty()) {
            expected = ran.output;
            EXPECT_GT(std::count(expected.begin(), expected.end(), '\n'), 2) << "the panel should give regions";
        }
        EXPECT_EQ(ran.output, expected) << variant.name;
    }
}

}  // namespace
}  // namespace corvane::testing
