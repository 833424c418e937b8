// corvane-loci as users run it: the example with carriers, BED and carrier list; bad input refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "input/genotype_matrix.hpp"
#include "search/window_count.hpp"
#include "test_support.hpp"

namespace corvane::testing {
namespace {

const std::string loci_header =
    "locus\tchr\tstart\tend\tintervals\tpeak_start\tpeak_end\tpeak_cM\tpeak_snps\trank\tpercentile";

std::vector<std::vector<std::string>> tsv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
        rows.push_back(fields);
    }
    return rows;
}

std::vector<std::string> directory_names(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The example scanned at 0.5, its loci with every output, and each locus's carriers recounted by the
// plain path's count_similar_haplotypes over the peak's SNPs.
TEST(LociExecutable, ExampleLociCarryTheScansOwnCounts) {
    scratch_dir dir;
    const std::string panel = std::string(CORVANE_EXAMPLES) + "/chr21.hap.gz";
    const std::string legend = std::string(CORVANE_EXAMPLES) + "/chr21.legend.gz";
    const std::string scan = dir.file("scan.tsv"), samples = dir.file("s.txt");
    ASSERT_EQ(run_corvane(CORVANE_EXE, panel, legend, "0.5", scan).status, 0);
    std::string sample_text;
    for (int k = 0; k < 379; ++k) (sample_text += "S") += std::to_string(k) + "\n";
    write_file(samples, sample_text);
    // The table split in two, the second half with its own header, reads as the whole table.
    const std::string scanned = read_file(scan);
    const size_t middle = scanned.find('\n', scanned.size() / 2) + 1;
    write_file(dir.file("a.tsv"), scanned.substr(0, middle));
    std::string second_half = result_header;
    second_half += scanned.substr(middle);
    write_file(dir.file("b.tsv"), second_half);
    const run_result ran = run_program(CORVANE_LOCI_EXE, {dir.file("a.tsv"), dir.file("b.tsv"), "--hap", panel,
                                                          "--legend", legend, "--samples", samples, "--carriers",
                                                          dir.file("c.tsv"), "--bed", dir.file("l.bed"), "-o",
                                                          dir.file("loci.tsv")});
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.err, "");
    const auto loci = tsv_rows(read_file(dir.file("loci.tsv")));
    ASSERT_GT(loci.size(), 100u);
    EXPECT_EQ(loci[0], tsv_rows(loci_header + "\tcarriers\tcarrier_frequency\tcore")[0]);

    genotype_matrix matrix;
    ASSERT_EQ(load_genotype_matrix(panel, matrix), run_status::run_ok);
    std::map<int32_t, int32_t> snp_at_bp;
    const auto legend_rows = tsv_rows(read_gzip_file(legend));
    for (size_t k = 1; k < legend_rows.size(); ++k) snp_at_bp.emplace(std::stoi(legend_rows[k][3]), static_cast<int32_t>(k - 1));
    std::map<std::string, int> carrier_lines;
    const auto carriers = tsv_rows(read_file(dir.file("c.tsv")));
    EXPECT_EQ(carriers[0], (std::vector<std::string>{"locus", "sample", "haplotype"}));
    for (size_t k = 1; k < carriers.size(); ++k) ++carrier_lines[carriers[k][0]];
    const auto bed = tsv_rows(read_file(dir.file("l.bed")));
    ASSERT_EQ(bed.size(), loci.size() - 1);
    int rank_one = 0;
    for (size_t k = 1; k < loci.size(); ++k) {
        const auto& row = loci[k];
        ASSERT_EQ(row.size(), 14u);
        const int32_t lo = snp_at_bp.at(std::stoi(row[5]));
        const int32_t count = count_similar_haplotypes(matrix, {lo, lo + std::stoi(row[8]) - 1});
        EXPECT_EQ(row[11], std::to_string(count)) << row[0];
        EXPECT_EQ(carrier_lines[row[0]], count) << row[0];
        EXPECT_NEAR(std::stod(row[12]), count / 758.0, 1e-6) << row[0];
        EXPECT_EQ(row[13].size(), static_cast<size_t>(std::min(std::stoi(row[8]), 200))) << row[0];
        EXPECT_EQ(bed[k - 1], (std::vector<std::string>{row[1], std::to_string(std::stoi(row[2]) - 1), row[3], row[0],
                                                        std::to_string(std::lround(1000 * std::stod(row[10])))}));
        rank_one += row[9] == "1";
    }
    EXPECT_GE(rank_one, 1);
}

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
    const run_result ran = run_program(CORVANE_LOCI_EXE, {result, "--hap", panel, "--legend", legend, "-o", loci});
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
         "corvane: {L}: 29 SNP rows after the header, but the genotype table has 30 SNPs\n"},
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
        const run_result ran = run_program(CORVANE_LOCI_EXE, arguments);
        EXPECT_EQ(ran.status, fault.status) << fault.what;
        const std::string expected = substitute(fault.message);
        if (fault.status == 2) EXPECT_EQ(ran.err.substr(0, expected.size()), expected) << fault.what;
        else EXPECT_EQ(ran.err, expected) << fault.what;
        EXPECT_EQ(directory_names(dir.path), before) << fault.what;
    }
}

TEST_F(LociBadInput, OutputNamingAnInputIsRefusedAndTheInputKept) {
    const std::string kept = read_file(legend);
    const run_result ran = run_program(CORVANE_LOCI_EXE, {result, "--hap", panel, "--legend", legend, "-o", legend});
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, "corvane-loci: output file " + legend + " is the input file " + legend +
                           "; refusing to overwrite an input\n");
    EXPECT_EQ(read_file(legend), kept);
}

}  // namespace
}  // namespace corvane::testing
