// Genetic positions from a map: interpolation, extrapolation past both ends and the map layouts. The
// maps that must be refused are rows of the bad-input case table (prepare_bad_input_test.cpp).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "prepare/genetic_map.hpp"
#include "support/prepare_support.hpp"

namespace corvane::testing {
namespace {

// cM 0, 1, 6, 10, 12 at bp 1000..5000. The first 5 cM end at bp 2800 (inside the second segment) and
// the last 5 cM start at bp 3250 (inside the third), so both end rates differ from any one segment's.
genetic_map five_point_map() {
    genetic_map map;
    map.bp = {1000, 2000, 3000, 4000, 5000};
    map.cm = {0.0, 1.0, 6.0, 10.0, 12.0};
    set_extrapolation_rates(map);
    return map;
}

TEST(GeneticMap, InterpolatesLinearlyInBpBetweenMapPositions) {
    const genetic_map map = five_point_map();
    for (size_t i = 0; i < map.bp.size(); ++i) EXPECT_DOUBLE_EQ(genetic_position(map, map.bp[i]), map.cm[i]);
    EXPECT_DOUBLE_EQ(genetic_position(map, 1500), 0.5);
    EXPECT_DOUBLE_EQ(genetic_position(map, 2500), 3.5);
    EXPECT_DOUBLE_EQ(genetic_position(map, 2001), 1.005);
    EXPECT_DOUBLE_EQ(genetic_position(map, 4999), 11.998);
}

TEST(GeneticMap, ExtrapolatesAtTheAverageRateOfTheLastFiveCmOnEachSide) {
    const genetic_map map = five_point_map();
    EXPECT_DOUBLE_EQ(map.rate_before, 5.0 / 1800.0);
    EXPECT_DOUBLE_EQ(map.rate_after, 5.0 / 1750.0);
    EXPECT_DOUBLE_EQ(genetic_position(map, 100), -900.0 * 5.0 / 1800.0);
    EXPECT_DOUBLE_EQ(genetic_position(map, 6000), 12.0 + 1000.0 * 5.0 / 1750.0);
    // Two SNPs beyond the same end are a positive genetic distance apart.
    EXPECT_GT(genetic_position(map, 9000) - genetic_position(map, 8000), 0.0);
    EXPECT_GT(genetic_position(map, 500) - genetic_position(map, 10), 0.0);
}

TEST(GeneticMap, MapShorterThanFiveCmExtrapolatesAtItsWholeRate) {
    genetic_map map;
    map.bp = {100, 200, 400};
    map.cm = {1.0, 1.0, 2.0};  // a flat first segment must not make the left rate 0
    set_extrapolation_rates(map);
    EXPECT_DOUBLE_EQ(map.rate_before, 1.0 / 300.0);
    EXPECT_DOUBLE_EQ(map.rate_after, 1.0 / 300.0);
    EXPECT_DOUBLE_EQ(genetic_position(map, 40), 1.0 - 60.0 / 300.0);
}

// A VCF of one sample with SNPs before, inside and after a map, converted through the executable.
TEST(GeneticMap, ConversionExtrapolatesBeyondBothEndsOfTheMap) {
    scratch_dir dir;
    write_file(dir.file("map.txt"), "pos\tchr\tcM\n1000\t1\t0\n2000\t1\t1\n3000\t1\t6\n4000\t1\t10\n5000\t1\t12\n");
    write_file(dir.file("in.vcf"), small_vcf({"s1"}, {"1\t100\tbefore\tA\tG\t.\t.\t.\tGT\t0|1",
                                                      "1\t2500\tinside\tC\tT\t.\t.\t.\tGT\t1|1",
                                                      "1\t6000\tafter\tG\tA\t.\t.\t.\tGT\t0|0"}));
    const run_result result =
        run_prepare({"--vcf", dir.file("in.vcf"), "--chr", "1", "--map", dir.file("map.txt"), "--out", dir.file("out")});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(read_file(dir.file("out.legend")),
              "chr\tid\tcM\tbp\tref\talt\n1\tbefore\t-2.500000\t100\tA\tG\n1\tinside\t3.500000\t2500\tC\tT\n"
              "1\tafter\t14.857143\t6000\tG\tA\n");
    EXPECT_EQ(bit_panel_text(dir.file("out.hapbits")), "0\t1\t0\n1\t1\t0\n");
}

// The shipped map rewritten as a PLINK map (with rows of another chromosome around it), as a
// HapMap file (naming the chromosome "chr21") and as a SHAPEIT/IMPUTE map (one chromosome, no
// chromosome column, some rates equal to the chromosome's name) gives the same legend as the
// original layout.
TEST(GeneticMap, EveryMapLayoutGivesTheSameLegend) {
    scratch_dir dir;
    const std::vector<std::string> rows = split_lines(read_gzip_file(CORVANE_EXAMPLES "/chr21.b37.gmap.gz"));
    ASSERT_GT(rows.size(), 2u);
    std::string plink = "20\trs_a\t0.5\t1000\n20\trs_b\t0.7\t2000\n";
    std::string hapmap = "Chromosome\tPosition(bp)\tRate(cM/Mb)\tMap(cM)\n";
    std::string shapeit = "position COMBINED_rate(cM/Mb) Genetic_Map(cM)\n";
    for (size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string_view> words = split_words(rows[i]);
        const std::vector<std::string> fields(words.begin(), words.end());
        ASSERT_EQ(fields.size(), 3u) << rows[i];
        plink += fields[1] + "\tsnp" + std::to_string(i) + "\t" + fields[2] + "\t" + fields[0] + "\n";
        hapmap += "chr" + fields[1] + " " + fields[0] + " 1.25 " + fields[2] + "\n";
        shapeit += fields[0] + (i % 3 == 0 ? " 21 " : " 1.25 ") + fields[2] + "\n";
    }
    plink += "22\trs_c\t0.1\t5000\n";
    write_file(dir.file("plink.map"), plink);
    write_file(dir.file("hapmap.txt"), hapmap);
    write_file(dir.file("shapeit.txt"), shapeit);

    const std::string vcf = CORVANE_EXAMPLES "/chr21.phased.vcf.gz";
    run_result result = run_prepare({"--vcf", vcf, "--chr", "21", "--map", CORVANE_EXAMPLES "/chr21.b37.gmap.gz",
                                     "--out", dir.file("three")});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string expected = read_file(dir.file("three.legend"));
    ASSERT_EQ(split_lines(expected).size(), 1814u);

    for (const char* layout : {"plink", "hapmap", "shapeit"}) {
        SCOPED_TRACE(layout);
        const std::string map = dir.file(std::string(layout) == "plink" ? "plink.map" : std::string(layout) + ".txt");
        for (const char* chosen : {"auto", layout}) {
            const std::string out = dir.file(std::string(layout) + "-" + chosen);
            result = run_prepare({"--vcf", vcf, "--chr", "21", "--map", map, "--map-layout", chosen, "--out", out});
            ASSERT_EQ(result.status, 0) << result.err;
            EXPECT_EQ(read_file(out + ".legend"), expected);
        }
    }
}

}  // namespace
}  // namespace corvane::testing
