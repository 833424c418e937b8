// Tables with an extreme shape or beyond the memory a run is allowed: a clear end, never a crash.
#include <fstream>
#include <regex>
#include <string>

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/bad_case.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {
namespace {

// 0/1 rows with no two alike over any window, so the first region search ends at once.
std::string scattered_line(int32_t snps, uint32_t seed) {
    std::string line;
    line.reserve(static_cast<size_t>(snps) * 2);
    uint32_t state = seed;
    for (int32_t snp = 0; snp < snps; ++snp) {
        state = state * 1664525u + 1013904223u;
        line += (state >> 28) & 1u ? '1' : '0';
        line += snp + 1 < snps ? ' ' : '\n';
    }
    return line;
}

run_limits wide_table_limits() {
    run_limits limits;
    limits.seconds = 300;
#ifndef CORVANE_SANITIZED
    limits.memory_kib = 1024 * 1024;  // a three-row table has no business needing more than this
#endif
    return limits;
}

TEST(ResourceLimits, MillionAllelesInFewLinesLoadAndEndClearly) {
    constexpr int32_t snps = 1000000;
    scratch_dir dir;
    const std::string genotypes = dir.file("g.txt"), legend = dir.file("l.txt"), output = dir.file("out.tsv");
    write_file(genotypes, scattered_line(snps, 1) + scattered_line(snps, 2) + scattered_line(snps, 3));
    // A legend for ten SNPs: the run loads the whole table, searches once, then finds the legend short.
    write_file(legend, legend_text(10));
    bad_case to_run = scan_case(genotypes, legend, "0.5", output);
    to_run.limits = wide_table_limits();
    const case_outcome ran = run_bad_case(to_run);
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, "corvane: " + legend + ": 10 SNP rows after the header, but the genotype table has 1000000 SNPs\n");
    EXPECT_EQ(ran.output, result_header);
}

TEST(ResourceLimits, MillionAllelesThenAShortLine) {
    constexpr int32_t snps = 1000000;
    scratch_dir dir;
    const std::string genotypes = dir.file("g.txt"), legend = dir.file("l.txt"), output = dir.file("out.tsv");
    write_file(genotypes, scattered_line(snps, 1) + "0 1 0\n" + scattered_line(snps, 3));
    write_file(legend, legend_text(10));
    bad_case to_run = scan_case(genotypes, legend, "0.5", output);
    to_run.limits = wide_table_limits();
    const case_outcome ran = run_bad_case(to_run);
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, genotypes + ":2: expected 1000000 alleles, found 3\n");
    EXPECT_EQ(ran.output, result_header);
}

// A gzip file that unpacks to `copies` times `block`: concatenated copies of one compressed member,
// so a table of hundreds of megabytes costs a few hundred kilobytes and no time to make. Unused in
// sanitized builds, which skip the test below.
[[maybe_unused]] void write_repeated_gzip(const std::string& path, const std::string& block, int copies) {
    const std::string member_path = path + ".member";
    gzFile member = gzopen(member_path.c_str(), "wb9");
    ASSERT_NE(member, nullptr);
    ASSERT_EQ(gzwrite(member, block.data(), static_cast<unsigned>(block.size())), static_cast<int>(block.size()));
    ASSERT_EQ(gzclose(member), Z_OK);
    const std::string compressed = read_file(member_path);
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < copies; ++i) out.write(compressed.data(), static_cast<std::streamsize>(compressed.size()));
    ASSERT_TRUE(out.good());
}

// Under `ulimit -v` (32 MiB, about twice what a run needs to start): any representation of these
// tables is larger, 0/1 panels at one bit per allele included.
TEST(ResourceLimits, TableBeyondTheMemoryAllowedEndsWithAClearMessage) {
#ifdef CORVANE_SANITIZED
    GTEST_SKIP() << "AddressSanitizer cannot run under an address-space ceiling";
#else
    scratch_dir dir;
    const std::string legend = dir.file("l.txt"), output = dir.file("out.tsv");
    write_file(legend, legend_text(1000));
    std::string zero_one_block, wide_block;
    for (int row = 0; row < 500; ++row) {
        for (int snp = 0; snp < 1000; ++snp) {
            const char separator = snp + 1 < 1000 ? ' ' : '\n';
            zero_one_block += (row + snp) % 7 < 3 ? '1' : '0';
            zero_one_block += separator;
            wide_block += std::to_string(100000 + (row * 7 + snp * 13) % 1000);
            wide_block += separator;
        }
    }
    const struct {
        const char* name;
        const std::string& block;
        int copies;  // 0/1: 400 x 500 x 1000 alleles, 25 MB even as bits; wide: 40 MB as 32-bit cells
    } tables[] = {{"zero-one.hap.gz", zero_one_block, 400}, {"wide.hap.gz", wide_block, 20}};
    for (const auto& table : tables) {
        const std::string genotypes = dir.file(table.name);
        write_repeated_gzip(genotypes, table.block, table.copies);
        bad_case to_run = scan_case(genotypes, legend, "0.5", output);
        to_run.limits.memory_kib = 32 * 1024;
        to_run.limits.seconds = 300;
        to_run.same_messages = false;  // the count of rows read before memory ran out depends on the tool
        const case_outcome ran = run_bad_case(to_run);
        EXPECT_EQ(ran.status, 1) << table.name << ": " << ran.err;
        EXPECT_EQ(ran.out, "");
        const std::regex clear_message("corvane: (" + genotypes + ": not enough memory for the genotype table \\([0-9]+ "
                                       "haplotypes of 1000 SNPs read\\)|not enough memory for the region search)\n");
        EXPECT_TRUE(std::regex_match(ran.err, clear_message)) << table.name << ": " << ran.err;
        EXPECT_EQ(ran.output, result_header);
    }
#endif
}

}  // namespace
}  // namespace corvane::testing
