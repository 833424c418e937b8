// Whole conversions of the shipped chr21 example: the shipped table and legend, other input and
// output formats, sample lists, and corvane run on the result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/prepare_support.hpp"

namespace corvane::testing {
namespace {

const std::string example_vcf = CORVANE_EXAMPLES "/chr21.phased.vcf.gz";
const std::string example_map = CORVANE_EXAMPLES "/chr21.b37.gmap.gz";

run_result convert(const std::string& vcf, const std::string& out, std::vector<std::string> extra = {},
                   const std::string& chromosome = "21") {
    std::vector<std::string> arguments = {"--vcf", vcf, "--chr", chromosome, "--map", example_map, "--out", out};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return run_prepare(arguments);
}

TEST(ExampleConversion, GivesTheShippedGenotypeTableAndLegend) {
    scratch_dir dir;
    const run_result result = convert(example_vcf, dir.file("chr21"));
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string shipped_panel = read_gzip_file(CORVANE_EXAMPLES "/chr21.hap.gz");
    EXPECT_EQ(bit_panel_text(dir.file("chr21.hapbits")), shipped_panel);
    ASSERT_EQ(convert(example_vcf, dir.file("text"), {"--format", "text"}).status, 0);
    EXPECT_EQ(read_file(dir.file("text.hap")), shipped_panel);
    // The shipped text panel converted on its own gives the same bit panel.
    const run_result converted = run_prepare({"--hap", CORVANE_EXAMPLES "/chr21.hap.gz", "--out", dir.file("from-text")});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_EQ(read_file(dir.file("from-text.hapbits")), read_file(dir.file("chr21.hapbits")));

    // The shipped legend's four columns, then each SNP's REF and ALT as the VCF gives them.
    const std::vector<std::string> made = split_lines(read_file(dir.file("chr21.legend")));
    const std::vector<std::string> shipped = split_lines(read_gzip_file(CORVANE_EXAMPLES "/chr21.legend.gz"));
    std::vector<std::string> records;
    for (const std::string& line : split_lines(read_gzip_file(example_vcf))) {
        if (!line.empty() && line[0] != '#') records.push_back(line);
    }
    ASSERT_EQ(made.size(), shipped.size());
    ASSERT_EQ(made.size(), 1814u);
    ASSERT_EQ(records.size(), 1813u);
    EXPECT_EQ(made[0], "chr\tid\tcM\tbp\tref\talt");
    for (size_t i = 1; i < made.size(); ++i) {
        const std::vector<std::string_view> ours = split_words(made[i]);
        const std::vector<std::string_view> theirs = split_words(shipped[i]);
        const std::vector<std::string_view> record = split_words(records[i - 1]);
        ASSERT_EQ(ours.size(), 6u) << made[i];
        ASSERT_EQ(theirs.size(), 4u);
        EXPECT_EQ(ours[0], theirs[0]) << "row " << i;
        EXPECT_EQ(ours[1], theirs[1]) << "row " << i;
        EXPECT_NEAR(std::stod(std::string(ours[2])), std::stod(std::string(theirs[2])), 1e-6)
            << "row " << i;
        EXPECT_EQ(ours[3], theirs[3]) << "row " << i;
        EXPECT_EQ(ours[4], record[3]) << "row " << i;
        EXPECT_EQ(ours[5], record[4]) << "row " << i;
    }
    for (const char* line : {"multi-allelic sites skipped: 0\n", "not SNPs skipped: 0\n",
                             "missing genotype skipped: 0\n", "unphased genotype skipped: 0\n",
                             "biallelic phased SNPs kept: 1813\n"}) {
        EXPECT_NE(result.err.find(line), std::string::npos) << line << result.err;
    }
    // The sample ids, one per haplotype pair in panel order; nothing but the outputs is left beside them.
    const std::vector<std::string> ids = split_lines(read_file(dir.file("chr21.samples")));
    ASSERT_EQ(ids.size(), 379u);
    EXPECT_EQ(ids[0], "1_HG00096");
    EXPECT_EQ(names_starting_with(dir.path, "chr21"),
              (std::vector<std::string>{"chr21.hapbits", "chr21.legend", "chr21.log", "chr21.samples"}));

    // The run record: each kind of fact in its place, the inputs with their size and the VCF's samples,
    // every option given or not, the counts printed, the outputs.
    const std::vector<std::string> record = split_lines(read_file(dir.file("chr21.log")));
    std::vector<std::string> keys;
    for (const std::string& line : record) {
        const std::string key = line.substr(0, line.find('\t'));
        if (keys.empty() || keys.back() != key) keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"tool", "version", "command", "folder", "started", "input", "parameter",
                                              "count", "output", "wall_seconds", "cpu_seconds", "peak_memory_kb",
                                              "status"}));
    const auto has_line = [&](const std::string& wanted) {
        return std::find(record.begin(), record.end(), wanted) != record.end();
    };
    EXPECT_EQ(record[0], "tool\tcorvane-prepare");
    const std::string vcf_bytes = std::to_string(std::filesystem::file_size(example_vcf));
    EXPECT_TRUE(record[5].starts_with("input\t" + example_vcf + "\tbytes=" + vcf_bytes + "\tmodified=20")) << record[5];
    EXPECT_TRUE(record[5].ends_with("Z\tsamples=379")) << record[5];
    EXPECT_TRUE(record[6].starts_with("input\t" + example_map + "\tbytes=")) << record[6];
    for (const std::string& line : std::vector<std::string>{
             "parameter\t--chr\t21\tgiven", "parameter\t--min-maf\t0\tdefault", "parameter\t--samples\t\tdefault",
             "parameter\t--populations\t\tdefault", "parameter\t--no-index\tno\tdefault",
          "parameter\t--on-bad-site\tmultiallelic=skip\tindel=skip\tmissing=skip\tunphased=skip\tdefault",
          "count\tsnps\t1813", "count\thaplotypes\t758", "count\tskipped_unphased\t0",
          "output\t" + dir.file("chr21.legend"), "status\t0\tdone"}) {
        EXPECT_TRUE(has_line(line)) << line;
    }
    EXPECT_EQ(std::count_if(record.begin(), record.end(), [](const std::string& line) { return line.starts_with("parameter\t"); }),
              20);
}

// Plain, bgzipped and BCF inputs, each with and without an index, give the same files. The
// two-chromosome VCF checks that an index query and a filtered stream pick the same records.
TEST(ExampleConversion, PlainBgzippedAndBcfInputsGiveIdenticalFiles) {
    if (!have_bcftools()) GTEST_SKIP() << "bcftools is not installed";
    scratch_dir dir;
    write_file(dir.file("example.vcf"), read_gzip_file(example_vcf));
    write_file(dir.file("chr20.map"), "pos\tchr\tcM\n1\t20\t0\n60000000\t20\t100\n");
    const std::string two_chromosomes = dir.file("two.vcf");
    std::string text = read_gzip_file(example_vcf);
    // The same records again as chromosome 22 (declared in the header), before which chromosome 21 ends.
    std::string copy;
    for (const std::string& line : split_lines(text)) {
        if (!line.empty() && line[0] != '#') copy += "22" + line.substr(2) + "\n";
    }
    write_file(two_chromosomes, text + copy);

    for (const std::string& source : {dir.file("example.vcf"), two_chromosomes}) {
        SCOPED_TRACE(source);
        const std::string base = source.substr(0, source.size() - 4);
        ASSERT_TRUE(run_bcftools({"view", "-Oz", "-o", base + ".vcf.gz", source}));
        ASSERT_TRUE(run_bcftools({"view", "-Oz", "-o", base + ".indexed.vcf.gz", source}));
        ASSERT_TRUE(run_bcftools({"index", "-t", base + ".indexed.vcf.gz"}));
        ASSERT_TRUE(run_bcftools({"view", "-Ob", "-o", base + ".bcf", source}));
        ASSERT_TRUE(run_bcftools({"view", "-Ob", "-o", base + ".indexed.bcf", source}));
        ASSERT_TRUE(run_bcftools({"index", base + ".indexed.bcf"}));
        ASSERT_TRUE(file_exists(base + ".indexed.vcf.gz.tbi"));
        ASSERT_TRUE(file_exists(base + ".indexed.bcf.csi"));

        const run_result reference = convert(source, base + "-plain");
        ASSERT_EQ(reference.status, 0) << reference.err;
        const std::string hap = bit_panel_text(base + "-plain.hapbits");
        const std::string legend = read_file(base + "-plain.legend");
        EXPECT_EQ(hap, read_gzip_file(CORVANE_EXAMPLES "/chr21.hap.gz"));
        for (const char* variant : {".vcf.gz", ".indexed.vcf.gz", ".bcf", ".indexed.bcf"}) {
            SCOPED_TRACE(variant);
            const run_result result = convert(base + variant, base + "-converted");
            ASSERT_EQ(result.status, 0) << result.err;
            EXPECT_EQ(bit_panel_text(base + "-converted.hapbits"), hap);
            EXPECT_EQ(read_file(base + "-converted.legend"), legend);
            // Threads read an indexed file in ranges; without an index the run says what one would give.
            const run_result threaded = convert(base + variant, base + "-threaded", {"--threads", "3"});
            ASSERT_EQ(threaded.status, 0) << threaded.err;
            EXPECT_EQ(bit_panel_text(base + "-threaded.hapbits"), hap);
            EXPECT_EQ(read_file(base + "-threaded.legend"), legend);
            const bool indexed = std::string(variant).starts_with(".indexed");
            EXPECT_EQ(threaded.err.find("was read by one thread: it has no index; with one (bcftools index " + base +
                                        variant + ") the conversion reads the chromosome with all 3 threads\n") ==
                          std::string::npos,
                      indexed)
                << threaded.err;
        }
        // A chromosome asked for in the other spelling is found, through the index and streamed alike;
        // one in neither spelling names the contigs the file has records of.
        for (const char* variant : {".vcf", ".vcf.gz", ".indexed.vcf.gz", ".bcf", ".indexed.bcf"}) {
            SCOPED_TRACE(variant);
            const run_result other_spelling = convert(base + variant, base + "-spelled", {}, "chr21");
            ASSERT_EQ(other_spelling.status, 0) << other_spelling.err;
            EXPECT_NE(other_spelling.err.find("has no chromosome chr21; using 21, its other spelling"),
                      std::string::npos) << other_spelling.err;
            EXPECT_EQ(bit_panel_text(base + "-spelled.hapbits"), hap);
            const run_result absent = run_prepare({"--vcf", base + variant, "--chr", "chr20", "--map",
                                                    dir.file("chr20.map"), "--out", base + "-absent"});
            EXPECT_EQ(absent.status, 1);
            const std::string contigs = source == two_chromosomes ? "21, 22\n" : "21\n";
            EXPECT_NE(absent.err.find("has no records of chromosome chr20 (nor of 20); its records are of " + contigs),
                      std::string::npos) << absent.err;
        }
    }
}

TEST(ExampleConversion, GzipOutputIsBgzfOfTheSameBytes) {
    scratch_dir dir;
    ASSERT_EQ(convert(example_vcf, dir.file("plain"), {"--format", "text"}).status, 0);
    const run_result result = convert(example_vcf, dir.file("packed"), {"--gzip", "--threads", "2"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(file_exists(dir.file("packed.hap")));
    for (const char* kind : {".hap", ".legend"}) {
        const std::string packed = dir.file(std::string("packed") + kind + ".gz");
        EXPECT_EQ(read_gzip_file(packed), read_file(dir.file(std::string("plain") + kind)));
        // A BGZF block is a gzip member with the "BC" extra field.
        const std::string head = read_file(packed).substr(0, 16);
        ASSERT_EQ(head.size(), 16u);
        EXPECT_EQ(head.substr(0, 4), std::string("\x1f\x8b\x08\x04", 4));
        EXPECT_EQ(head.substr(12, 2), "BC");
    }
}

TEST(ExampleConversion, SampleListKeepsTheListedSamplesInVcfOrder) {
    scratch_dir dir;
    ASSERT_EQ(convert(example_vcf, dir.file("all")).status, 0);
    const std::vector<std::string> all = split_lines(bit_panel_text(dir.file("all.hapbits")));
    ASSERT_EQ(all.size(), 758u);

    // Samples 3 and 1 of the VCF, listed out of order, with an empty line and a CR.
    write_file(dir.file("samples.txt"), "3_HG00099\r\n\n1_HG00096\n");
    const run_result result = convert(example_vcf, dir.file("some"), {"--samples", dir.file("samples.txt")});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(split_lines(bit_panel_text(dir.file("some.hapbits"))),
              (std::vector<std::string>{all[0], all[1], all[4], all[5]}));
    EXPECT_EQ(read_file(dir.file("some.legend")), read_file(dir.file("all.legend")));
    EXPECT_EQ(read_file(dir.file("some.samples")), "1_HG00096\n3_HG00099\n");

    write_file(dir.file("unknown.txt"), "1_HG00096\nNA99999\n");
    const run_result unknown = convert(example_vcf, dir.file("bad"), {"--samples", dir.file("unknown.txt")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("unknown.txt:2: sample \"NA99999\" is not in"), std::string::npos) << unknown.err;
    // An id is the whole line: blanks around it are part of it.
    write_file(dir.file("padded.txt"), "  1_HG00096\n");
    const run_result padded = convert(example_vcf, dir.file("bad"), {"--samples", dir.file("padded.txt")});
    EXPECT_EQ(padded.status, 1);
    EXPECT_NE(padded.err.find("padded.txt:1: sample \"  1_HG00096\" is not in"), std::string::npos) << padded.err;

    write_file(dir.file("twice.txt"), "1_HG00096\n1_HG00096\n");
    const run_result twice = convert(example_vcf, dir.file("bad"), {"--samples", dir.file("twice.txt")});
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.err.find("twice.txt:2:"), std::string::npos) << twice.err;
    // A refused run leaves its run record only.
    EXPECT_EQ(names_starting_with(dir.path, "bad"), std::vector<std::string>{"bad.log"});
}

// One pass with --populations writes for each population the three files --samples with its samples
// writes, byte for byte, with the site rules and --min-maf applied to each on its own: a missing call
// of one population's sample and an unphased one of another's drop sites of that population only.
TEST(ExampleConversion, PopulationsFromOnePassAreThePanelsOfTheirSampleLists) {
    scratch_dir dir;
    std::string text;
    std::string populations = "sample\tpopulation\n";
    std::vector<std::string> samples;
    int record = 0;
    for (const std::string& line : split_lines(read_gzip_file(example_vcf))) {
        std::vector<std::string_view> fields = split_words(line);
        if (line.starts_with("#CHROM")) {
            for (size_t i = 9; i < fields.size(); ++i) samples.emplace_back(fields[i]);
        }
        if (line.starts_with("#")) {
            text += line + "\n";
            continue;
        }
        ++record;
        std::string changed = line;
        // Sample 1 (of AFR) missing at records 100 to 120, sample 2 (of EAS) unphased at 200 to 210.
        const auto set_call = [&](size_t sample, const char* call) {
            size_t at = 0;
            for (size_t tab = 0; tab < 9 + sample; ++tab) at = changed.find('\t', at) + 1;
            changed.replace(at, 3, call);
        };
        if (record >= 100 && record <= 120) set_call(0, ".|.");
        if (record >= 200 && record <= 210) set_call(1, "0/1");
        text += changed + "\n";
    }
    const char* names[] = {"AFR", "EAS", "EUR"};
    for (size_t i = 0; i + 9 < samples.size(); ++i) populations += samples[i] + "\t" + names[i % 3] + "\tsuper\n";
    write_file(dir.file("mixed.vcf"), text);
    write_file(dir.file("pops.txt"), populations);
    std::vector<std::pair<std::string, std::vector<std::string>>> passes = {{dir.file("mixed.vcf"), {}}};
    if (have_bcftools()) {
        ASSERT_TRUE(run_bcftools({"view", "-Oz", "-o", dir.file("mixed.vcf.gz"), dir.file("mixed.vcf")}));
        ASSERT_TRUE(run_bcftools({"index", "-t", dir.file("mixed.vcf.gz")}));
        passes.push_back({dir.file("mixed.vcf.gz"), {"--threads", "2"}});
    }
    for (const auto& [vcf, threads] : passes) {
        SCOPED_TRACE(vcf);
        std::vector<std::string> extra = {"--populations", dir.file("pops.txt"), "--min-maf", "0.05"};
        extra.insert(extra.end(), threads.begin(), threads.end());
        const run_result result = convert(vcf, dir.file("pop"), extra);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.err.find("9 of the 379 samples of " + vcf + " are in no population of " + dir.file("pops.txt") +
                                  " and are left out\n"),
                  std::string::npos) << result.err;
        EXPECT_NE(result.err.find("AFR: sites with a missing genotype skipped: 21\n"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("EAS: sites with a missing genotype skipped: 0\n"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("EAS: sites with an unphased genotype skipped: 11\n"), std::string::npos) << result.err;
        // The run record names the samples behind the drops, with their calls, per population.
        const std::string record = read_file(dir.file("pop.log"));
        EXPECT_NE(record.find("\ncount\tAFR.missing_calls." + samples[0] + "\t21\n"), std::string::npos) << record;
        EXPECT_NE(record.find("\ncount\tEAS.unphased_calls." + samples[1] + "\t11\n"), std::string::npos) << record;
        EXPECT_EQ(record.find("missing_calls." + samples[1] + "\t"), std::string::npos) << record;
        for (size_t p = 0; p < 3; ++p) {
            SCOPED_TRACE(names[p]);
            std::string listed;
            for (size_t i = p; i + 9 < samples.size(); i += 3) listed += samples[i] + "\n";
            write_file(dir.file("listed.txt"), listed);
            const run_result alone = convert(vcf, dir.file("alone"), {"--samples", dir.file("listed.txt"), "--min-maf", "0.05"});
            ASSERT_EQ(alone.status, 0) << alone.err;
            const std::string prefix = dir.file("pop.") + names[p];
            EXPECT_EQ(read_file(prefix + ".hapbits"), read_file(dir.file("alone.hapbits")));
            EXPECT_EQ(read_file(prefix + ".legend"), read_file(dir.file("alone.legend")));
            EXPECT_EQ(read_file(prefix + ".samples"), listed);
        }
    }
}

// The bit panel and the BGZF text give corvane the same regions.
TEST(ExampleConversion, CorvaneScansTheConvertedFiles) {
    scratch_dir dir;
    ASSERT_EQ(convert(example_vcf, dir.file("chr21"), {"--gzip"}).status, 0);
    ASSERT_EQ(convert(example_vcf, dir.file("bits")).status, 0);
    const run_result scan =
        run_scan_tool(CORVANE_EXE, dir.file("chr21.hap.gz"), dir.file("chr21.legend.gz"), "0.5", dir.file("regions.txt"));
    ASSERT_EQ(scan.status, 0) << scan.err;
    const std::vector<std::string> rows = split_lines(read_file(dir.file("regions.txt")));
    ASSERT_GT(rows.size(), 1u);
    EXPECT_EQ(rows[0], "chr\tstartpos\tendpos\tgenetic_dist\tphysical_dist\tn.snp");
    EXPECT_EQ(split_words(rows[1])[0], "21");
    const run_result bit_scan =
        run_scan_tool(CORVANE_EXE, dir.file("bits.hapbits"), dir.file("bits.legend"), "0.5", dir.file("bit-regions.txt"));
    ASSERT_EQ(bit_scan.status, 0) << bit_scan.err;
    EXPECT_EQ(read_file(dir.file("bit-regions.txt")), read_file(dir.file("regions.txt")));
}

}  // namespace
}  // namespace corvane::testing
