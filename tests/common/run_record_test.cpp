// The run record's text: words quoted as a shell reads them back, inputs in command-line order,
// a failed run's message on one line.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/run_record.hpp"

namespace corvane {
namespace {

TEST(RunRecord, WordsAreQuotedAsAShellReadsThemBack) {
    EXPECT_EQ(shell_quoted("out/chr21.loci.tsv"), "out/chr21.loci.tsv");
    EXPECT_EQ(shell_quoted("--min-cm=0.1"), "--min-cm=0.1");
    EXPECT_EQ(shell_quoted(""), "''");
    EXPECT_EQ(shell_quoted("my panel.hap"), "'my panel.hap'");
    EXPECT_EQ(shell_quoted("it's"), "'it'\"'\"'s'");
    EXPECT_EQ(shell_quoted("$HOME"), "'$HOME'");
    EXPECT_EQ(shell_quoted("a*"), "'a*'");
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

TEST(RunRecord, InputsStandInCommandLineOrderAndAFailureSaysWhy) {
    const char* argv[] = {"corvane-loci", "b.tsv", "--hap=p.hap", "a.tsv", "-o", "x y.tsv"};
    run_record record = start_run_record(6, argv);
    // Entered in another order, as a tool comes to know them; a panel's size added later.
    add_record_input(record, "p.hap");
    add_record_input(record, "a.tsv");
    add_record_input(record, "b.tsv");
    add_record_input(record, "p.hap", {"haplotypes=4", "snps=9"});
    record.parameters = {{"--hap", {"p.hap"}, true}, {"--samples", {}, false}};
    add_record_count(record, "loci", 3);
    const std::vector<std::string> lines =
        lines_of(run_record_text(record, {1, "bad input", "a.tsv:2: startpos\tis not\na whole number"}));
    ASSERT_GE(lines.size(), 16u);
    EXPECT_EQ(lines[2], "command\tcorvane-loci b.tsv --hap=p.hap a.tsv -o 'x y.tsv'");
    EXPECT_TRUE(lines[5].starts_with("input\tb.tsv\tunreadable=")) << lines[5];
    EXPECT_TRUE(lines[6].starts_with("input\tp.hap\tunreadable=")) << lines[6];
    EXPECT_TRUE(lines[6].ends_with("\thaplotypes=4\tsnps=9")) << lines[6];
    EXPECT_TRUE(lines[7].starts_with("input\ta.tsv\t")) << lines[7];
    EXPECT_EQ(lines[8], "parameter\t--hap\tp.hap\tgiven");
    EXPECT_EQ(lines[9], "parameter\t--samples\t\tdefault");
    EXPECT_EQ(lines[10], "count\tloci\t3");
    EXPECT_EQ(lines[14], "status\t1\tbad input");
    EXPECT_EQ(lines[15], "message\ta.tsv:2: startpos is not a whole number");
    EXPECT_EQ(lines.size(), 16u);
}

}  // namespace
}  // namespace corvane
