// Outputs that cannot be created or written, and outputs that name an input file.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "../test_support.hpp"
#include "bad_case.hpp"

namespace corvane::testing {
namespace {

class output_path : public ::testing::Test {
protected:
    static constexpr int32_t snps = 30;
    scratch_dir dir;
    const std::string genotypes = dir.file("g.txt"), legend = dir.file("l.txt");
    void SetUp() override {
        write_file(genotypes, panel_text(identical_rows(5, snps)));
        write_file(legend, legend_text(snps));
    }
    case_outcome run(const std::string& output) {
        bad_case to_run = scan_case(genotypes, legend, "0.5", output);
        to_run.inputs.push_back(output);
        return run_bad_case(to_run);
    }
};

TEST_F(output_path, missing_directory_is_reported_with_the_reason) {
    const std::string output = dir.file("no-such-dir/out.tsv");
    const case_outcome ran = run(output);
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, "corvane: cannot create output file " + output + ": No such file or directory\n");
}

TEST_F(output_path, directory_is_reported_with_the_reason) {
    const std::string output = dir.file("results");
    std::filesystem::create_directory(output);
    const case_outcome ran = run(output);
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, "corvane: cannot create output file " + output + ": Is a directory\n");
}

TEST_F(output_path, full_device_is_a_failed_write) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
    const case_outcome ran = run("/dev/full");
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, "corvane: /dev/full: cannot write: No space left on device\n");
}

TEST_F(output_path, an_input_is_never_overwritten) {
    const std::string symlink_to_genotypes = dir.file("link.tsv"), hard_link_to_legend = dir.file("hard.tsv");
    std::filesystem::create_symlink(genotypes, symlink_to_genotypes);
    std::filesystem::create_hard_link(legend, hard_link_to_legend);
    const struct {
        std::string output;
        std::string role_and_path;
    } refusals[] = {
        {genotypes, "genotype file " + genotypes},
        {legend, "legend file " + legend},
        {dir.path + "/./g.txt", "genotype file " + genotypes},
        {symlink_to_genotypes, "genotype file " + genotypes},
        {hard_link_to_legend, "legend file " + legend},
    };
    for (const auto& refusal : refusals) {
        const case_outcome ran = run(refusal.output);
        EXPECT_EQ(ran.status, 1) << refusal.output;
        EXPECT_EQ(ran.out, "");
        EXPECT_EQ(ran.err, "corvane: output file " + refusal.output + " is the " + refusal.role_and_path +
                               "; refusing to overwrite an input\n");
    }
}

}  // namespace
}  // namespace corvane::testing
