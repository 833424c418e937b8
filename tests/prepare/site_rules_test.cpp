// Which VCF records become rows: the skip rules with their counts, record order, the chromosome's
// other spelling, cM from an INFO tag, and help and version. Every refusal is a row of the bad-input
// case table (prepare_bad_input_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/prepare_support.hpp"

namespace corvane::testing {
namespace {

const char* const two_point_map = "pos\tchr\tcM\n1\t1\t0\n1000000\t1\t10\n1\t2\t0\n1000000\t2\t10\n";

struct conversion {
    scratch_dir dir;
    run_result result;

    conversion(const std::vector<std::string>& samples, const std::vector<std::string>& records,
               std::vector<std::string> extra_arguments = {}) {
        write_file(dir.file("in.vcf"), small_vcf(samples, records));
        write_file(dir.file("map.txt"), two_point_map);
        std::vector<std::string> arguments = {"--vcf", dir.file("in.vcf"), "--chr", "1", "--out", dir.file("out")};
        bool has_cm_source = false;
        for (const std::string& argument : extra_arguments) has_cm_source |= argument == "--cm-tag";
        if (!has_cm_source) {
            arguments.push_back("--map");
            arguments.push_back(dir.file("map.txt"));
        }
        arguments.insert(arguments.end(), extra_arguments.begin(), extra_arguments.end());
        result = run_prepare(arguments);
    }
    bool left_no_output() const { return names_starting_with(dir.path, "out").empty(); }
    bool reports(const std::string& text) const { return result.err.find(text) != std::string::npos; }
};

TEST(SiteRules, SkipsEveryKindOfUnusableSiteAndCountsIt) {
    const conversion run({"s1", "s2"}, {
                                           "1\t100\tgood1\tA\tG\t.\t.\t.\tGT\t0|1\t1|0",
                                           "1\t200\tmulti1\tA\tG,T\t.\t.\t.\tGT\t0|1\t1|0",
                                           "1\t210\tmulti2\tC\tA,G,T\t.\t.\t.\tGT\t0|1\t1|0",
                                           "1\t300\tins\tA\tAT\t.\t.\t.\tGT\t0|1\t1|0",
                                           "1\t310\tdel\tAT\tA\t.\t.\t.\tGT\t0|1\t1|0",
                                           "1\t320\tnoalt\tA\t.\t.\t.\t.\tGT\t0|0\t0|0",
                                           "1\t330\tsymbolic\tA\t<DEL>\t.\t.\t.\tGT\t0|1\t1|0",
                                           "1\t400\tunphased\tC\tT\t.\t.\t.\tGT\t0|1\t1/0",
                                           "1\t500\tmissing\tC\tT\t.\t.\t.\tGT\t.|.\t1|0",
                                           "1\t510\thalfmissing\tC\tT\t.\t.\t.\tGT\t0|1\t1|.",
                                           "1\t520\tunphasedmissing\tC\tT\t.\t.\t.\tGT\t./.\t0|0",
                                           "1\t600\tgood2\tg\tc\t.\t.\t.\tGT\t1|1\t0|1",
                                           // Split multi-allelic sites: several SNP records at one position.
                                           "1\t700\tsplitA\tA\tG\t.\t.\t.\tGT\t0|1\t0|0",
                                           "1\t700\tsplitB\tA\tT\t.\t.\t.\tGT\t1|0\t0|0",
                                           "1\t710\tsnpbeside\tA\tG\t.\t.\t.\tGT\t0/0\t1|0",
                                           "1\t710\tindelbeside\tA\tAT\t.\t.\t.\tGT\t0|0\t0|1",
                                           "1\t720\tdotcall\tC\tT\t.\t.\t.\tGT\t.\t1|0",
                                           "1\t725\talldots\tC\tT\t.\t.\t.\tGT\t.\t.",
                                           "1\t730\tsplit3a\tC\tA\t.\t.\t.\tGT\t0|1\t1|0",
                                           "1\t730\tsplit3indel\tC\tCA\t.\t.\t.\tGT\t0|1\t1|0",
                                           "1\t730\tsplit3b\tC\tG\t.\t.\t.\tGT\t0|0\t0|0",
                                           "1\t730\tsplit3c\tC\tT\t.\t.\t.\tGT\t0|0\t0|0",
                                           "1\t740\thomozygotes\tG\tA\t.\t.\t.\tGT\t1/1\t0/0",
                                           "1\t750\tmultirecord\tA\tG,T\t.\t.\t.\tGT\t0|1\t1|2",
                                           "1\t750\tsnpafter\tA\tC\t.\t.\t.\tGT\t0|1\t1|0",
                                       });
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_TRUE(run.reports("multi-allelic sites skipped: 5\n")) << run.result.err;
    EXPECT_TRUE(run.reports("indels and other sites that are not SNPs skipped: 6\n")) << run.result.err;
    EXPECT_TRUE(run.reports("sites with a missing genotype skipped: 5\n")) << run.result.err;
    EXPECT_TRUE(run.reports("sites with an unphased genotype skipped: 1\n")) << run.result.err;
    EXPECT_TRUE(run.reports("sites with a minor allele frequency below 0 skipped: 0\n")) << run.result.err;
    EXPECT_TRUE(run.reports("biallelic phased SNPs kept: 4\n")) << run.result.err;
    EXPECT_EQ(bit_panel_text(run.dir.file("out.hapbits")), "0\t1\t0\t1\n1\t1\t0\t1\n1\t0\t1\t0\n0\t1\t0\t0\n");
    const std::vector<std::string> legend = split_lines(read_file(run.dir.file("out.legend")));
    ASSERT_EQ(legend.size(), 5u);
    EXPECT_EQ(split_words(legend[1])[1], "good1");
    EXPECT_EQ(split_words(legend[2])[1], "good2");
    EXPECT_EQ(split_words(legend[3])[1], "snpbeside");
    EXPECT_EQ(split_words(legend[4])[1], "homozygotes");
}

// A record repeating a SNP with the same calls (alleles in either case) is the SNP once, not a
// multi-allelic site; one with other calls is refused (a row of the bad-input case table).
TEST(SiteRules, ARepeatedRecordOfASnpIsReadOnce) {
    const conversion run({"s1", "s2"}, {"1\t100\tfirst\tA\tG\t.\t.\t.\tGT\t0|1\t1|0",
                                        "1\t100\tagain\ta\tg\t.\t.\t.\tGT\t0|1\t1|0",
                                        "1\t100\tindel\tA\tAT\t.\t.\t.\tGT\t0|1\t1|0",
                                        "1\t100\tthird\tA\tG\t.\t.\t.\tGT\t0|1\t1|0",
                                        "1\t200\tsplitA\tA\tG\t.\t.\t.\tGT\t0|1\t1|0",
                                        "1\t200\tsplitA2\tA\tG\t.\t.\t.\tGT\t0|1\t1|0",
                                        "1\t200\tsplitB\tA\tC\t.\t.\t.\tGT\t0|0\t0|0"});
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_TRUE(run.reports("duplicate records of a SNP (same position, alleles and genotypes) read as one: 3\n"))
        << run.result.err;
    EXPECT_TRUE(run.reports("multi-allelic sites skipped: 1\n")) << run.result.err;
    EXPECT_TRUE(run.reports("biallelic phased SNPs kept: 1\n")) << run.result.err;
    EXPECT_EQ(read_file(run.dir.file("out.legend")), "chr\tid\tcM\tbp\tref\talt\n1\tfirst\t0.000990\t100\tA\tG\n");
}

// A sample whose calls drop more than 1% of the sites is named with its count, and how to leave it
// out; a drop of 1% or less is only counted.
TEST(SiteRules, TheSamplesBehindManyDroppedSitesAreNamed) {
    std::vector<std::string> records;
    for (int i = 1; i <= 200; ++i) {
        // s1 unphased at 40 sites, two of which are missing sites (s2: 1% of the sites); s3 unphased at one.
        const std::string first = i <= 40 ? "0/1" : "0|1";
        const std::string second = i == 7 || i == 9 ? ".|." : "1|0";
        const std::string third = i == 8 ? "0/1" : "1|1";
        records.push_back("1\t" + std::to_string(100 * i) + "\tr" + std::to_string(i) + "\tA\tG\t.\t.\t.\tGT\t" + first +
                          "\t" + second + "\t" + third);
    }
    const conversion run({"s1", "s2", "s3"}, records);
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_TRUE(run.reports("corvane-prepare: 38 of 200 sites (19.0%) were skipped for an unphased genotype; the samples "
                            "with most unphased calls there: s1 38, s3 1; to leave them out, give --samples FILE with "
                            "the samples to keep\n")) << run.result.err;
    EXPECT_FALSE(run.reports("skipped for a missing genotype;")) << run.result.err;
}

TEST(SiteRules, MinorAlleleFrequencyBelowTheMinimumIsSkipped) {
    // Minor allele counts among the 4 kept haplotypes: 2, 1, 0 (monomorphic), 2.
    const std::vector<std::string> records = {
        "1\t100\ta\tA\tG\t.\t.\t.\tGT\t0|1\t1|0", "1\t200\tb\tA\tG\t.\t.\t.\tGT\t1|1\t0|1",
        "1\t300\tc\tA\tG\t.\t.\t.\tGT\t1|1\t1|1", "1\t400\td\tA\tG\t.\t.\t.\tGT\t1|1\t0|0"};
    const struct {
        const char* minimum;
        const char* count_line;
        const char* hap;
    } cases[] = {
        {"0", "below 0 skipped: 0\n", "0\t1\t1\t1\n1\t1\t1\t1\n1\t0\t1\t0\n0\t1\t1\t0\n"},
        {"0.25", "below 0.25 skipped: 1\n", "0\t1\t1\n1\t1\t1\n1\t0\t0\n0\t1\t0\n"},  // 1 of 4 is not below
        {"0.3", "below 0.3 skipped: 2\n", "0\t1\n1\t1\n1\t0\n0\t0\n"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.minimum);
        const conversion run({"s1", "s2"}, records, {"--min-maf", each.minimum});
        ASSERT_EQ(run.result.status, 0) << run.result.err;
        EXPECT_TRUE(run.reports(std::string("sites with a minor allele frequency ") + each.count_line)) << run.result.err;
        EXPECT_EQ(bit_panel_text(run.dir.file("out.hapbits")), each.hap);
    }
}

// Twenty samples: the genotypes of a row are read 16 bytes at a time, so each fault sits inside such
// a block or in the tail after the last one, and each must still make its site skipped or refused.
TEST(SiteRules, FaultsAnywhereInALongRowAreFound) {
    std::vector<std::string> samples;
    for (int i = 1; i <= 20; ++i) samples.push_back(std::string(1, 's').append(std::to_string(i)));
    const auto row = [](const std::string& id, int position, int faulty_sample, const std::string& genotype) {
        std::string record = "1\t";
        record += std::to_string(position);
        record += '\t';
        record += id;
        record += "\tA\tG\t.\t.\t.\tGT";
        for (int i = 1; i <= 20; ++i) {
            record += '\t';
            record += i == faulty_sample ? genotype : std::string(i % 3 ? "0|1" : "1|1");
        }
        return record;
    };
    const conversion run(samples, {row("good1", 100, 0, ""), row("unphased", 200, 4, "1/0"),
                                   row("missing", 300, 7, ".|."), row("halfmissing", 400, 19, "0|."),
                                   row("firstunphased", 500, 20, "0/1"), row("good2", 600, 0, "")});
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_TRUE(run.reports("sites with a missing genotype skipped: 2\n")) << run.result.err;
    EXPECT_TRUE(run.reports("sites with an unphased genotype skipped: 2\n")) << run.result.err;
    EXPECT_TRUE(run.reports("biallelic phased SNPs kept: 2\n")) << run.result.err;
    std::string expected;
    for (int h = 0; h < 40; ++h) expected += (h % 2 == 1 || (h / 2 + 1) % 3 == 0) ? "1\t1\n" : "0\t0\n";
    EXPECT_EQ(bit_panel_text(run.dir.file("out.hapbits")), expected);
    const conversion index_two(samples, {row("good1", 100, 0, ""), row("two", 200, 9, "0|2")});
    EXPECT_EQ(index_two.result.status, 1);
    EXPECT_TRUE(index_two.reports("sample s9 has a GT allele index above 1")) << index_two.result.err;
}

// Each kind is skipped and counted by default, and still skipped when every other kind is refused.
// Refusing it is a row of the bad-input case table (prepare_bad_input_test.cpp).
TEST(SiteRules, EachKindIsSkippedUnlessRefused) {
    struct kind_case {
        const char* kind;
        const char* record;
        const char* count_line;
    };
    const kind_case cases[] = {
        {"multiallelic", "1\t200\tm\tA\tG,T\t.\t.\t.\tGT\t0|2", "multi-allelic sites skipped: 1"},
        {"indel", "1\t200\tm\tA\tAGG\t.\t.\t.\tGT\t0|1", "not SNPs skipped: 1"},
        {"missing", "1\t200\tm\tA\tG\t.\t.\t.\tGT\t.|1", "missing genotype skipped: 1"},
        {"unphased", "1\t200\tm\tA\tG\t.\t.\t.\tGT\t0/1", "unphased genotype skipped: 1"},
        {"multiallelic", "1\t200\tm\tA\tG\t.\t.\t.\tGT\t0|1\n1\t200\tm2\tA\tT\t.\t.\t.\tGT\t0|0",
         "multi-allelic sites skipped: 1"},
        {"missing", "1\t200\tm\tA\tG\t.\t.\t.\tGT\t.", "missing genotype skipped: 1"},
    };
    for (const kind_case& kind : cases) {
        SCOPED_TRACE(kind.kind);
        const std::vector<std::string> records = {"1\t100\tgood\tA\tG\t.\t.\t.\tGT\t0|1", kind.record,
                                                  "1\t300\tgood2\tC\tG\t.\t.\t.\tGT\t1|1"};
        const conversion skipped({"s1"}, records);
        EXPECT_EQ(skipped.result.status, 0) << skipped.result.err;
        EXPECT_TRUE(skipped.reports(kind.count_line)) << skipped.result.err;

        // Refusing everything but this kind still skips it.
        const conversion others({"s1"}, records,
                                {"--on-bad-site", "refuse", "--on-bad-site=" + std::string(kind.kind) + "=skip"});
        EXPECT_EQ(others.result.status, 0) << others.result.err;
    }
}

TEST(SiteRules, UndeclaredContigAndGtAreAccepted) {
    scratch_dir dir;
    const std::string header = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\n";
    write_file(dir.file("map.txt"), two_point_map);
    write_file(dir.file("bare.vcf"), header + "1\t100\tx\tA\tG\t.\t.\t.\tGT\t0|1\n");
    const run_result bare = run_prepare(
        {"--vcf", dir.file("bare.vcf"), "--chr", "1", "--map", dir.file("map.txt"), "--out", dir.file("bare")});
    EXPECT_EQ(bare.status, 0) << bare.err;
    EXPECT_EQ(bit_panel_text(dir.file("bare.hapbits")), "0\n1\n");
    EXPECT_NE(bare.err.find(": 1 SNP, 2 haplotypes of 1 sample\n"), std::string::npos) << bare.err;
}

// A sample list line is the id whole, but for its line end: blanks at its ends are part of it.
TEST(SiteRules, ASampleNamedWithBlanksAtItsEndsCanBeChosen) {
    scratch_dir dir;
    write_file(dir.file("in.vcf"), small_vcf({"s1", " s1 "}, {"1\t100\tx\tA\tG\t.\t.\t.\tGT\t0|0\t1|0"}));
    write_file(dir.file("map.txt"), two_point_map);
    write_file(dir.file("list.txt"), " s1 \r\n");
    const run_result chosen = run_prepare({"--vcf", dir.file("in.vcf"), "--chr", "1", "--map", dir.file("map.txt"),
                                           "--samples", dir.file("list.txt"), "--out", dir.file("out")});
    ASSERT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_EQ(read_file(dir.file("out.samples")), " s1 \n");
    EXPECT_EQ(bit_panel_text(dir.file("out.hapbits")), "1\n0\n");
}

TEST(SiteRules, RecordsOfOtherChromosomesArePassedOver) {
    // Records of other chromosomes before and after are passed over; a repeated position is sorted
    // order (two SNPs there are one multi-allelic site; the SNP beside an indel stays).
    const conversion framed({"s1"}, {"2\t100\ta\tA\tG\t.\t.\t.\tGT\t1|1", "1\t100\tx\tA\tG\t.\t.\t.\tGT\t0|1",
                                     "1\t100\tx2\tA\tAC\t.\t.\t.\tGT\t1|0", "1\t200\ty\tA\tG\t.\t.\t.\tGT\t1|0",
                                     "1\t200\ty2\tA\tC\t.\t.\t.\tGT\t0|1", "2\t50\tb\tA\tG\t.\t.\t.\tGT\t1|1"});
    EXPECT_EQ(framed.result.status, 0) << framed.result.err;
    EXPECT_EQ(bit_panel_text(framed.dir.file("out.hapbits")), "0\n1\n");
    EXPECT_TRUE(framed.reports("multi-allelic sites skipped: 1\n")) << framed.result.err;
}

TEST(SiteRules, TheChromosomesOtherSpellingIsRead) {
    // Streamed without an index, records of the other spelling are found though the header lacks it.
    const conversion spelled({"s1"}, {"chr1\t100\tx\tA\tG\t.\t.\t.\tGT\t0|1"});
    EXPECT_EQ(spelled.result.status, 0) << spelled.result.err;
    EXPECT_TRUE(spelled.reports("has no chromosome 1; using chr1, its other spelling")) << spelled.result.err;
    EXPECT_EQ(read_file(spelled.dir.file("out.legend")), "chr\tid\tcM\tbp\tref\talt\nchr1\tx\t0.000990\t100\tA\tG\n");
}

TEST(SiteRules, GeneticPositionsCanComeFromAnInfoTag) {
    const conversion tagged({"s1"}, {"1\t100\tx\tA\tG\t.\t.\tCM=0.25\tGT\t0|1", "1\t200\ty\tA\tG\t.\t.\tCM=1.5\tGT\t1|1"},
                            {"--cm-tag", "CM"});
    ASSERT_EQ(tagged.result.status, 0) << tagged.result.err;
    EXPECT_EQ(read_file(tagged.dir.file("out.legend")), "chr\tid\tcM\tbp\tref\talt\n1\tx\t0.250000\t100\tA\tG\n1\ty\t1.500000\t200\tA\tG\n");
}

// Every wrong command line is a row of the bad-input case table (prepare_bad_input_test.cpp).
TEST(PrepareCommandLine, HelpAndVersionAreAnswered) {
    const run_result help = run_prepare({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--on-bad-site"), std::string::npos);
    EXPECT_NE(help.out.find("(default 0: every site is kept)"), std::string::npos);
    const run_result version = run_prepare({"--chr", "1", "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("corvane-prepare " CORVANE_VERSION)) << version.out;
}

}  // namespace
}  // namespace corvane::testing
