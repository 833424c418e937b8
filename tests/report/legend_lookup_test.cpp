// The legend lookup and the row layout: a region's values and their number formatting. Every legend
// fault is a row of the scan's bad-input case table (scan/scan_bad_input_test.cpp).
#include <gtest/gtest.h>

#include "report/legend_lookup.hpp"
#include "report/output_file.hpp"
#include "support/test_support.hpp"

namespace corvane {
namespace {

using testing::read_file;
using testing::scratch_dir;
using testing::write_file;

// A legend of `rows` SNPs; SNP 3 and SNP 12 carry the positions of the documented example.
std::string example_legend_text(int rows) {
    std::string text = "chr\tid\tcM\tbp\n";
    for (int k = 0; k < rows; ++k) {
        const std::string chr = k == 12 ? "chr21b" : "chr21";
        const std::string cm = k == 3 ? "0.5" : k == 12 ? "0.75" : "9";
        const std::string bp = k == 3 ? "100" : k == 12 ? "250" : "7";
        text += chr + "\tsnp" + std::to_string(k) + "\t" + cm + "\t" + bp + "\n";
    }
    return text;
}

struct lookup_result {
    run_status status;
    region_row row;
    std::string out, err;
};

lookup_result lookup(const std::string& path, region found, int32_t snp_count) {
    lookup_result result;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    result.status = lookup_legend_span(path, found, snp_count, result.row, true);
    result.out = ::testing::internal::GetCapturedStdout();
    result.err = ::testing::internal::GetCapturedStderr();
    return result;
}

std::string formatted(const region_row& row) {
    scratch_dir dir;
    output_file output;
    EXPECT_EQ(create_output(output, dir.file("out")), run_status::run_ok);
    EXPECT_EQ(write_region_row(output, row), run_status::run_ok);
    EXPECT_EQ(close_output(output), run_status::run_ok);
    return read_file(dir.file("out"));
}

TEST(LegendLookup, RowOfARegion) {
    scratch_dir dir;
    write_file(dir.file("legend"), example_legend_text(20));
    const lookup_result result = lookup(dir.file("legend"), {3, 12}, 20);
    ASSERT_EQ(result.status, run_status::run_ok);
    EXPECT_EQ(formatted(result.row), "chr21b\t100\t250\t0.25\t150\t10\n");

    // The first row after the header is SNP 0; the last row counts without its newline.
    std::string unterminated = "h\n1\ta\t1.5\t10\n2\tb\t2\t20\n3\tc\t4\t35";
    write_file(dir.file("short-end"), unterminated);
    const lookup_result edges = lookup(dir.file("short-end"), {0, 2}, 3);
    ASSERT_EQ(edges.status, run_status::run_ok);
    EXPECT_EQ(formatted(edges.row), "3\t10\t35\t2.5\t25\t3\n");

    // CR LF legends read the same; text where a number belongs reads as 0.
    write_file(dir.file("crlf"), "h\r\n1\ta\tx\t10\r\n1\tb\t2\tnone\r\n");
    const lookup_result crlf = lookup(dir.file("crlf"), {0, 1}, 2);
    ASSERT_EQ(crlf.status, run_status::run_ok);
    EXPECT_EQ(formatted(crlf.row), "1\t10\t0\t2\t-10\t2\n");

    // Blank-separated legends are split at single blanks.
    write_file(dir.file("blanks"), "chr id cM bp\n7 a 0 5\n7 b 1e-05 6\n");
    EXPECT_EQ(formatted(lookup(dir.file("blanks"), {0, 1}, 2).row), "7\t5\t6\t1e-05\t1\t2\n");
}

TEST(LegendLookup, GeneticDistanceIsPrintedLikePercentG) {
    region_row row{"21", -5, 5, 0.0f, 10, 2};
    EXPECT_EQ(formatted(row), "21\t-5\t5\t0\t10\t2\n");
    row.genetic_dist = 0.000012f;
    EXPECT_EQ(formatted(row), "21\t-5\t5\t1.2e-05\t10\t2\n");
    row.genetic_dist = 2500000.0f;
    EXPECT_EQ(formatted(row), "21\t-5\t5\t2.5e+06\t10\t2\n");
    row.genetic_dist = 1.234567f;
    EXPECT_EQ(formatted(row), "21\t-5\t5\t1.23457\t10\t2\n");
}

}  // namespace
}  // namespace corvane
