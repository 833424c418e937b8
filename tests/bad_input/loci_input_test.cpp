// corvane-loci on bad input: a wrong or unreadable result table, a panel, legend or sample list that
// does not belong to it, a wrong command line; each reported once, with no output left behind.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../test_support.hpp"
#include "bad_case.hpp"

namespace corvane::testing {
namespace {

const std::string loci_header =
    "locus\tchr\tstart\tend\tintervals\tpeak_start\tpeak_end\tpeak_cM\tpeak_snps\trank\tpercentile";

// A small panel (6 haplotypes x 30 SNPs, all alike) and a legend at bp 10000 + 250 x SNP.
class LociBadInput : public ::testing::Test {
protected:
    scratch_dir dir;
    const std::string result = dir.file("r.tsv"), panel = dir.file("p.txt"), legend = dir.file("l.txt"),
                      samples = dir.file("s.txt"), loci = dir.file("loci.tsv");
    static std::string legend_rows(int rows, const std::string& chr = "21") {
        std::string text = "chr\tid\tcM\tbp\n";
        for (int k = 0; k < rows; ++k) {
            text += chr + "\trs" + std::to_string(k) + "\t" + std::to_string(0.125 * k) + "\t" +
                    std::to_string(10000 + 250 * k) + "\n";
        }
        return text;
    }
    void SetUp() override {
        std::string row;
        for (int k = 0; k < 30; ++k) row += k == 0 ? "0" : "\t1";
        std::string text;
        for (int k = 0; k < 6; ++k) text += row + "\n";
        write_file(panel, text);
        write_file(legend, legend_rows(30));
        write_file(samples, "a\nb\n");
        write_file(result, result_header + "21\t10000\t17250\t3.625\t7250\t30\n");
    }
};

TEST_F(LociBadInput, GoodInputGivesOneLocusOfSixCarriers) {
    const run_result ran =
        run_program(CORVANE_LOCI_EXE, {result, "--hap", panel, "--legend", legend, "-o", loci}, {.seconds = 60});
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(read_file(loci), loci_header + "\tcarriers\tcarrier_frequency\tcore\n" +
                                   "21:1\t21\t10000\t17250\t1\t10000\t17250\t3.625\t30\t1\t1\t6\t1\t"
                                   "011111111111111111111111111111\n");
}

// Each fault is reported once, where found, with status 1 (2 for a wrong command line), and leaves
// no output behind: not under its name, not under a temporary one.
TEST_F(LociBadInput, FaultsAreReportedAndLeaveNoOutput) {
    const struct {
        const char* what;
        std::string result_text;  // empty: keep SetUp's table
        std::string legend_text;  // empty: keep SetUp's legend
        std::vector<std::string> extra_arguments;
        int status;
        std::string message;  // standard error, {R}, {L}, {P}, {S} standing for the file paths
    } cases[] = {
        {"wrong header", "chr\tstart\tend\n21\t1\t2\n", "", {}, 1,
         "{R}:1: expected the result header line (tab-separated): chr startpos endpos genetic_dist physical_dist n.snp\n"},
        {"empty result table", "\n", "", {}, 1,
         "{R}:1: expected the result header line (tab-separated): chr startpos endpos genetic_dist physical_dist n.snp\n"},
        {"unreadable row", result_header + "21\t10000\t17250\t3.625\t7250\t30\n21\tabc\t17250\t1\t7250\t30\n", "", {},
         1, "{R}:3: startpos is not a whole number: \"abc\"\n"},
        {"row with a field too few", result_header + "21\t10000\t17250\t3.625\t7250\n", "", {}, 1,
         "{R}:2: expected 6 tab-separated fields, found 5\n"},
        {"genetic length that is no number", result_header + "21\t10000\t17250\tlong\t7250\t30\n", "", {}, 1,
         "{R}:2: genetic_dist is not a number: \"long\"\n"},
        {"a row's bp not in the legend", result_header + "21\t10001\t17250\t3.625\t7249\t30\n", "", {}, 1,
         "{R}:2: startpos 10001 is not a position of chromosome 21 in the legend {L}\n"},
        {"n.snp that does not reach endpos", result_header + "21\t10000\t17250\t3.625\t7250\t29\n", "", {}, 1,
         "{R}:2: no run of 29 legend rows from bp 10000 to bp 17250 of chromosome 21 in the legend {L}\n"},
        {"a row beyond S", result_header + "21\t10250\t17500\t3.625\t7250\t30\n", legend_rows(31), {}, 1,
         "{R}:2: the interval ends at SNP 31 of the legend {L}, beyond the 30 SNPs of the panel {P}\n"},
        {"a chromosome no legend names", result_header + "22\t10000\t17250\t3.625\t7250\t30\n", "", {}, 1,
         "{R}:2: chromosome 22 is in none of the legends given with --legend\n"},
        {"legend shorter than the panel", result_header + "21\t10000\t10250\t0.125\t250\t2\n", legend_rows(29), {}, 1,
         "corvane-loci: {L}: 29 SNP rows after the header, but the genotype table has 30 SNPs\n"},
        {"sample list of the wrong length", "", "", {"--samples", "{S}"}, 1,
         "corvane-loci: {S}: 2 sample ids, but the panel {P} has 6 haplotypes (two per sample)\n"},
        {"no output named", "", "", {"-o"}, 2, "corvane-loci: -o needs a value\n"},
        {"--carriers without --samples", "", "", {"--carriers", "{C}"}, 2,
         "corvane-loci: --carriers needs --samples (and --hap, --legend)\n"},
        {"negative --gap", "", "", {"--gap", "-5"}, 2, "corvane-loci: --gap takes a whole number of bp, got \"-5\"\n"},
    };
    const auto substitute = [&](std::string text) {
        for (const auto& [mark, path] : {std::pair{"{R}", result}, {"{L}", legend}, {"{P}", panel}, {"{S}", samples},
                                        {"{C}", dir.file("c.tsv")}}) {
            for (size_t at = 0; (at = text.find(mark, at)) != std::string::npos; at += path.size()) {
                text.replace(at, 3, path);
            }
        }
        return text;
    };
    for (const auto& fault : cases) {
        SetUp();
        if (!fault.result_text.empty()) write_file(result, fault.result_text);
        if (!fault.legend_text.empty()) write_file(legend, fault.legend_text);
        const auto before = directory_names(dir.path);
        std::vector<std::string> arguments = {result, "--hap", panel, "--legend", legend, "--bed", dir.file("l.bed")};
        bool output_named = true;
        for (const std::string& argument : fault.extra_arguments) {
            arguments.push_back(substitute(argument));
            output_named = output_named && argument != "-o";
        }
        if (output_named) arguments.insert(arguments.end(), {"-o", loci});
        const run_result ran = run_program(CORVANE_LOCI_EXE, arguments, {.seconds = 60});
        EXPECT_EQ(ran.status, fault.status) << fault.what;
        const std::string expected = substitute(fault.message);
        if (fault.status == 2) EXPECT_EQ(ran.err.substr(0, expected.size()), expected) << fault.what;
        else EXPECT_EQ(ran.err, expected) << fault.what;
        EXPECT_EQ(directory_names(dir.path), before) << fault.what;
    }
}

TEST_F(LociBadInput, OutputNamingAnInputIsRefusedAndTheInputKept) {
    const std::string kept = read_file(legend);
    const run_result ran =
        run_program(CORVANE_LOCI_EXE, {result, "--hap", panel, "--legend", legend, "-o", legend}, {.seconds = 60});
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, "corvane-loci: output file " + legend + " is the input file " + legend +
                           "; refusing to overwrite an input\n");
    EXPECT_EQ(read_file(legend), kept);
}

TEST(LociCommandLine, HelpAndVersionAreAnsweredOnStandardOutput) {
    for (const char* request : {"--help", "-h"}) {
        const run_result help = run_program(CORVANE_LOCI_EXE, {request});
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.out.starts_with("usage: corvane-loci [options] RESULT... -o LOCI\n")) << help.out;
        EXPECT_EQ(help.err, "");
    }
    const run_result version = run_program(CORVANE_LOCI_EXE, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("corvane-loci " CORVANE_VERSION)) << version.out;
    EXPECT_EQ(std::system(CORVANE_LOCI_EXE " --help > /dev/full 2>/dev/null"), 1 << 8);
}

}  // namespace
}  // namespace corvane::testing
