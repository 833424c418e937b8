// Both executables on the shipped example and on bad input: same output bytes, streams and status.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "test_support.hpp"

namespace corvane::testing {
namespace {

// One invocation of both tools, each writing the same output path in turn.
struct both_runs {
    run_result plain, fast;
    std::string plain_output, fast_output;
};

both_runs run_both(const std::vector<std::string>& arguments, const std::string& output) {
    both_runs runs;
    runs.plain = run_program(CORVANE_REFERENCE_EXE, arguments);
    runs.plain_output = file_exists(output) ? read_file(output) : "<none>";
    std::remove(output.c_str());
    runs.fast = run_program(CORVANE_EXE, arguments);
    runs.fast_output = file_exists(output) ? read_file(output) : "<none>";
    return runs;
}

void expect_same(const both_runs& runs, const std::string& what) {
    EXPECT_EQ(runs.fast.status, runs.plain.status) << what;
    EXPECT_EQ(runs.fast.out, runs.plain.out) << what;
    EXPECT_EQ(runs.fast.err, runs.plain.err) << what;
    EXPECT_EQ(runs.fast_output, runs.plain_output) << what;
}

std::vector<std::string> scan_arguments(const std::string& genotypes, const std::string& legend,
                                        const std::string& frequency, const std::string& output) {
    return {"-hap", genotypes, "-legend", legend, "-freq", frequency, "-out", output};
}

TEST(FastExecutables, ExampleGivesThePlainOutputAtEveryFrequency) {
    scratch_dir dir;
    const std::string genotypes = std::string(CORVANE_EXAMPLES) + "/chr21.hap.gz";
    const std::string legend = std::string(CORVANE_EXAMPLES) + "/chr21.legend.gz";
    for (const char* frequency : {"0.05", "0.2", "0.5"}) {
        const both_runs runs = run_both(scan_arguments(genotypes, legend, frequency, dir.file("out.tsv")), dir.file("out.tsv"));
        expect_same(runs, frequency);
        EXPECT_EQ(runs.fast.status, 0);
        EXPECT_GT(std::count(runs.fast_output.begin(), runs.fast_output.end(), '\n'), 10) << frequency;
    }
}

// Twelve haplotypes of 40 SNPs: two long blocks around four columns where every row differs, so a
// scan at frequency 0.5 reports the regions 0..14, 16..17 and 18..39.
std::string good_genotypes() {
    std::string text;
    for (int r = 0; r < 12; ++r) {
        for (int s = 0; s < 40; ++s) {
            const int allele = s >= 15 && s < 19 ? (r >> (s - 15)) & 1 : (s < 15) == (r >= 9);
            text += std::string(s > 0 ? "\t" : "") + std::to_string(allele);
        }
        text += '\n';
    }
    return text;
}

std::string legend_rows(int rows) {
    std::string text = "chr\tid\tcM\tbp\n";
    for (int s = 0; s < rows; ++s) text += "3\trs" + std::to_string(s) + "\t" + std::to_string(s * 0.01) + "\t" + std::to_string(1000 + 7 * s) + "\n";
    return text;
}

TEST(FastExecutables, BadInputGivesThePlainMessagesAndStatus) {
    scratch_dir dir;
    const std::string hap = dir.file("in.hap"), legend = dir.file("in.legend"), out = dir.file("out.tsv");
    std::string short_row_legend = legend_rows(40);
    // SNP 18, where the third region starts, has three fields: two rows are written before the message.
    short_row_legend.replace(short_row_legend.find("3\trs18\t"), 7, "3\t");
    std::string gzip_bytes = read_file(std::string(CORVANE_EXAMPLES) + "/chr21.hap.gz");
    const struct {
        const char* name;
        std::string genotypes;  // "<missing>" leaves the file out
        std::string legend;
        std::vector<std::string> arguments;  // empty: the usual four options
        bool fails = true;
    } cases[] = {
        {"not an integer", "0\t1\t0\n1\t1\t0\n0\tx\t0\n", legend_rows(3), {}},
        {"allele count", "0\t1\t0\n1\t1\n", legend_rows(3), {}},
        {"out of range", "0\t1\t0\n1\t4294967296\t0\n", legend_rows(3), {}},
        {"empty genotype file", "", legend_rows(3), {}},
        {"missing genotype file", "<missing>", legend_rows(3), {}},
        {"truncated gzip", gzip_bytes.substr(0, gzip_bytes.size() / 2), legend_rows(1813), {}},
        {"missing legend", good_genotypes(), "<missing>", {}},
        {"legend too short", good_genotypes(), legend_rows(39), {}},
        {"legend without final newline", good_genotypes(), legend_rows(40).substr(0, legend_rows(40).size() - 1), {}, false},
        {"short legend row", good_genotypes(), short_row_legend, {}},
        {"empty legend", good_genotypes(), "", {}},
        {"frequency not a number", good_genotypes(), legend_rows(40), scan_arguments(hap, legend, "abc", out)},
        {"frequency one", good_genotypes(), legend_rows(40), scan_arguments(hap, legend, "1", out)},
        {"too few arguments", good_genotypes(), legend_rows(40), {"-hap", hap, "-legend", legend}},
        {"output is the genotype file", good_genotypes(), legend_rows(40), scan_arguments(hap, legend, "0.5", hap)},
        {"legend is a directory", good_genotypes(), legend_rows(40), scan_arguments(hap, dir.path, "0.5", out)},
    };
    for (const auto& c : cases) {
        std::remove(hap.c_str());
        std::remove(legend.c_str());
        std::remove(out.c_str());
        if (c.genotypes != "<missing>") write_file(hap, c.genotypes);
        if (c.legend != "<missing>") write_file(legend, c.legend);
        const auto arguments = c.arguments.empty() ? scan_arguments(hap, legend, "0.5", out) : c.arguments;
        const both_runs runs = run_both(arguments, out);
        expect_same(runs, c.name);
        EXPECT_EQ(runs.fast.status != 0, c.fails) << c.name;
        if (std::string(c.name) == "short legend row") {
            EXPECT_EQ(std::count(runs.fast_output.begin(), runs.fast_output.end(), '\n'), 3) << "rows before the fault";
        }
        EXPECT_EQ(runs.fast.out.empty() && runs.fast.err.empty(), !c.fails) << c.name << ": messages";
    }
}

}  // namespace
}  // namespace corvane::testing
