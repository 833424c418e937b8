// Both executables on the shipped example against results computed independently of this code
// (examples/expected/), and the README's example rows against the same results.
#include <gtest/gtest.h>

#include "support/fixtures.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {
namespace {

const std::string examples = CORVANE_EXAMPLES;

TEST(ExampleResults, BothToolsGiveTheIndependentResultsAtEveryFrequency) {
    scratch_dir dir;
    for (const char* frequency : {"0.05", "0.2", "0.5"}) {
        const std::string expected = read_file(examples + "/expected/chr21.f" + frequency + ".tsv");
        ASSERT_GT(expected.size(), result_header.size()) << frequency;
        for (const char* tool : {CORVANE_EXE, CORVANE_REFERENCE_EXE}) {
            const std::string output = dir.file(std::string("out-") + frequency + ".tsv");
            const run_result ran = run_program(
                tool, {"-hap", examples + "/chr21.hap.gz", "-legend", examples + "/chr21.legend.gz", "-freq", frequency,
                       "-out", output});
            EXPECT_EQ(ran.status, 0) << tool << " " << frequency << ": " << ran.err;
            EXPECT_EQ(ran.out, "") << tool;
            EXPECT_EQ(ran.err, "") << tool;
            EXPECT_EQ(read_file(output), expected) << tool << " at " << frequency;
        }
    }
}

// The README shows the header and first rows of the example at 0.2: they must be those rows.
TEST(ExampleResults, ReadmeRowsAreTheIndependentResults) {
    const std::string readme = read_file(CORVANE_README);
    const size_t start = readme.find(result_header);
    ASSERT_NE(start, std::string::npos) << "the README shows no result table";
    const size_t end = readme.find("```", start);
    ASSERT_NE(end, std::string::npos);
    const std::string shown = readme.substr(start, end - start);
    EXPECT_GT(shown.size(), result_header.size()) << "the README shows no rows";
    const std::string expected = read_file(examples + "/expected/chr21.f0.2.tsv");
    EXPECT_EQ(expected.substr(0, shown.size()), shown);
}

}  // namespace
}  // namespace corvane::testing
