// corvane-prepare on bad input, one row each: a wrong command line, a site refused, a malformed or
// disordered VCF, a bgzipped VCF cut short or with an index that does not fit it, a bad genetic map
// or INFO tag, a population file that cannot give panels, an output that names an input, a text
// panel that cannot be a bit panel, an ms file of simulations that is not well formed. Each fault is
// reported once, with no counts, and leaves no output (older outputs as they were) but the run record, which says how the run ended and why (a wrong
// command line leaves none). A row runs alone as ctest -R 'prepare.Rows/PrepareBadInput.*/NAME$'.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <utime.h>

#include <gtest/gtest.h>

#include "support/prepare_support.hpp"

namespace corvane::testing {
namespace {

const std::string two_point_map = "pos\tchr\tcM\n1\t1\t0\n1000000\t1\t10\n1\t2\t0\n1000000\t2\t10\n";
const std::string good_record = "1\t100\tgood\tA\tG\t.\t.\t.\tGT\t0|1";
const std::string good_record_2 = "1\t300\tgood2\tC\tG\t.\t.\t.\tGT\t1|1";

// Written in arguments and texts; each run replaces them with its scratch paths: {V} the VCF, {Z} the
// VCF bgzipped, {M} the map, {P} a population file, {H} a text panel, {S} an ms file, {O} the output
// prefix, {D} the scratch folder.
std::vector<std::string> vcf_arguments(std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments = {"--vcf", "{V}", "--chr", "1", "--map", "{M}", "--out", "{O}"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

// What is done to the VCF {V} before the run, into {Z}: bgzipped (bcftools view -Oz), then cut
// short, or indexed (bcftools index -t) by an index that does not fit it.
enum class vcf_change { none, cut_at_a_block_boundary, cut_inside_a_block, index_older_than_data, index_of_another_file };

struct prepare_case {
    std::string name;
    vcf_change change = vcf_change::none;
    std::vector<std::string> records = {good_record, good_record_2};  // the VCF's records, small_vcf's header
    std::vector<std::string> samples = {"s1"};
    std::string vcf_text = "";  // a whole VCF instead, when not empty
    std::string map = two_point_map;
    std::string text_panel = "";  // {H}, written when not empty
    std::string ms_text = "";     // {S}, written when not empty
    std::string populations = "";  // {P}, written when not empty
    std::vector<std::string> arguments = vcf_arguments();
    int status = 1;
    std::string message;  // a line standing once on standard error
    void (*setup)(const std::string& folder) = nullptr;  // older outputs and folders the case needs
    std::string ended = "bad input";  // the word of the run record's status line
};

void PrintTo(const prepare_case& row, std::ostream* stream) { *stream << row.name; }

// `count` good records of chromosome 1, about 40 bytes each: enough for several BGZF blocks.
std::vector<std::string> numbered_records(int count) {
    std::vector<std::string> records;
    for (int i = 1; i <= count; ++i) {
        records.push_back("1\t" + std::to_string(100 * i) + "\tsite" + std::to_string(i) + "\tA\tG\t.\t.\t.\tGT\t0|1");
    }
    return records;
}

// The byte offsets at which the BGZF blocks of `bytes` start (each block gives its size at 16).
std::vector<size_t> block_starts(const std::string& bytes) {
    std::vector<size_t> starts;
    for (size_t at = 0; at + 18 <= bytes.size();) {
        starts.push_back(at);
        at += (static_cast<unsigned char>(bytes[at + 16]) | static_cast<unsigned char>(bytes[at + 17]) << 8) + 1;
    }
    return starts;
}

void set_modification_time(const std::string& path, int64_t seconds) {
    const struct utimbuf times = {.actime = static_cast<time_t>(seconds), .modtime = static_cast<time_t>(seconds)};
    ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

// Makes {Z} from {V} as `change` says; false when bcftools is not there to do it.
bool apply_change(vcf_change change, const scratch_dir& dir) {
    if (change == vcf_change::none) return true;
    const std::string vcf = dir.file("in.vcf");
    const std::string packed = dir.file("in.vcf.gz");
    if (!run_bcftools({"view", "-Oz", "-o", packed, vcf})) return false;
    const std::string bytes = read_file(packed);
    const std::vector<size_t> starts = block_starts(bytes);
    switch (change) {
        case vcf_change::none: break;
        case vcf_change::cut_at_a_block_boundary:
            EXPECT_GE(starts.size(), 3u) << "too few blocks to cut";
            write_file(packed, bytes.substr(0, starts.at(1)));
            break;
        case vcf_change::cut_inside_a_block:
            write_file(packed, bytes.substr(0, (starts.at(0) + starts.at(1)) / 2));
            break;
        case vcf_change::index_older_than_data:
            if (!run_bcftools({"index", "-t", packed})) return false;
            set_modification_time(packed + ".tbi", 1000000000);
            break;
        case vcf_change::index_of_another_file: {
            // The same records behind a longer header: every offset of its index is off.
            const std::string other = dir.file("other.vcf");
            std::string text = read_file(vcf);
            text.insert(text.find('\n') + 1, "##comment=" + std::string(3000, 'x') + "\n");
            write_file(other, text);
            if (!run_bcftools({"view", "-Oz", "-o", other + ".gz", other}) || !run_bcftools({"index", "-t", other + ".gz"})) {
                return false;
            }
            write_file(packed + ".tbi", read_file(other + ".gz.tbi"));
            break;
        }
    }
    return true;
}

prepare_case wrong_command_line(const std::string& name, std::vector<std::string> arguments, const std::string& what) {
    return {.name = name, .arguments = std::move(arguments), .status = 2, .message = "corvane-prepare: " + what};
}

prepare_case site_refused(const std::string& kind, const std::string& record, const std::string& message,
                          const std::string& name) {
    return {.name = name,
            .records = {good_record, record, good_record_2},
            .arguments = vcf_arguments({"--on-bad-site", kind + "=refuse"}),
            .message = "{V}: " + message + " (--on-bad-site " + kind + "=skip would skip such sites)"};
}

prepare_case bad_map(const std::string& name, const std::string& map, const std::string& message) {
    return {.name = name, .records = {"1\t150\tx\tA\tG\t.\t.\t.\tGT\t0|1"}, .map = map, .message = message};
}

const std::string no_end_marker =
    "corvane-prepare: {Z} has no BGZF end-of-file marker: the file is cut short (a copy or download that did not "
    "finish?), or its writer did not close it; nothing of it is converted. Make it again, or, if it is known to be "
    "whole, recompress it (bcftools view -Oz -o NEW.vcf.gz {Z})";

// The VCF bgzipped as {Z} and changed as `change` says before the run.
prepare_case compressed_vcf_fault(const std::string& name, vcf_change change, const std::string& message,
                                  std::vector<std::string> records = {good_record, good_record_2}) {
    return {.name = name,
            .change = change,
            .records = std::move(records),
            .arguments = {"--vcf", "{Z}", "--chr", "1", "--map", "{M}", "--out", "{O}"},
            .message = message};
}

prepare_case population_fault(const std::string& name, const std::string& populations, const std::string& message) {
    return {.name = name,
            .samples = {"s1", "s2"},
            .populations = populations,
            .arguments = vcf_arguments({"--populations", "{P}"}),
            .message = message};
}

prepare_case cm_tag_fault(const std::string& name, std::vector<std::string> records, const std::string& tag,
                          const std::string& message) {
    return {.name = name,
            .records = std::move(records),
            .arguments = {"--vcf", "{V}", "--chr", "1", "--cm-tag", tag, "--out", "{O}"},
            .message = message};
}

// An ms file of two replicates of two haplotypes, the second as given: the fault in it leaves the
// first replicate's outputs behind no more than its own.
const std::string good_replicate = "//\nsegsites: 3\npositions: 0.1 0.5 0.9\n010\n111\n";

prepare_case ms_fault(const std::string& name, const std::string& second_replicate, const std::string& message) {
    return {.name = name,
            .ms_text = "ms 2 2 -t 1.5\n1 2 3\n\n" + good_replicate + "\n" + second_replicate,
            .arguments = {"--ms", "{S}", "--length", "1000", "--cm-per-mb", "1.2", "--out", "{O}"},
            .message = message};
}

// Older outputs of the prefix {O} that a refused run must leave as they are, and a folder where
// the output `folder_name` goes.
template <const char* folder_name>
void older_outputs_and_a_folder(const std::string& folder) {
    write_file(folder + "/out.hapbits", "older panel\n");
    write_file(folder + "/out.legend", "older legend\n");
    write_file(folder + "/out.samples", "older samples\n");
    std::filesystem::remove(folder + "/" + folder_name);
    std::filesystem::create_directory(folder + "/" + folder_name);
}
constexpr char samples_output[] = "out.samples";
constexpr char legend_output[] = "out.legend";

std::vector<prepare_case> prepare_cases() {
    return {
        // The command line, checked before anything is read.
        wrong_command_line("no_arguments", {}, "missing --vcf FILE"),
        wrong_command_line("no_cm_source", {"--vcf", "a.vcf", "--chr", "1", "--out", "o"},
                           "give exactly one of --map FILE, --cm-tag TAG and --cm-per-mb R"),
        wrong_command_line("two_cm_sources", {"--vcf", "a.vcf", "--chr", "1", "--map", "m", "--cm-tag", "CM", "--out", "o"},
                           "give exactly one of --map FILE, --cm-tag TAG and --cm-per-mb R"),
        wrong_command_line("unknown_option", vcf_arguments({"--frobnicate"}), "unknown option --frobnicate"),
        wrong_command_line("value_missing", {"--vcf", "a.vcf", "--chr", "1", "--map", "m", "--out"},
                           "--out needs a value"),
        wrong_command_line("option_given_twice", {"--vcf", "a.vcf", "--vcf", "b.vcf"}, "--vcf given twice"),
        wrong_command_line("empty_value", {"--vcf="}, "--vcf needs a non-empty value"),
        wrong_command_line("flag_given_a_value", vcf_arguments({"--gzip=yes"}), "unknown option --gzip=yes"),
        wrong_command_line("unknown_site_action", vcf_arguments({"--on-bad-site", "drop"}),
                           "--on-bad-site takes skip, refuse or KIND=skip|refuse with KIND one of multiallelic, "
                           "indel, missing, unphased; got \"drop\""),
        wrong_command_line("unknown_site_kind", vcf_arguments({"--on-bad-site", "snp=skip"}),
                           "--on-bad-site takes skip, refuse or KIND=skip|refuse with KIND one of multiallelic, "
                           "indel, missing, unphased; got \"snp=skip\""),
        wrong_command_line("site_action_without_its_kind", vcf_arguments({"--on-bad-site", "=skip"}),
                           "--on-bad-site takes skip, refuse or KIND=skip|refuse with KIND one of multiallelic, "
                           "indel, missing, unphased; got \"=skip\""),
        wrong_command_line("unknown_map_layout", vcf_arguments({"--map-layout", "csv"}),
                           "unknown map layout \"csv\" (use auto, pos-chr-cm, shapeit, plink or hapmap)"),
        // A prefix naming a folder would hide the outputs in it (dir/.hapbits) or put them beside it.
        wrong_command_line("output_prefix_ending_in_a_slash",
                           {"--vcf", "{V}", "--chr", "1", "--map", "{M}", "--out", "{D}/"},
                           "--out takes a prefix of file names, but \"{D}/\" names a folder; give a prefix inside "
                           "it, such as {D}/NAME"),
        wrong_command_line("output_prefix_naming_a_folder",
                           {"--vcf", "{V}", "--chr", "1", "--map", "{M}", "--out", "{D}"},
                           "--out takes a prefix of file names, but \"{D}\" names a folder; give a prefix inside "
                           "it, such as {D}/NAME"),
        wrong_command_line("map_layout_without_map",
                           {"--vcf", "a.vcf", "--chr", "1", "--cm-tag", "CM", "--out", "o", "--map-layout", "plink"},
                           "--map-layout needs --map"),
        wrong_command_line("unknown_format", vcf_arguments({"--format", "binary"}),
                           "unknown format \"binary\" (use bits, text or gzip)"),
        wrong_command_line("negative_threads", vcf_arguments({"--threads", "-1"}),
                           "--threads takes a whole number from 0 to 256, got \"-1\""),
        wrong_command_line("minimum_frequency_above_a_half", vcf_arguments({"--min-maf", "0.6"}),
                           "--min-maf takes a number from 0 to 0.5; got \"0.6\""),
        wrong_command_line("minimum_frequency_in_percent", vcf_arguments({"--min-maf", "5%"}),
                           "--min-maf takes a number from 0 to 0.5; got \"5%\""),
        wrong_command_line("samples_and_populations", vcf_arguments({"--samples", "s.txt", "--populations", "p.txt"}),
                           "give one of --samples FILE and --populations FILE, not both"),
        wrong_command_line("vcf_and_text_panel", {"--hap", "p.hap", "--vcf", "a.vcf", "--out", "o"},
                           "give one of --vcf FILE and --hap GENOTYPES, not both"),
        wrong_command_line("text_panel_to_text", {"--hap", "p.hap", "--out", "o", "--format", "text"},
                           "--hap converts a text panel into a bit panel only"),
        wrong_command_line("text_panel_with_a_chromosome", {"--hap", "p.hap", "--chr", "1", "--out", "o"},
                           "--hap takes only --out (and --threads): the panel is converted as it is"),
        wrong_command_line("simulations_without_a_length", {"--ms", "s.ms", "--cm-per-mb", "1", "--out", "o"},
                           "--ms needs --length BP, the length of the simulated region"),
        wrong_command_line("simulations_without_a_map", {"--ms", "s.ms", "--length", "1000", "--out", "o"},
                           "give exactly one of --map FILE and --cm-per-mb R"),
        wrong_command_line("simulations_with_a_chromosome", {"--ms", "s.ms", "--length", "1000", "--cm-per-mb", "1",
                                                             "--chr", "1", "--out", "o"},
                           "--ms takes --length, --map (with --map-layout, --map-chr) or --cm-per-mb, --rep-prefix, "
                           "--min-maf and --out: each replicate becomes a bit panel"),
        wrong_command_line("length_without_simulations", vcf_arguments({"--length", "1000"}),
                           "--length and --rep-prefix need --ms"),
        wrong_command_line("length_that_is_no_whole_number", {"--ms", "s.ms", "--length", "5e5"},
                           "--length takes a whole number of bp from 1 to 2000000000, got \"5e5\""),
        wrong_command_line("rate_of_zero", {"--ms", "s.ms", "--length", "1000", "--cm-per-mb", "0"},
                           "--cm-per-mb takes a number of cM per Mb above 0, got \"0\""),

        // Sites refused when asked: the first one met ends the run.
        site_refused("multiallelic", "1\t200\tm\tA\tG,T\t.\t.\t.\tGT\t0|2", "1:200: multi-allelic site refused",
                     "multiallelic_site_refused"),
        site_refused("multiallelic", "1\t200\tm\tA\tG\t.\t.\t.\tGT\t0|1\n1\t200\tm2\tA\tT\t.\t.\t.\tGT\t0|0",
                     "1:200: multi-allelic site refused", "split_multiallelic_site_refused"),
        site_refused("indel", "1\t200\tm\tA\tAGG\t.\t.\t.\tGT\t0|1",
                     "1:200: site that is not a SNP (indel or other variant) refused", "indel_refused"),
        site_refused("missing", "1\t200\tm\tA\tG\t.\t.\t.\tGT\t.|1", "1:200: missing genotype of sample s1 refused",
                     "missing_allele_refused"),
        site_refused("missing", "1\t200\tm\tA\tG\t.\t.\t.\tGT\t.", "1:200: missing genotype of sample s1 refused",
                     "missing_call_refused"),
        site_refused("unphased", "1\t200\tm\tA\tG\t.\t.\t.\tGT\t0/1", "1:200: unphased genotype of sample s1 refused",
                     "unphased_genotype_refused"),

        // Records that cannot be a panel's, whatever the policy.
        {.name = "genotype_not_diploid",
         .records = {"1\t100\tx\tA\tG\t.\t.\t.\tGT\t0|1\t1"},
         .samples = {"s1", "s2"},
         .message = "{V}: 1:100: sample s2 has a genotype that is not diploid (a phased panel needs two haplotypes "
                    "per sample)"},
        {.name = "record_without_gt",
         .records = {"1\t100\tx\tA\tG\t.\t.\t.\tDP\t3"},
         .message = "{V}: 1:100: has no GT field"},
        {.name = "broken_record",
         .vcf_text = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\n"
                     "1\t100\tx\tA\tG\t.\t.\t.\tGT\t0|1\n1\t200\ty\tA\tG\t.\t.\t.\tGT\t0|x\n",
         .message = "corvane-prepare: {V}: cannot read a record (broken or truncated file?); the last one read was "
                    "1:100"},
        {.name = "records_out_of_order",
         .records = {"1\t200\tx\tA\tG\t.\t.\t.\tGT\t0|1", "1\t100\ty\tA\tG\t.\t.\t.\tGT\t0|1"},
         .message = "{V}: 1:100: position comes after 200; records must be in increasing position order (sort the "
                    "VCF first, e.g. bcftools sort)"},
        {.name = "chromosome_in_two_blocks",
         .records = {"1\t100\tx\tA\tG\t.\t.\t.\tGT\t0|1", "2\t100\ty\tA\tG\t.\t.\t.\tGT\t0|1",
                     "1\t300\tz\tA\tG\t.\t.\t.\tGT\t0|1"},
         .message = "{V}: 1:300: the records of this chromosome are not all together; sort the VCF first (e.g. "
                    "bcftools sort)"},
        {.name = "position_beyond_32_bits",
         .records = {good_record, "1\t3038729691\tbig\tA\tG\t.\t.\t.\tGT\t0|1"},
         .message = "{V}: 1:3038729691: the position is beyond 2147483647, the largest that corvane's legend and scan "
                    "hold"},
        {.name = "snp_repeated_with_other_genotypes",
         .records = {good_record, "1\t200\ta\tA\tG\t.\t.\t.\tGT\t0|1", "1\t200\tb\tA\tG\t.\t.\t.\tGT\t1|1",
                     good_record_2},
         .message = "{V}: 1:200: the SNP A>G is given in two records with different genotypes; which is right cannot "
                    "be told: remove the wrong record (bcftools norm -d exact keeps the first of each)"},
        {.name = "sample_named_twice_in_the_header",
         .records = {"1\t100\tx\tA\tG\t.\t.\t.\tGT\t0|1\t1|1\t0|0"},
         .samples = {"s1", "s2", "s1"},
         .message = "corvane-prepare: {V}: cannot read the VCF header: the header names sample \"s1\" twice (columns 10 "
                    "and 12); sample names must be unique: rename one of them"},
        {.name = "no_usable_snp",
         .records = {"1\t100\tx\tA\tGT\t.\t.\t.\tGT\t0|1"},
         .message = "corvane-prepare: the one site of chromosome 1 in {V} is not a usable SNP (indels and other "
                    "sites that are not SNPs skipped: 1)"},
        {.name = "no_usable_snp_of_several",
         .records = {"1\t100\tx\tA\tGT\t.\t.\t.\tGT\t0|1", "1\t200\ty\tA\tG\t.\t.\t.\tGT\t0/1"},
         .message = "corvane-prepare: none of the 2 sites of chromosome 1 in {V} is a usable SNP (indels and other "
                    "sites that are not SNPs skipped: 1; sites with an unphased genotype skipped: 1)"},
        {.name = "chromosome_absent",
         .records = {"2\t100\tx\tA\tG\t.\t.\t.\tGT\t0|1"},
         .message = "corvane-prepare: {V} has no records of chromosome 1 (nor of chr1); its records are of 2"},

        // A bgzipped VCF cut short, read in part it would convert part of the chromosome.
        compressed_vcf_fault("vcf_gz_cut_at_a_block_boundary", vcf_change::cut_at_a_block_boundary, no_end_marker,
                             numbered_records(5000)),
        compressed_vcf_fault("vcf_gz_cut_inside_a_block", vcf_change::cut_inside_a_block, no_end_marker,
                             numbered_records(5000)),
        compressed_vcf_fault("index_older_than_data", vcf_change::index_older_than_data,
                             "corvane-prepare: {Z}.tbi is older than {Z}: it may describe the file as it was before it "
                             "last changed; remake it (bcftools index -f -t {Z}), or give --no-index to read the file "
                             "without it"),
        compressed_vcf_fault("index_of_another_file", vcf_change::index_of_another_file,
                             "corvane-prepare: {Z}.tbi does not fit {Z}: no record of chromosome 1 starts where it "
                             "places one (the index was made for another file, or before the file changed); remake it "
                             "(bcftools index -f -t {Z}), or give --no-index to read the file without it"),

        // Genetic positions from a map that cannot give them.
        bad_map("map_out_of_order", "pos chr cM\n100 1 0.1\n300 1 0.3\n200 1 0.2\n",
                "{M}:4: position 200 comes after 300; map rows must be in increasing position order"),
        bad_map("map_position_repeated", "pos chr cM\n100 1 0.1\n200 1 0.2\n200 1 0.3\n",
                "{M}:4: position 200 is repeated; map positions must increase"),
        bad_map("map_cm_not_a_number", "pos chr cM\n100 1 0.1\n200 1 nan\n300 1 0.3\n",
                "{M}:3: the cM position is not a finite number"),
        bad_map("map_cm_infinite", "pos chr cM\n100 1 0.1\n200 1 inf\n", "{M}:3: the cM position is not a finite number"),
        bad_map("map_rate_infinite", "Chromosome Position(bp) Rate(cM/Mb) Map(cM)\n1 100 -inf 0.1\n1 200 0 0.2\n",
                "{M}:2: the rate (cM/Mb) is not a finite number"),
        bad_map("map_cm_all_equal", "1 a 0.5 100\n1 b 0.5 200\n1 c 0.5 300\n",
                "corvane-prepare: genetic map {M}: all 3 rows for chromosome 1 have the same cM (0.5); such a map "
                "gives no genetic distances"),
        bad_map("map_cm_going_down", "pos chr cM\n100 1 0.3\n200 1 0.2\n",
                "{M}:3: cM 0.2 is below the 0.3 of the row before; cM must not decrease"),
        bad_map("map_without_the_chromosome", "pos chr cM\n100 2 0.1\n200 2 0.2\n",
                "corvane-prepare: genetic map {M} has no rows for chromosome 1 (2 rows of others, such as \"2\"); the "
                "layout may be wrong: it was read as pos chr cM (told from the first line), with the chromosome in "
                "column 2; set it with --map-layout pos-chr-cm, shapeit, plink or hapmap"),
        bad_map("map_of_one_row", "pos chr cM\n100 1 0.5\n",
                "corvane-prepare: genetic map {M} has one row for chromosome 1; a map needs at least two positions of "
                "different cM"),
        // A PLINK map of chr, id and bp (no cM), read as pos chr cM: no row names the chromosome.
        bad_map("plink_map_of_three_columns", "1 rs1 100\n1 rs2 200\n",
                "corvane-prepare: genetic map {M} has no rows for chromosome 1 (2 rows of others, such as \"rs1\"); "
                "the layout may be wrong: it was read as pos chr cM (told from the first line), with the chromosome "
                "in column 2; set it with --map-layout pos-chr-cm, shapeit, plink or hapmap"),
        // A SHAPEIT/IMPUTE map (position rate cM) read as pos chr cM: a row whose rate is 1 would be
        // taken as a row of chromosome 1.
        {.name = "rate_column_read_as_the_chromosome",
         .records = {"1\t150\tx\tA\tG\t.\t.\t.\tGT\t0|1"},
         .map = "position COMBINED_rate(cM/Mb) Genetic_Map(cM)\n100 1 0.1\n200 0.5 0.2\n300 1 0.3\n",
         .arguments = vcf_arguments({"--map-layout", "pos-chr-cm"}),
         .message = "{M}:3: the chromosome column of pos chr cM holds the number 0.5: the layout may be wrong (as "
                    "--map-layout says); set it with --map-layout pos-chr-cm, shapeit, plink or hapmap (shapeit: "
                    "position rate cM, as SHAPEIT and IMPUTE maps have)"},
        // Genetic positions that the scan, reading cM in single precision, would read as infinite,
        // or whose interpolation overflows.
        bad_map("map_cm_beyond_single_precision", "pos chr cM\n100 1 0\n200 1 1e300\n",
                "{M}:3: the cM position is beyond 3.40282e+38, the largest genetic position corvane reads (single "
                "precision)"),
        bad_map("map_interpolation_overflowing", "pos chr cM\n100 1 -1.7e308\n200 1 1.7e308\n",
                "{M}:2: the cM position is beyond 3.40282e+38, the largest genetic position corvane reads (single "
                "precision)"),
        {.name = "map_extrapolated_beyond_single_precision",
         .records = {"1\t150\tx\tA\tG\t.\t.\t.\tGT\t0|1", "1\t1000\ty\tA\tG\t.\t.\t.\tGT\t0|1"},
         .map = "pos chr cM\n100 1 0\n200 1 3e38\n",
         .message = "{V}: 1:1000: the genetic map gives this SNP a cM of 2.7e+39, beyond 3.40282e+38, the largest "
                    "genetic position corvane reads (single precision); is the map of this chromosome and in cM?"},

        // Genetic positions from an INFO tag that cannot give them.
        cm_tag_fault("site_without_the_cm_tag",
                     {"1\t100\tx\tA\tG\t.\t.\tCM=0.25\tGT\t0|1", "1\t200\ty\tA\tG\t.\t.\t.\tGT\t1|1"}, "CM",
                     "{V}: 1:200: INFO field CM does not hold one finite cM value"),
        cm_tag_fault("cm_tag_going_down",
                     {"1\t100\tx\tA\tG\t.\t.\tCM=2\tGT\t0|1", "1\t200\ty\tA\tG\t.\t.\tCM=1\tGT\t1|1"}, "CM",
                     "{V}: 1:200: cM 1 is below the 2 of the SNP before; genetic positions must not decrease"),
        cm_tag_fault("cm_tag_not_in_the_header", {"1\t100\tx\tA\tG\t.\t.\t.\tGT\t0|1"}, "GM",
                     "corvane-prepare: {V}: the header defines no INFO field GM"),

        // Population files that cannot give panels.
        population_fault("population_without_a_sample", "s1\tEUR\ns2\n",
                         "{P}:2: expected a sample id and its population, found only \"s2\""),
        population_fault("population_sample_not_in_the_vcf", "s1 EUR\nNA12878 EUR\n",
                         "{P}:2: sample \"NA12878\" is not in {V}"),
        population_fault("population_sample_named_twice", "sample pop\ns1 EUR\ns2 AFR\ns1 AFR\n",
                         "{P}:4: sample \"s1\" is listed again (first on line 2)"),
        population_fault("population_not_a_file_name_part", "s1 EUR\ns2 ../AFR\n",
                         "{P}:2: population \"../AFR\" cannot be part of a file name (PREFIX.../AFR.hapbits): use "
                         "letters, digits, \".\", \"_\" and \"-\", not starting with \".\""),
        population_fault("population_file_of_a_header_alone", "sample\tpopulation\n\n",
                         "corvane-prepare: population file {P} names no sample of {V}"),

        // Outputs and the text panel mode.
        {.name = "output_is_the_map",
         .arguments = {"--vcf", "{V}", "--chr", "1", "--map", "{D}/x.legend", "--out", "{D}/x"},
         .message = "corvane-prepare: output file {D}/x.legend is the input file {D}/x.legend; refusing to "
                    "overwrite an input",
         .ended = "output failed"},
        // Simulations that are not well-formed ms: the replicate at fault named with its line.
        ms_fault("ms_segsites_count_not_that_of_the_positions", "//\nsegsites: 3\npositions: 0.1 0.5\n01\n11\n",
                 "{S}:12: 2 positions, but the segsites line (line 11) says 3"),
        ms_fault("ms_haplotype_of_the_wrong_length", "//\nsegsites: 3\npositions: 0.1 0.5 0.9\n010\n1110\n",
                 "{S}:14: haplotype 2 of replicate 2 has 4 alleles, but its segsites line (line 11) says 3"),
        ms_fault("ms_allele_other_than_0_or_1", "//\nsegsites: 3\npositions: 0.1 0.5 0.9\n010\n121\n",
                 "{S}:14: allele 2 of haplotype 2 is '2'; ms haplotypes hold only 0 and 1"),
        ms_fault("ms_positions_out_of_order", "//\nsegsites: 3\npositions: 0.1 0.5 0.4\n010\n111\n",
                 "{S}:12: position 3 (\"0.4\") comes before the position before it; positions must not decrease"),
        ms_fault("ms_position_outside_the_region", "//\nsegsites: 3\npositions: 0.1 0.5 1.0\n010\n111\n",
                 "{S}:12: position 3 (\"1.0\") is outside (0, 1); ms positions are fractions of the region"),
        ms_fault("ms_replicate_without_segregating_sites", "//\nsegsites: 0\n",
                 "{S}:11: replicate 2 has no segregating sites; a panel needs at least one SNP"),
        ms_fault("ms_replicate_with_haplotypes_missing", "//\nsegsites: 3\npositions: 0.1 0.5 0.9\n010\n",
                 "{S}:14: replicate 2 has 1 haplotypes, but its command line (line 1) asks for 2; is the file cut short?"),
        ms_fault("ms_replicates_missing", "", "corvane-prepare: {S}: 1 replicates, but its command line (line 1) asks "
                                              "for 2; is the file cut short?"),
        {.name = "ms_without_replicates",
         .ms_text = "ms 2 2 -t 1.5\n1 2 3\n\n",
         .arguments = {"--ms", "{S}", "--length", "1000", "--cm-per-mb", "1.2", "--out", "{O}"},
         .message = "corvane-prepare: {S}: no replicate: an ms file's replicates each start with a line //"},
        {.name = "ms_on_a_map_of_two_chromosomes",
         .map = two_point_map,
         .ms_text = "ms 2 1\n" + good_replicate,
         .arguments = {"--ms", "{S}", "--length", "1000", "--map", "{M}", "--out", "{O}"},
         .message = "{M}:4: chromosome 2, but the rows before are of chromosome 1; a map of several chromosomes needs "
                    "--map-chr NAME to say which one to use"},
        // An output name where a folder stands is found before the conversion, and the older
        // outputs stay as they were.
        {.name = "samples_output_is_a_folder",
         .message = "corvane-prepare: cannot create output file {O}.samples: Is a directory",
         .setup = older_outputs_and_a_folder<samples_output>,
         .ended = "output failed"},
        {.name = "legend_output_is_a_folder",
         .message = "corvane-prepare: cannot create output file {O}.legend: Is a directory",
         .setup = older_outputs_and_a_folder<legend_output>,
         .ended = "output failed"},
        {.name = "text_panel_with_other_alleles",
         .text_panel = "0 1 1\n1 0 9\n",
         .arguments = {"--hap", "{H}", "--out", "{O}"},
         .message = "{H}:2: allele 3 is 9, but a bit panel holds only alleles 0 and 1; corvane reads this panel as "
                    "it is, as text"},
    };
}

class PrepareBadInput : public ::testing::TestWithParam<prepare_case> {};

TEST_P(PrepareBadInput, ReportsTheFaultOnceAndLeavesNoOutput) {
    const prepare_case& row = GetParam();
    scratch_dir dir;
    const std::pair<std::string, std::string> paths[] = {{"{V}", dir.file("in.vcf")},
                                                         {"{Z}", dir.file("in.vcf.gz")},
                                                         {"{M}", dir.file("map.txt")},
                                                         {"{P}", dir.file("pops.txt")},
                                                         {"{H}", dir.file("in.hap")},
                                                         {"{S}", dir.file("in.ms")},
                                                         {"{O}", dir.file("out")},
                                                         {"{D}", dir.path}};
    const auto substitute = [&](std::string text) {
        for (const auto& [mark, path] : paths) {
            for (size_t at = 0; (at = text.find(mark, at)) != std::string::npos; at += path.size()) {
                text.replace(at, mark.size(), path);
            }
        }
        return text;
    };
    write_file(dir.file("in.vcf"), row.vcf_text.empty() ? small_vcf(row.samples, row.records) : row.vcf_text);
    write_file(dir.file("map.txt"), row.map);
    write_file(dir.file("x.legend"), row.map);
    if (!row.text_panel.empty()) write_file(dir.file("in.hap"), row.text_panel);
    if (!row.ms_text.empty()) write_file(dir.file("in.ms"), row.ms_text);
    if (!row.populations.empty()) write_file(dir.file("pops.txt"), row.populations);
    if (!apply_change(row.change, dir)) GTEST_SKIP() << "bcftools is not installed";
    if (row.setup != nullptr) row.setup(dir.path);
    const auto contents_before = directory_contents(dir.path);
    std::vector<std::string> arguments;
    for (const std::string& argument : row.arguments) arguments.push_back(substitute(argument));

    const run_result ran = run_prepare(arguments);
    EXPECT_EQ(ran.status, row.status) << ran.err;
    const std::string line = substitute(row.message) + "\n";
    const size_t found = ran.err.find(line);
    EXPECT_TRUE(found != std::string::npos && (found == 0 || ran.err[found - 1] == '\n')) << ran.err;
    EXPECT_EQ(ran.err.find(line, found + line.size()), std::string::npos) << "reported twice: " << ran.err;
    if (row.status == 2) {
        EXPECT_NE(ran.err.find("Try 'corvane-prepare --help' for the options."), std::string::npos);
    }
    auto contents_after = directory_contents(dir.path);
    if (row.status != 2) {
        // The run record beside the outputs, PREFIX.log, ends with the status and the message.
        const auto out = std::find(arguments.begin(), arguments.end(), "--out");
        ASSERT_NE(out, arguments.end());
        const std::string record_path = *(out + 1) + ".log";
        const std::string record = read_file(record_path);
        EXPECT_TRUE(record.ends_with("\nstatus\t1\t" + row.ended + "\nmessage\t" + substitute(row.message) + "\n"))
            << record;
        contents_after.erase(record_path.substr(dir.path.size() + 1));
    }
    // Nothing left but the run record, the older outputs and the inputs as they were.
    EXPECT_EQ(contents_after, contents_before) << "a refused run changed the folder";
    // Counts printed after a refusal would read like a result.
    EXPECT_EQ(ran.err.find("SNPs kept:"), std::string::npos) << ran.err;
}

INSTANTIATE_TEST_SUITE_P(Rows, PrepareBadInput, ::testing::ValuesIn(prepare_cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace corvane::testing
