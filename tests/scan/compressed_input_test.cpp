// Compressed inputs: plain, gzip and BGZF files give the same result, whatever their names say.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/test_support.hpp"

namespace corvane {
namespace {

using testing::read_file;
using testing::read_gzip_file;
using testing::run_scan_tool;
using testing::scratch_dir;
using testing::write_file;

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
