// Wrong argument counts, orders and frequencies, and inputs that are missing or directories.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "../test_support.hpp"
#include "bad_case.hpp"

namespace corvane::testing {
namespace {

const std::string usage_line = "usage: corvane -hap GENOTYPES -legend LEGEND -freq FREQUENCY -out OUTPUT\n";

class command_line_input : public ::testing::Test {
protected:
    static constexpr int32_t snps = 30;
    scratch_dir dir;
    const std::string genotypes = dir.file("g.txt"), legend = dir.file("l.txt"), output = dir.file("out.tsv");
    void SetUp() override {
        write_file(genotypes, panel_text(identical_rows(5, snps)));
        write_file(legend, legend_text(snps));
    }
    // Runs in the scratch directory, so a refused run can be seen to create nothing there.
    case_outcome run(const std::vector<std::string>& arguments) {
        bad_case to_run = scan_case(genotypes, legend, "0.5", output);
        to_run.arguments = arguments;
        to_run.limits.directory = dir.path;
        return run_bad_case(to_run);
    }
};

TEST_F(command_line_input, wrong_argument_count_shows_usage_and_creates_nothing) {
    const std::vector<std::string> argument_lists[] = {
        {},
        {"-hap", genotypes, "-legend", legend, "-freq", "0.5", "-out"},
        {"-hap", genotypes, "-legend", legend, "-freq", "0.5", "-out", output, "extra"},
        {genotypes, legend, "0.5", output},
        // Help and version are answered only as the sole argument, spelled exactly.
        {"--help", genotypes},
        {"-hap", genotypes, "-legend", legend, "-freq", "0.5", "-out", output, "--version"},
        {"-help"},
        {"--version=1"},
    };
    const auto before = directory_names(dir.path);
    for (const auto& arguments : argument_lists) {
        const case_outcome ran = run(arguments);
        EXPECT_EQ(ran.status, 2);
        EXPECT_EQ(ran.out, "");
        EXPECT_NE(ran.err.find("argc ==9"), std::string::npos) << ran.err;
        EXPECT_NE(ran.err.find(usage_line), std::string::npos) << ran.err;
        EXPECT_EQ(directory_names(dir.path), before);
    }
}

TEST_F(command_line_input, sole_help_or_version_argument_is_answered_on_standard_output) {
    std::vector<std::string> tools = {CORVANE_EXE};
#ifdef CORVANE_REFERENCE_EXE
    tools.push_back(CORVANE_REFERENCE_EXE);
#endif
    const auto before = directory_names(dir.path);
    for (const std::string& tool : tools) {
        const std::string name = tool.substr(tool.rfind('/') + 1);
        for (const char* request : {"--help", "-h"}) {
            const tool_outcome help = run_tool(tool, {request}, {.directory = dir.path});
            EXPECT_EQ(help.status, 0) << name;
            EXPECT_TRUE(help.out.starts_with("usage: " + name + " -hap GENOTYPES")) << help.out;
            EXPECT_NE(help.out.find("exceeds 0.98"), std::string::npos) << help.out;
            EXPECT_EQ(help.err, "");
        }
        const tool_outcome version = run_tool(tool, {"--version"});
        EXPECT_EQ(version.status, 0);
        EXPECT_TRUE(version.out.starts_with(name + " " CORVANE_VERSION)) << version.out;
        EXPECT_EQ(version.out.back(), '\n');
        // Help that cannot be written is a failed run.
        EXPECT_EQ(std::system((tool + " --help > /dev/full 2>/dev/null").c_str()), 1 << 8) << name;
    }
    EXPECT_EQ(directory_names(dir.path), before);
}

TEST_F(command_line_input, bad_frequency_is_refused_before_anything_is_created) {
    // 1e-50 and 0.9999999999 are inside (0, 1) as doubles but become 0 and 1 in single precision.
    for (const char* frequency : {"0", "1", "-0.25", "1.5", "nan", "inf", "-inf", "text", "", "1e-50",
                                  "0.9999999999", "0x1p+0"}) {
        const case_outcome ran = run(scan_arguments(genotypes, legend, frequency, output));
        EXPECT_EQ(ran.status, 2) << frequency;
        EXPECT_EQ(ran.out, "");
        EXPECT_EQ(ran.err, "corvane: frequency must be a number above 0 and below 1, got \"" + std::string(frequency) + "\"\n");
        EXPECT_FALSE(ran.output_exists) << frequency;
    }
}

TEST_F(command_line_input, legend_given_as_genotypes_fails_on_its_header) {
    const case_outcome ran = run(scan_arguments(legend, genotypes, "0.5", output));
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, legend + ":1: allele 1 is not an integer: \"chr\"\n");
    EXPECT_EQ(ran.output, output_header);
}

TEST_F(command_line_input, genotypes_given_as_legend_are_too_short_a_legend) {
    // Five haplotype lines read as a header and four rows, for 30 SNPs.
    const case_outcome ran = run(scan_arguments(genotypes, genotypes, "0.5", output));
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, "corvane: " + genotypes + ": 4 SNP rows after the header, but the genotype table has 30 SNPs\n");
    EXPECT_EQ(ran.output, output_header);
}

TEST_F(command_line_input, options_are_read_by_position_not_by_label) {
    // -freq's slot holds the legend path here, so the frequency check refuses the run.
    const case_outcome ran = run({"-out", output, "-hap", genotypes, "-legend", legend, "-freq", "0.5"});
    EXPECT_EQ(ran.status, 2);
    EXPECT_EQ(ran.err, "corvane: frequency must be a number above 0 and below 1, got \"" + legend + "\"\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("0.5")));
}

TEST_F(command_line_input, missing_genotype_file_is_reported_on_standard_output) {
    const std::string missing = dir.file("no-such.hap");
    const case_outcome ran = run(scan_arguments(missing, legend, "0.5", output));
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "Input genotype file not found " + missing + "\n");
    EXPECT_EQ(ran.err, "");
    EXPECT_EQ(ran.output, output_header);
}

TEST_F(command_line_input, directory_as_genotypes_cannot_be_read) {
    const std::string directory = dir.file("panel.d");
    std::filesystem::create_directory(directory);
    const case_outcome ran = run(scan_arguments(directory, legend, "0.5", output));
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, "corvane: " + directory + ": cannot read: Is a directory\n");
    EXPECT_EQ(ran.output, output_header);
}

TEST_F(command_line_input, directory_or_missing_file_as_frequency_is_a_bad_frequency) {
    for (const std::string& frequency : {dir.path, dir.file("missing")}) {
        const case_outcome ran = run(scan_arguments(genotypes, legend, frequency, output));
        EXPECT_EQ(ran.status, 2);
        EXPECT_EQ(ran.err, "corvane: frequency must be a number above 0 and below 1, got \"" + frequency + "\"\n");
        EXPECT_FALSE(ran.output_exists);
    }
}

}  // namespace
}  // namespace corvane::testing
