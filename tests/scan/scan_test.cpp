// Whole runs: the documented five-region example byte for byte, tiny tables, the chr21 example, and
// compressed inputs, which give the same rows whatever their names say.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "common/field_split.hpp"
#include "support/fixtures.hpp"
#include "support/test_support.hpp"

namespace corvane {
namespace {

using testing::read_file;
using testing::read_gzip_file;
using testing::run_scan_tool;
using testing::scratch_dir;
using testing::write_file;

const std::string& header = testing::result_header;

TEST(Scan, FiveRegionExample) {
    scratch_dir dir;
    write_file(dir.file("g"), testing::panel_text(testing::five_region_example(), "\t"));
    write_file(dir.file("l"), testing::legend_text(40));
    const auto result = run_scan_tool(CORVANE_EXE, dir.file("g"), dir.file("l"), "0.5", dir.file("out"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(read_file(dir.file("out")), header +
                                              "21\t10000\t16000\t3\t6000\t25\n"
                                              "21\t16500\t16750\t0.125\t250\t2\n"
                                              "21\t17250\t17500\t0.125\t250\t2\n"
                                              "21\t18000\t18250\t0.125\t250\t2\n"
                                              "21\t18250\t19750\t0.75\t1500\t7\n");
}

TEST(Scan, TinyTables) {
    scratch_dir dir;
    // One SNP: no focal SNP, the legend is never opened.
    write_file(dir.file("one"), "0\n1\n1\n");
    auto result = run_scan_tool(CORVANE_EXE, dir.file("one"), dir.file("no-legend"), "0.5", dir.file("out"));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(read_file(dir.file("out")), header);

    // Two SNPs, failing or passing: one region 0..1. The legend lacks its final newline.
    write_file(dir.file("l2"), "chr\tid\tcM\tbp\nX\ta\t1\t5\nX\tb\t1.5\t9");
    for (const std::string table : {"0\t1\n1\t0\n0\t0\n1\t1\n", "0\t1\n0\t1\n0\t1\n1\t1\n"}) {
        write_file(dir.file("two"), table);
        result = run_scan_tool(CORVANE_EXE, dir.file("two"), dir.file("l2"), "0.5", dir.file("out"));
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(read_file(dir.file("out")), header + "X\t5\t9\t0.5\t4\t2\n");
    }
}

TEST(Scan, Chr21ExampleIsConsistentWithItsLegend) {
    const std::string legend_path = CORVANE_EXAMPLES "/chr21.legend.gz";
    std::vector<field_list> legend_rows;
    {
        std::istringstream legend(read_gzip_file(legend_path));
        std::string line;
        std::getline(legend, line);
        while (std::getline(legend, line)) {
            legend_rows.emplace_back();
            split_line(legend_rows.back(), line);
        }
    }
    ASSERT_EQ(legend_rows.size(), 1813u);

    for (const std::string frequency : {"0.05", "0.2", "0.5"}) {
        scratch_dir dir;
        const auto result =
            run_scan_tool(CORVANE_EXE, CORVANE_EXAMPLES "/chr21.hap.gz", legend_path, frequency, dir.file("out"));
        ASSERT_EQ(result.status, 0) << result.err;
        std::istringstream output(read_file(dir.file("out")));
        std::string line;
        std::getline(output, line);
        EXPECT_EQ(line + "\n", header);
        size_t rows = 0;
        long previous_end_index = -1;
        while (std::getline(output, line)) {
            field_list fields;
            split_line(fields, line);
            ASSERT_EQ(fields.size(), 6u) << line;
            // Map the positions back to SNP indices: the legend's bp are increasing.
            long start_index = -1, end_index = -1;
            for (size_t k = 0; k < legend_rows.size(); ++k) {
                if (legend_rows[k][3] == fields[1] && start_index < 0) start_index = static_cast<long>(k);
                if (legend_rows[k][3] == fields[2]) end_index = static_cast<long>(k);
            }
            ASSERT_GE(start_index, 0) << line;
            ASSERT_GT(end_index, start_index) << line;
            EXPECT_EQ(fields[0], legend_rows[end_index][0]);
            EXPECT_EQ(std::stol(fields[5]), end_index - start_index + 1) << line;
            EXPECT_EQ(std::stol(fields[4]), std::stol(fields[2]) - std::stol(fields[1]));
            EXPECT_NEAR(std::stod(fields[3]),
                        std::stod(legend_rows[end_index][2]) - std::stod(legend_rows[start_index][2]), 1e-4);
            // Focal SNPs move right: each region ends past the previous end, and its focal SNP
            // (two past the previous end) lies inside it.
            EXPECT_GT(end_index, previous_end_index + 1) << line;
            if (previous_end_index >= 0) {
                EXPECT_LE(start_index, previous_end_index + 2) << line;
            }
            previous_end_index = end_index;
            ++rows;
        }
        EXPECT_GT(rows, 10u) << frequency;
        // The scan stops once no focal SNP is left before the last SNP.
        EXPECT_GE(previous_end_index, 1813 - 3) << frequency;
    }
}

// Plain, gzip and BGZF files give the same result, whatever their names say.
TEST(CompressedInput, SameRowsWhateverTheCompression) {
    scratch_dir dir;
    const std::string genotypes = read_gzip_file(CORVANE_EXAMPLES "/chr21.hap.gz");
    const std::string legend = read_gzip_file(CORVANE_EXAMPLES "/chr21.legend.gz");
    // Names say nothing about the content: the plain files get a .gz name and the other way round.
    write_file(dir.file("hap.gz"), genotypes);
    write_file(dir.file("legend.gz"), legend);
    write_file(dir.file("hap.txt"), genotypes);
    write_file(dir.file("legend.txt"), legend);
    const std::string bgzip = "bgzip -c " + dir.file("hap.txt") + " > " + dir.file("hap.bgz") + " && bgzip -c " +
                              dir.file("legend.txt") + " > " + dir.file("legend.bgz");
    ASSERT_EQ(std::system(bgzip.c_str()), 0);

    const auto plain = run_scan_tool(CORVANE_EXE, dir.file("hap.gz"), dir.file("legend.gz"), "0.2", dir.file("plain"));
    ASSERT_EQ(plain.status, 0) << plain.err;
    const std::string expected = read_file(dir.file("plain"));
    const struct {
        std::string genotypes, legend;
    } variants[] = {
        {CORVANE_EXAMPLES "/chr21.hap.gz", CORVANE_EXAMPLES "/chr21.legend.gz"},
        {dir.file("hap.bgz"), dir.file("legend.bgz")},
        {dir.file("hap.bgz"), dir.file("legend.txt")},
        {CORVANE_EXAMPLES "/chr21.hap.gz", dir.file("legend.bgz")},
    };
    for (const auto& v : variants) {
        const auto result = run_scan_tool(CORVANE_EXE, v.genotypes, v.legend, "0.2", dir.file("out"));
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(read_file(dir.file("out")), expected) << v.genotypes << " " << v.legend;
    }
}

}  // namespace
}  // namespace corvane
