// The executable's failure table: each stop with its stream, message, status and files left.
#include <gtest/gtest.h>

#include <unistd.h>

#include "run_setup.hpp"
#include "test_support.hpp"

namespace corvane {
namespace {

using testing::file_exists;
using testing::read_file;
using testing::run_corvane;
using testing::run_program;
using testing::scratch_dir;
using testing::write_file;

const std::string& header = testing::result_header;
const std::string genotypes = "0\t0\t1\n0\t0\t1\n1\t1\t0\n";
const std::string legend = "chr\tid\tcM\tbp\n1\ta\t0.1\t100\n1\tb\t0.2\t200\n1\tc\t0.3\t300\n";

struct inputs {
    scratch_dir dir;
    std::string genotype_path = dir.file("g.txt");
    std::string legend_path = dir.file("l.txt");
    std::string output_path = dir.file("out.tsv");
    inputs() {
        write_file(genotype_path, genotypes);
        write_file(legend_path, legend);
    }
    void expect_inputs_unchanged() const {
        EXPECT_EQ(read_file(genotype_path), genotypes);
        EXPECT_EQ(read_file(legend_path), legend);
    }
};

TEST(CommandLine, WrongArgumentCountStopsBeforeAnything) {
    inputs in;
    for (const size_t count : {0u, 7u, 9u}) {
        std::vector<std::string> args{"-hap", in.genotype_path, "-legend", in.legend_path, "-freq", "0.5",
                                      "-out", in.output_path, "extra"};
        args.resize(count);
        const auto result = run_program(CORVANE_EXE, args);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find("argc ==9"), std::string::npos);
        EXPECT_NE(result.err.find("usage: corvane -hap GENOTYPES -legend LEGEND -freq FREQUENCY -out OUTPUT"),
                  std::string::npos);
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(file_exists(in.output_path));
    }
    in.expect_inputs_unchanged();
}

TEST(CommandLine, LabelsAreNotRead) {
    inputs in;
    const auto result = run_program(CORVANE_EXE, {"a", in.genotype_path, "b", in.legend_path, "c", "0.5", "d",
                                                  in.output_path});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(read_file(in.output_path), header + "1\t100\t300\t0.2\t200\t3\n");
}

TEST(CommandLine, FrequencyOutsideTheOpenUnitIntervalIsRefused) {
    inputs in;
    for (const std::string frequency : {"0", "1", "-0.2", "1.5", "abc", "", "nan", "inf", "1e-50", "0.9999999999"}) {
        const auto result = run_corvane(CORVANE_EXE, in.genotype_path, in.legend_path, frequency, in.output_path);
        EXPECT_EQ(result.status, 2) << frequency;
        EXPECT_EQ(result.err, "corvane: frequency must be a number above 0 and below 1, got \"" + frequency + "\"\n");
        EXPECT_FALSE(file_exists(in.output_path)) << frequency;
    }
    // atof reads the longest numeric prefix, hexadecimal included.
    EXPECT_EQ(run_corvane(CORVANE_EXE, in.genotype_path, in.legend_path, " 0.5xyz", in.output_path).status, 0);
    EXPECT_EQ(run_corvane(CORVANE_EXE, in.genotype_path, in.legend_path, "0x0.8", in.output_path).status, 0);
}

TEST(CommandLine, ThresholdThatNoCountCanPassIsRefused) {
    // The command line refuses frequencies of 1 and more; the threshold check guards the search
    // against any frequency whose threshold would still reach H.
    scan_settings settings;
    settings.frequency = 1.0f;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(check_threshold(settings, 10), run_status::threshold_too_high);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("use a lower frequency"), std::string::npos);
    settings.frequency = 0.99999994f;  // the largest float below 1
    EXPECT_EQ(check_threshold(settings, 33554432), run_status::run_ok);

    // A threshold of 0 is allowed: every window passes and the region is the whole table.
    inputs in;
    const auto low = run_corvane(CORVANE_EXE, in.genotype_path, in.legend_path, "0.01", in.output_path);
    EXPECT_EQ(low.status, 0) << low.err;
    EXPECT_EQ(read_file(in.output_path), header + "1\t100\t300\t0.2\t200\t3\n");
}

TEST(CommandLine, OutputMustNotBeAnInput) {
    inputs in;
    const std::string link = in.dir.file("link"), hard = in.dir.file("hard");
    ASSERT_EQ(symlink(in.genotype_path.c_str(), link.c_str()), 0);
    ASSERT_EQ(::link(in.legend_path.c_str(), hard.c_str()), 0);
    for (const std::string& output : {in.genotype_path, in.legend_path, link, hard}) {
        const auto result = run_corvane(CORVANE_EXE, in.genotype_path, in.legend_path, "0.5", output);
        EXPECT_EQ(result.status, 1) << output;
        EXPECT_NE(result.err.find("refusing to overwrite an input"), std::string::npos) << output;
        in.expect_inputs_unchanged();
    }

    // An input that does not exist yet is not created by naming it as the output.
    const std::string absent = in.dir.file("absent-legend");
    const auto result = run_corvane(CORVANE_EXE, in.genotype_path, absent, "0.5", absent);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "corvane: output file " + absent + " is the legend file " + absent +
                              "; refusing to overwrite an input\n");
    EXPECT_FALSE(file_exists(absent));
}

TEST(CommandLine, OutputThatCannotBeWritten) {
    inputs in;
    const auto no_dir = run_corvane(CORVANE_EXE, in.genotype_path, in.legend_path, "0.5", in.dir.file("no/out.tsv"));
    EXPECT_EQ(no_dir.status, 1);
    EXPECT_EQ(no_dir.err,
              "corvane: cannot create output file " + in.dir.file("no/out.tsv") + ": No such file or directory\n");

    const auto a_dir = run_corvane(CORVANE_EXE, in.genotype_path, in.legend_path, "0.5", in.dir.path);
    EXPECT_EQ(a_dir.status, 1);
    EXPECT_EQ(a_dir.err, "corvane: cannot create output file " + in.dir.path + ": Is a directory\n");

    const auto full = run_corvane(CORVANE_EXE, in.genotype_path, in.legend_path, "0.5", "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "corvane: /dev/full: cannot write: No space left on device\n");
    in.expect_inputs_unchanged();
}

TEST(CommandLine, GenotypeFileFaults) {
    inputs in;
    const auto missing = run_corvane(CORVANE_EXE, in.dir.file("none"), in.legend_path, "0.5", in.output_path);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "Input genotype file not found " + in.dir.file("none") + "\n");
    EXPECT_EQ(missing.err, "");
    EXPECT_EQ(read_file(in.output_path), header);

    write_file(in.dir.file("bad.txt"), "0\t1\n0\t1\t1\n");
    const auto malformed = run_corvane(CORVANE_EXE, in.dir.file("bad.txt"), in.legend_path, "0.5", in.output_path);
    EXPECT_EQ(malformed.status, 1);
    EXPECT_EQ(malformed.err, in.dir.file("bad.txt") + ":2: expected 2 alleles, found 3\n");
    EXPECT_EQ(malformed.out, "");
    EXPECT_EQ(read_file(in.output_path), header);

    // A file without line ends ends in a message, not in all the memory of the machine.
    const auto endless = run_corvane(CORVANE_EXE, "/dev/zero", in.legend_path, "0.5", in.output_path);
    EXPECT_EQ(endless.status, 1);
    EXPECT_EQ(endless.err, "/dev/zero:1: line longer than 256 MiB; is this a text file?\n");

    // A legend named as the genotype file fails on its header line.
    const auto swapped = run_corvane(CORVANE_EXE, in.legend_path, in.genotype_path, "0.5", in.output_path);
    EXPECT_EQ(swapped.status, 1);
    EXPECT_EQ(swapped.err, in.legend_path + ":1: allele 1 is not an integer: \"chr\"\n");
    in.expect_inputs_unchanged();
}

TEST(CommandLine, LegendFileFaults) {
    inputs in;
    const auto missing = run_corvane(CORVANE_EXE, in.genotype_path, in.dir.file("none"), "0.5", in.output_path);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "Input legend file not found: " + in.dir.file("none") + "\n");
    EXPECT_EQ(read_file(in.output_path), header);

    write_file(in.dir.file("short.txt"), "chr\tid\tcM\tbp\n1\ta\t0.1\t100\n");
    const auto too_short = run_corvane(CORVANE_EXE, in.genotype_path, in.dir.file("short.txt"), "0.5", in.output_path);
    EXPECT_EQ(too_short.status, 1);
    EXPECT_EQ(too_short.err, "corvane: " + in.dir.file("short.txt") +
                                 ": 1 SNP rows after the header, but the genotype table has 3 SNPs\n");
    EXPECT_EQ(read_file(in.output_path), header);
    in.expect_inputs_unchanged();
}

}  // namespace
}  // namespace corvane
