// Malformed legends: a missing, unreadable or short legend ends the run once, with rows found so far kept.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "../test_support.hpp"
#include "bad_case.hpp"

namespace corvane::testing {
namespace {

// Identical rows make one region over all 30 SNPs, so its rows are the legend's first and last.
class legend_input : public ::testing::Test {
protected:
    static constexpr int32_t snps = 30;
    scratch_dir dir;
    const std::string genotypes = dir.file("g.txt"), legend = dir.file("l.txt"), output = dir.file("out.tsv");
    void SetUp() override { write_file(genotypes, panel_text(identical_rows(5, snps))); }
    case_outcome run() { return run_bad_case(scan_case(genotypes, legend, "0.5", output)); }
};

TEST_F(legend_input, missing_legend_is_reported_on_standard_output) {
    const case_outcome ran = run();
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "Input legend file not found: " + legend + "\n");
    EXPECT_EQ(ran.err, "");
    EXPECT_EQ(ran.output, output_header);
}

TEST_F(legend_input, directory_as_legend_cannot_be_read) {
    std::filesystem::create_directory(legend);
    const case_outcome ran = run();
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, "corvane: " + legend + ": cannot read: Is a directory\n");
    EXPECT_EQ(ran.output, output_header);
}

TEST_F(legend_input, legend_shorter_than_the_table_names_both_counts) {
    const struct {
        std::string text;
        int rows;
    } shorts[] = {{legend_text(snps - 1), snps - 1}, {"chr\tid\tcM\tbp\n", 0}, {"", 0}};
    for (const auto& legend_case : shorts) {
        write_file(legend, legend_case.text);
        const case_outcome ran = run();
        EXPECT_EQ(ran.status, 1);
        EXPECT_EQ(ran.err, "corvane: " + legend + ": " + std::to_string(legend_case.rows) +
                               " SNP rows after the header, but the genotype table has 30 SNPs\n");
        EXPECT_EQ(ran.output, output_header);
    }
}

std::string with_short_row(std::string text, int32_t snp) {
    // Line snp + 2 of the legend loses its bp field.
    size_t line_start = 0;
    for (int32_t line = 0; line < snp + 1; ++line) line_start = text.find('\n', line_start) + 1;
    const size_t line_end = text.find('\n', line_start);
    const size_t last_tab = text.rfind('\t', line_end);
    return text.erase(last_tab, line_end - last_tab);
}

TEST_F(legend_input, short_row_fails_only_where_a_region_uses_it) {
    write_file(legend, with_short_row(legend_text(snps), 12));
    const case_outcome unused = run();
    EXPECT_EQ(unused.status, 0) << unused.err;
    EXPECT_EQ(unused.output, output_header + "21\t10000\t17250\t3.625\t7250\t30\n");

    for (const int32_t snp : {0, snps - 1}) {
        write_file(legend, with_short_row(legend_text(snps), snp));
        const case_outcome ran = run();
        EXPECT_EQ(ran.status, 1);
        EXPECT_EQ(ran.err, legend + ":" + std::to_string(snp + 2) +
                               ": expected at least 4 fields (chr, id, cM, bp), found 3\n");
        EXPECT_EQ(ran.output, output_header);
    }
}

TEST_F(legend_input, binary_garbage_fails_on_the_first_row_a_region_uses) {
    std::string garbage = "\x7f" "ELF\x02\x01\n";
    for (int32_t snp = 0; snp < snps; ++snp) garbage += std::string("\xff\xfe\x00\x01\x1b[0m\n", 9);
    write_file(legend, garbage);
    const case_outcome ran = run();
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, legend + ":2: expected at least 4 fields (chr, id, cM, bp), found 1\n");
    EXPECT_EQ(ran.output, output_header);
}

TEST_F(legend_input, missing_final_newline_still_counts_the_last_row) {
    std::string text = legend_text(snps);
    text.pop_back();
    write_file(legend, text);
    const case_outcome ran = run();
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.output, output_header + "21\t10000\t17250\t3.625\t7250\t30\n");
}

// A fault in the legend found at the second region keeps the first region's row.
TEST(legend_input_late_fault, rows_before_the_fault_stay_in_the_output) {
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
