// corvane-prepare --threads N through an index gives the bytes and messages of one pass, on VCFs
// made from the shipped example with a case at every place a range border can fall: split
// multi-allelic sites, duplicates and indels reaching into the next range, a refusal late in the
// chromosome, and a cM going down at the first SNP of a range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "prepare/chromosome_conversion.hpp"
#include "prepare/vcf_reader.hpp"
#include "support/prepare_support.hpp"

namespace corvane::testing {
namespace {

const std::string example_vcf = CORVANE_EXAMPLES "/chr21.phased.vcf.gz";
const std::string example_map = CORVANE_EXAMPLES "/chr21.b37.gmap.gz";

// A window of the index holds 16,384 positions; ranges start at the start of a window.
constexpr long long window = 16384;

struct vcf_record {
    long long position;
    std::string text;  // the whole line, without its line end
};

// The example's header, with the INFO field CM declared, and its records cut to the first
// `sample_count` samples, each given a CM of fixed width (so that changing one moves no byte).
struct example_records {
    std::string header;
    std::vector<vcf_record> records;
};

std::string fixed_cm(double cm) {
    char text[32];
    std::snprintf(text, sizeof text, "CM=%09.6f", cm);
    return text;
}

example_records read_example(size_t sample_count) {
    example_records example;
    for (const std::string& line : split_lines(read_gzip_file(example_vcf))) {
        if (line.starts_with("##")) {
            example.header += line + "\n";
            continue;
        }
        std::vector<std::string> fields;
        for (size_t at = 0; at <= line.size();) {
            const size_t tab = std::min(line.find('\t', at), line.size());
            fields.push_back(line.substr(at, tab - at));
            at = tab + 1;
        }
        fields.resize(9 + sample_count);
        std::string text;
        for (size_t i = 0; i < fields.size(); ++i) text += (i > 0 ? "\t" : "") + fields[i];
        if (line.starts_with("#CHROM")) {
            example.header += "##INFO=<ID=CM,Number=1,Type=Float,Description=\"genetic position\">\n" + text + "\n";
        } else {
            example.records.push_back({std::stoll(fields[1]), text});
        }
    }
    return example;
}

// A record of chromosome 21 with the given columns and the genotypes of `like`.
vcf_record made_record(long long position, const std::string& id, const std::string& ref, const std::string& alt,
                       const vcf_record& like) {
    size_t genotypes = 0;
    for (int tab = 0; tab < 9; ++tab) genotypes = like.text.find('\t', genotypes) + 1;
    return {position, "21\t" + std::to_string(position) + "\t" + id + "\t" + ref + "\t" + alt + "\t.\t.\tPR\tGT\t" +
                          like.text.substr(genotypes)};
}

// `record` with the genotype of its first sample made missing.
vcf_record with_missing_call(vcf_record record) {
    size_t genotypes = 0;
    for (int tab = 0; tab < 9; ++tab) genotypes = record.text.find('\t', genotypes) + 1;
    record.text.replace(genotypes, 3, ".|.");
    return record;
}

// The example with, at every border of two index windows B | B + 1 (1-based) in its span, a SNP at
// B, a split multi-allelic site at B + 1, a SNP given twice with the same calls at B + 2 and a
// deletion from B - 3 over the border; near the end a SNP with a missing call; and a deletion over
// several windows in the middle. Sorted by position, the example's own records first at a position.
std::vector<vcf_record> with_border_cases(const std::vector<vcf_record>& example) {
    std::vector<vcf_record> made;
    const long long first = example.front().position / window + 1;
    const long long last = example.back().position / window;
    for (long long k = first; k <= last; ++k) {
        const long long border = k * window;
        const vcf_record& like = example[static_cast<size_t>(k) % example.size()];
        const std::string id = std::string("b").append(std::to_string(k));
        made.push_back(made_record(border - 3, id + "del", "ACGTACGT", "A", like));
        made.push_back(made_record(border, id + "last", "C", "T", like));
        made.push_back(made_record(border + 1, id + "split1", "A", "G", like));
        made.push_back(made_record(border + 1, id + "split2", "A", "T", like));
        made.push_back(made_record(border + 2, id + "twice", "G", "A", like));
        made.push_back(made_record(border + 2, id + "twice", "G", "A", like));
        if (k >= last - 2) made.push_back(with_missing_call(made_record(border + 3, id + "missing", "T", "C", like)));
    }
    const long long middle = (example.front().position + example.back().position) / 2;
    made.push_back(made_record(middle, "longdel", "A" + std::string(3 * window, 'C'), "A", example[0]));
    std::vector<vcf_record> merged = example;
    merged.insert(merged.end(), made.begin(), made.end());
    std::stable_sort(merged.begin(), merged.end(),
                     [](const vcf_record& a, const vcf_record& b) { return a.position < b.position; });
    return merged;
}

// Every record's INFO given a CM rising with the position; at `decrease` (if not 0) the CM is below
// the record's before.
void give_cm(std::vector<vcf_record>& records, long long decrease) {
    for (vcf_record& record : records) {
        const size_t info = record.text.find("\t.\t.\tPR\t") + 5;
        const double cm = record.position == decrease ? 0.5 : static_cast<double>(record.position) / 1e6;
        record.text.replace(info, 2, fixed_cm(cm));
    }
}

// REF and ALT of a record.
std::pair<std::string, std::string> alleles_of(const vcf_record& record) {
    std::vector<std::string> fields;
    for (size_t at = 0; fields.size() < 5;) {
        const size_t tab = record.text.find('\t', at);
        fields.push_back(record.text.substr(at, tab - at));
        at = tab + 1;
    }
    return {fields[3], fields[4]};
}

// The position of the first SNP kept from 0-based position `begin` on: the first position whose
// SNP records are one SNP (given once or more) and whose calls are all there.
long long first_kept_snp(const std::vector<vcf_record>& records, long long begin) {
    for (size_t i = 0; i < records.size();) {
        size_t end = i;
        std::vector<std::pair<std::string, std::string>> snps;
        bool missing = false;
        for (; end < records.size() && records[end].position == records[i].position; ++end) {
            const auto alleles = alleles_of(records[end]);
            if (alleles.first.size() != 1 || alleles.second.size() != 1) continue;
            snps.push_back(alleles);
            missing |= records[end].text.find(".|.") != std::string::npos;
        }
        const bool one_snp = !snps.empty() && std::all_of(snps.begin(), snps.end(), [&](const auto& a) { return a == snps[0]; });
        if (records[i].position - 1 >= begin && one_snp && !missing) return records[i].position;
        i = end;
    }
    return 0;
}

std::string vcf_text(const example_records& example, const std::vector<vcf_record>& records) {
    std::string text = example.header;
    for (const vcf_record& record : records) text += record.text + "\n";
    return text;
}

// The VCF text bgzipped and indexed (.tbi) as PATH.vcf.gz and as an indexed PATH.bcf (.csi). The BCF
// is stored uncompressed: a CSI index keeps apart only stretches of at least 64 KB of the compressed
// file, and this one must have many.
void write_indexed(const std::string& text, const std::string& base) {
    write_file(base + ".vcf", text);
    ASSERT_TRUE(run_bcftools({"view", "-Oz", "-o", base + ".vcf.gz", base + ".vcf"}));
    ASSERT_TRUE(run_bcftools({"index", "-f", "-t", base + ".vcf.gz"}));
    ASSERT_TRUE(run_bcftools({"view", "-Ob", "-l", "0", "-o", base + ".bcf", base + ".vcf"}));
    ASSERT_TRUE(run_bcftools({"index", "-f", base + ".bcf"}));
}

// What a run left: status, standard error (its output names made alike) and the three outputs.
struct run_outcome {
    int status = -1;
    std::string err;
    std::string hapbits;
    std::string legend;
    std::string samples;
    bool operator==(const run_outcome&) const = default;
};

run_outcome convert(const std::string& vcf, const std::string& out, int threads, std::vector<std::string> extra) {
    std::vector<std::string> arguments = {"--vcf", vcf, "--chr", "21", "--out", out, "--threads", std::to_string(threads)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    const run_result ran = run_prepare(arguments);
    run_outcome outcome;
    outcome.status = ran.status;
    outcome.err = ran.err;
    if (ran.status == 0) {
        outcome.hapbits = read_file(out + ".hapbits");
        outcome.legend = read_file(out + ".legend");
        outcome.samples = read_file(out + ".samples");
    }
    return outcome;
}

// The number of ranges `threads` threads read `vcf` in.
size_t ranges_for(const std::string& vcf, int threads) {
    vcf_reader reader;
    if (open_vcf(reader, vcf, "21", true) != run_status::run_ok) return 0;
    return plan_ranges(reader, threads).size();
}

TEST(ThreadedConversion, EveryThreadCountGivesTheBytesAndMessagesOfOnePass) {
    if (!have_bcftools()) GTEST_SKIP() << "bcftools is not installed";
    scratch_dir dir;
    const example_records example = read_example(379);
    std::vector<vcf_record> records = with_border_cases(example.records);
    give_cm(records, 0);
    write_indexed(vcf_text(example, records), dir.file("borders"));
    const struct {
        const char* name;
        std::vector<std::string> arguments;
    } runs[] = {
        {"map", {"--map", example_map}},
        {"cm tag and a minimum frequency", {"--cm-tag", "CM", "--min-maf", "0.05"}},
        {"missing calls refused", {"--map", example_map, "--on-bad-site", "missing=refuse"}},
    };
    for (const char* kind : {".vcf.gz", ".bcf"}) {
        const std::string vcf = dir.file(std::string("borders") + kind);
        // The file is large enough for every thread count to read it in several ranges.
        EXPECT_GE(ranges_for(vcf, 2), 4u) << kind;
        EXPECT_GE(ranges_for(vcf, 7), 8u) << kind;
        for (const auto& run : runs) {
            SCOPED_TRACE(std::string(kind) + ", " + run.name);
            const run_outcome one_pass = convert(vcf, dir.file("out"), 0, run.arguments);
            if (std::string(run.name) == "missing calls refused") {
                EXPECT_EQ(one_pass.status, 1);
                EXPECT_NE(one_pass.err.find("missing genotype of sample"), std::string::npos) << one_pass.err;
            } else {
                ASSERT_EQ(one_pass.status, 0) << one_pass.err;
                EXPECT_NE(one_pass.err.find("multi-allelic sites skipped: "), std::string::npos);
                EXPECT_EQ(one_pass.err.find("read as one: 0"), std::string::npos) << one_pass.err;
            }
            for (const int threads : {1, 2, 7}) {
                SCOPED_TRACE(threads);
                EXPECT_TRUE(convert(vcf, dir.file("out"), threads, run.arguments) == one_pass);
            }
        }
    }
}

// A cM going down at the first SNP of a range is found where the ranges meet, with what one pass
// prints and counts up to it. The CMs are of one width, so the ranges stay where they were planned.
TEST(ThreadedConversion, ACmGoingDownAtARangeBorderIsRefusedAsInOnePass) {
    if (!have_bcftools()) GTEST_SKIP() << "bcftools is not installed";
    scratch_dir dir;
    const example_records example = read_example(379);
    const std::vector<vcf_record> records = with_border_cases(example.records);
    std::vector<vcf_record> planned = records;
    give_cm(planned, 0);
    write_indexed(vcf_text(example, planned), dir.file("planned"));
    for (const char* kind : {".vcf.gz", ".bcf"}) {
        for (const int threads : {2, 7}) {
            SCOPED_TRACE(std::string(kind) + ", " + std::to_string(threads) + " threads");
            vcf_reader reader;
            ASSERT_EQ(open_vcf(reader, dir.file(std::string("planned") + kind), "21", true), run_status::run_ok);
            const std::vector<position_range> ranges = plan_ranges(reader, threads);
            ASSERT_GE(ranges.size(), 3u);
            const long long first_snp = first_kept_snp(records, ranges[2].begin);
            std::vector<vcf_record> going_down = records;
            give_cm(going_down, first_snp);
            write_indexed(vcf_text(example, going_down), dir.file("down"));
            const std::string vcf = dir.file(std::string("down") + kind);
            vcf_reader again;
            ASSERT_EQ(open_vcf(again, vcf, "21", true), run_status::run_ok);
            const std::vector<position_range> replanned = plan_ranges(again, threads);
            ASSERT_EQ(replanned.size(), ranges.size());
            EXPECT_EQ(replanned[2].begin, ranges[2].begin);
            const run_outcome one_pass = convert(vcf, dir.file("out"), 0, {"--cm-tag", "CM"});
            EXPECT_EQ(one_pass.status, 1);
            EXPECT_NE(one_pass.err.find(":" + std::to_string(first_snp) + ": cM 0.5 is below"), std::string::npos)
                << one_pass.err;
            EXPECT_TRUE(convert(vcf, dir.file("out"), threads, {"--cm-tag", "CM"}) == one_pass);
        }
    }
}

}  // namespace
}  // namespace corvane::testing
