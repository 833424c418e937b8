// Simulations into panels: every replicate of an ms file to its bit panel and legend, positions by
// the rounding and moving-apart rule, cM from a uniform rate or a map; a uniform rate for a VCF.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/prepare_support.hpp"

namespace corvane::testing {
namespace {

// Two replicates of 3 haplotypes over a region of 1,000 bp. In the first, 0.0005 x 1000 is 0.5,
// which rounds away from zero to bp 1; 0.1234 and 0.12341 both round to bp 123 (the second moves to
// 124, and 0.1239, at 124, moves on to 125). In the second, 0.5005 x 1000 falls just below 500.5 as
// a double product and rounds to 500.
const std::string two_replicates =
    "ms 3 2 -t 2.0\n12 34 56\n\n"
    "//\nsegsites: 4\npositions: 0.0005 0.1234 0.12341 0.1239\n0110\n1010\n0001\n\n"
    "//\nsegsites: 2\npositions: 0.5005 0.9999\n01\n10\n11\n";

TEST(MsConversion, EachReplicateBecomesABitPanelAndALegend) {
    scratch_dir dir;
    write_file(dir.file("sim.ms"), two_replicates);
    const run_result ran = run_prepare({"--ms", dir.file("sim.ms"), "--length", "1000", "--cm-per-mb", "1.2", "--out",
                                        dir.file("sim")});
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.err, "corvane-prepare: wrote " + dir.file("sim") + ".1 to " + dir.file("sim") +
                           ".2 (.hapbits, .legend): 2 replicates of 3 haplotypes, 6 SNPs, of which 2 moved to the bp "
                           "after the SNP before\n");
    EXPECT_EQ(read_file(dir.file("sim.1.legend")),
              "chr\tid\tcM\tbp\nrep1\trep1_1\t0.000001\t1\nrep1\trep1_2\t0.000148\t123\nrep1\trep1_3\t0.000149\t124\n"
              "rep1\trep1_4\t0.000150\t125\n");
    EXPECT_EQ(bit_panel_text(dir.file("sim.1.hapbits")), "0\t1\t1\t0\n1\t0\t1\t0\n0\t0\t0\t1\n");
    EXPECT_EQ(read_file(dir.file("sim.2.legend")), "chr\tid\tcM\tbp\nrep2\trep2_1\t0.000600\t500\nrep2\trep2_2\t0.001200\t1000\n");
    EXPECT_EQ(bit_panel_text(dir.file("sim.2.hapbits")), "0\t1\n1\t0\n1\t1\n");
    EXPECT_EQ(names_starting_with(dir.path, "sim."),
              (std::vector<std::string>{"sim.1.hapbits", "sim.1.legend", "sim.2.hapbits", "sim.2.legend", "sim.log",
                                        "sim.ms"}));
    // The run record counts the replicates and names every output.
    const std::string record = read_file(dir.file("sim.log"));
    const std::vector<std::string> record_lines = {"count\treplicates\t2\n", "count\tsnps\t6\n", "count\tsnps_moved\t2\n",
                                                   "output\t" + dir.file("sim.2.legend") + "\n", "status\t0\tdone\n"};
    for (const std::string& line : record_lines) {
        EXPECT_NE(record.find(line), std::string::npos) << line << record;
    }

    // On a map of one chromosome (in the simulation's coordinates), named apart.
    write_file(dir.file("map.txt"), "pos\tchr\tcM\n0\t7\t0\n1000\t7\t2\n");
    const run_result mapped = run_prepare({"--ms", dir.file("sim.ms"), "--length", "1000", "--map", dir.file("map.txt"),
                                           "--rep-prefix", "neutral_", "--out", dir.file("mapped")});
    ASSERT_EQ(mapped.status, 0) << mapped.err;
    EXPECT_EQ(read_file(dir.file("mapped.2.legend")),
              "chr\tid\tcM\tbp\nneutral_2\tneutral_2_1\t1.000000\t500\nneutral_2\tneutral_2_2\t2.000000\t1000\n");

    // --min-maf as for a VCF: of three sites carried by 3, 2 and 1 of 4 haplotypes, 0.3 keeps the
    // second, which keeps its bp and its SNP id.
    write_file(dir.file("rare.ms"), "ms 4 1\n//\nsegsites: 3\npositions: 0.1 0.2 0.3\n110\n100\n111\n000\n");
    const run_result common = run_prepare({"--ms", dir.file("rare.ms"), "--length", "1000", "--cm-per-mb", "1",
                                           "--min-maf", "0.3", "--out", dir.file("common")});
    ASSERT_EQ(common.status, 0) << common.err;
    EXPECT_NE(common.err.find("sites with a minor allele frequency below 0.3 skipped: 2\n"), std::string::npos) << common.err;
    EXPECT_EQ(read_file(dir.file("common.1.legend")), "chr\tid\tcM\tbp\nrep1\trep1_2\t0.000200\t200\n");
    EXPECT_EQ(bit_panel_text(dir.file("common.1.hapbits")), "1\n0\n1\n0\n");
}

// A VCF of simulations without a map: --cm-per-mb, and --map-chr for a map named otherwise.
TEST(MsConversion, UniformRateAndMapChromosomeServeAVcf) {
    scratch_dir dir;
    write_file(dir.file("in.vcf"), small_vcf({"s1"}, {"1\t250000\ta\tA\tG\t.\t.\t.\tGT\t0|1",
                                                      "1\t750000\tb\tC\tT\t.\t.\t.\tGT\t1|1"}));
    ASSERT_EQ(run_prepare({"--vcf", dir.file("in.vcf"), "--chr", "1", "--cm-per-mb", "2", "--out", dir.file("u")}).status, 0);
    EXPECT_EQ(read_file(dir.file("u.legend")), "chr\tid\tcM\tbp\tref\talt\n1\ta\t0.500000\t250000\tA\tG\n1\tb\t1.500000\t750000\tC\tT\n");
    write_file(dir.file("map.txt"), "pos\tchr\tcM\n0\t21\t0\n1000000\t21\t4\n");
    const run_result mapped = run_prepare({"--vcf", dir.file("in.vcf"), "--chr", "1", "--map", dir.file("map.txt"),
                                           "--map-chr", "21", "--out", dir.file("m")});
    ASSERT_EQ(mapped.status, 0) << mapped.err;
    EXPECT_EQ(read_file(dir.file("m.legend")),
              "chr\tid\tcM\tbp\tref\talt\n1\ta\t1.000000\t250000\tA\tG\n1\tb\t3.000000\t750000\tC\tT\n");
}

}  // namespace
}  // namespace corvane::testing
