// corvane-loci on bad input, one row each: a wrong or unreadable result table, a panel, legend or
// sample list that does not belong to it, a gene file that cannot be read, an output that names an
// input or a folder, a wrong command line; each reported once, with no output left behind and older
// outputs as they were, but the run record, which says how the run ended and why (a wrong command
// line leaves none). A row runs alone as ctest -R 'loci.Rows/LociBadInput.*/NAME$'.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {
namespace {

const std::string loci_header =
    "locus\tchr\tstart\tend\tintervals\tpeak_start\tpeak_end\tpeak_cM\tpeak_snps\trank\tpercentile\tpeak_kb\t"
    "peak_cM_per_Mb";

// The inputs every row starts from: a panel of 6 alike haplotypes x 30 SNPs (0 then 29 times 1), its
// legend, a sample list of two ids, and a result table of one interval over the whole panel.
const std::string good_panel = panel_text(allele_rows(6, [] {
    std::vector<int32_t> row(30, 1);
    row[0] = 0;
    return row;
}()), "\t");
const std::string good_result = result_header + "21\t10000\t17250\t3.625\t7250\t30\n";

// Written in arguments and texts; each run replaces them with its scratch paths: {R} the result
// table, {T} a second one, {P} the panel, {L} the legend, {S} the sample list, {C} a carrier list,
// {B} the BED, {O} the loci table, {G} a gene file, {D} the scratch folder.
struct loci_case {
    std::string name;
    std::string result_text = good_result;
    std::string second_table_text = result_header;  // {T}
    std::string panel = good_panel;
    std::string legend_text = corvane::testing::legend_text(30);
    std::string sample_text = "a\nb\n";
    bool result_first = true;  // {R} as the first argument, a result table of one frequency
    std::string gene_file = "genes.gtf";  // the gene file's name, which may tell its format
    std::string gene_text = "";           // {G}, written when not empty
    // After the panel and legend; "--bed {B}" and "-o {O}" added unless given.
    std::vector<std::string> arguments = {};
    int status = 1;
    std::string err = "";  // standard error; for a wrong command line (status 2), its first line
    void (*setup)(const std::string& folder) = nullptr;  // older outputs and folders the case needs
    std::string ended = "bad input";  // the word of the run record's status line
};

void PrintTo(const loci_case& row, std::ostream* stream) { *stream << row.name; }

// Result tables of a grid of frequencies instead of {R} as the first argument.
loci_case across_frequencies(const std::string& name, std::vector<std::string> arguments, int status,
                             const std::string& err) {
    return {.name = name, .result_first = false, .arguments = std::move(arguments), .status = status, .err = err};
}

const std::string header_expected =
    "{R}:1: expected the result header line (tab-separated): chr startpos endpos genetic_dist physical_dist n.snp\n";

// corvane-loci's older outputs, which a refused run must leave as they are, and a folder "adir".
void older_outputs_and_a_folder(const std::string& folder) {
    write_file(folder + "/loci.tsv", "older loci\n");
    write_file(folder + "/l.bed", "older bed\n");
    std::filesystem::create_directory(folder + "/adir");
}

const std::string not_a_scan_length =
    " is no length corvane writes (it writes decimal numbers within single precision, inf, -inf or nan); is this "
    "table a corvane scan's?\n";

std::vector<loci_case> loci_cases() {
    return {
        {.name = "wrong_header", .result_text = "chr\tstart\tend\n21\t1\t2\n", .err = header_expected},
        {.name = "empty_result_table", .result_text = "\n", .err = header_expected},
        {.name = "unreadable_row",
         .result_text = good_result + "21\tabc\t17250\t1\t7250\t30\n",
         .err = "{R}:3: startpos is not a whole number: \"abc\"\n"},
        {.name = "row_with_a_field_too_few",
         .result_text = result_header + "21\t10000\t17250\t3.625\t7250\n",
         .err = "{R}:2: expected 6 tab-separated fields, found 5\n"},
        {.name = "genetic_length_that_is_no_number",
         .result_text = result_header + "21\t10000\t17250\tlong\t7250\t30\n",
         .err = "{R}:2: genetic_dist is not a number: \"long\"\n"},
        // The scan writes %g of a float: never hexadecimal, never beyond float's range.
        {.name = "genetic_length_in_hexadecimal",
         .result_text = result_header + "21\t10000\t17250\t0x1p3\t7250\t30\n",
         .err = "{R}:2: genetic_dist 0x1p3" + not_a_scan_length},
        {.name = "genetic_length_beyond_double_precision",
         .result_text = result_header + "21\t10000\t17250\t1e999\t7250\t30\n",
         .err = "{R}:2: genetic_dist 1e999" + not_a_scan_length},
        {.name = "genetic_length_beyond_single_precision",
         .result_text = result_header + "21\t10000\t17250\t3.5e+38\t7250\t30\n",
         .err = "{R}:2: genetic_dist 3.5e+38" + not_a_scan_length},
        {.name = "row_bp_beyond_32_bits",
         .result_text = result_header + "21\t3000000000\t3000007250\t3.625\t7250\t30\n",
         .err = "{R}:2: startpos 3000000000 is beyond 2147483647, the largest value corvane writes there (positions "
                "are signed 32-bit)\n"},
        {.name = "legend_bp_beyond_32_bits",
         .legend_text = [] {
             std::string legend = corvane::testing::legend_text(30);
             return legend.replace(legend.rfind("17250"), 5, "3000000000");
         }(),
         .err = "{L}:31: bp 3000000000 is beyond the signed 32-bit range of positions corvane handles (-2147483648 to "
                "2147483647)\n"},
        {.name = "row_bp_not_in_the_legend",
         .result_text = result_header + "21\t10001\t17250\t3.625\t7249\t30\n",
         .err = "{R}:2: startpos 10001 is not a position of chromosome 21 in the legend {L}\n"},
        {.name = "n_snp_that_does_not_reach_endpos",
         .result_text = result_header + "21\t10000\t17250\t3.625\t7250\t29\n",
         .err = "{R}:2: no run of 29 legend rows from bp 10000 to bp 17250 of chromosome 21 in the legend {L}\n"},
        // A longer legend is warned of; the rows beyond the panel are refused.
        {.name = "row_beyond_the_panel",
         .result_text = result_header + "21\t10250\t17500\t3.625\t7250\t30\n",
         .legend_text = corvane::testing::legend_text(31),
         .err = "corvane-loci: {L}: 31 SNP rows after the header, but the genotype table has 30 SNPs; the last row is "
                "not used: check that the legend belongs to this panel\n"
                "{R}:2: the interval ends at SNP 31 of the legend {L}, beyond the 30 SNPs of the panel {P}\n"},
        {.name = "chromosome_no_legend_names",
         .result_text = result_header + "22\t10000\t17250\t3.625\t7250\t30\n",
         .err = "{R}:2: chromosome 22 is in none of the legends given with --legend\n"},
        // The shared legend check speaks as corvane-loci.
        {.name = "legend_shorter_than_the_panel",
         .result_text = result_header + "21\t10000\t10250\t0.125\t250\t2\n",
         .legend_text = corvane::testing::legend_text(29),
         .err = "corvane-loci: {L}: 29 SNP rows after the header, but the genotype table has 30 SNPs\n"},
        {.name = "sample_list_of_the_wrong_length",
         .arguments = {"--samples", "{S}"},
         .err = "corvane-loci: {S}: 2 sample ids, but the panel {P} has 6 haplotypes (two per sample)\n"},
        {.name = "sample_list_of_one_id",
         .sample_text = "a\n",
         .arguments = {"--samples", "{S}"},
         .err = "corvane-loci: {S}: 1 sample id, but the panel {P} has 6 haplotypes (two per sample)\n"},
        {.name = "sample_list_with_an_id_twice",
         .sample_text = "a\nb\na\n",
         .arguments = {"--samples", "{S}"},
         .err = "{S}:3: sample \"a\" is listed again (first on line 1)\n"},
        {.name = "output_is_an_input",
         .arguments = {"-o", "{L}"},
         .err = "corvane-loci: output file {L} is the input file {L}; refusing to overwrite an input\n",
         .ended = "output failed"},
        // A folder where the BED goes is found before any work, and the older outputs are kept.
        {.name = "bed_output_is_a_folder",
         .arguments = {"--bed", "{D}/adir"},
         .err = "corvane-loci: cannot create output file {D}/adir: Is a directory\n",
         .setup = older_outputs_and_a_folder,
         .ended = "output failed"},
        // Gene files: the first line that cannot be read, in each format.
        {.name = "gene_line_with_a_field_too_few",
         .gene_text = "21\tx\tgene\t1\t100\t.\t+\t.\tgene_id \"A\";\n21\tx\tgene\t5\n",
         .arguments = {"--genes", "{G}"},
         .err = "{G}:2: expected 9 tab-separated fields (GTF), found 4\n"},
        {.name = "gene_without_a_name",
         .gene_text = "21\tx\tgene\t1\t100\t.\t+\t.\tlevel 2;\n",
         .arguments = {"--genes", "{G}"},
         .err = "{G}:1: a gene without a name (gene_name, gene_id, Name or ID)\n"},
        {.name = "gene_starting_after_its_end",
         .gene_file = "genes.gff3",
         .gene_text = "##gff-version 3\n21\tx\tgene\t500\t100\t.\t+\t.\tID=a\n",
         .arguments = {"--genes", "{G}"},
         .err = "{G}:2: start 500 is after end 100\n"},
        {.name = "gene_position_that_is_no_number",
         .gene_file = "genes.bed",
         .gene_text = "21\t1x\t100\tA\n",
         .arguments = {"--genes", "{G}"},
         .err = "{G}:1: start is not a position: \"1x\"\n"},
        {.name = "gene_file_of_no_format_known",
         .gene_file = "genes.txt",
         .gene_text = "# genes\nERG\n",
         .arguments = {"--genes", "{G}"},
         .err = "{G}:2: neither GTF, GFF3 nor BED; name the file .gtf, .gff3 or .bed to say which\n"},
        {.name = "gene_file_missing",
         .arguments = {"--genes", "{G}"},
         .err = "corvane-loci: {G}: cannot open: No such file or directory\n"},
        {.name = "no_output_named", .arguments = {"-o"}, .status = 2, .err = "corvane-loci: -o needs a value\n"},
        {.name = "carriers_without_samples",
         .arguments = {"--carriers", "{C}"},
         .status = 2,
         .err = "corvane-loci: --carriers needs --samples (and --hap, --legend)\n"},
        {.name = "negative_gap",
         .arguments = {"--gap", "-5"},
         .status = 2,
         .err = "corvane-loci: --gap takes a whole number of bp, got \"-5\"\n"},
        {.name = "min_snps_not_a_number",
         .arguments = {"--min-snps", "5.5"},
         .status = 2,
         .err = "corvane-loci: --min-snps takes a whole number of SNPs, got \"5.5\"\n"},

        // Loci across frequencies: the command line.
        {.name = "result_tables_given_both_ways",
         .arguments = {"--freq", "0.2", "{R}"},
         .status = 2,
         .err = "corvane-loci: give the result tables either as RESULT... or with --freq F TABLE, not both\n"},
        {.name = "null_without_frequencies", .arguments = {"--null-freq", "0.2", "{T}"}, .status = 2,
         .err = "corvane-loci: --null-freq needs --freq: the null is read against the frequencies of the result "
                "tables\n"},
        across_frequencies("frequency_of_one", {"--freq", "1", "{R}"}, 2,
                           "corvane-loci: frequency must be a number above 0 and below 1, got \"1\"\n"),
        across_frequencies("frequency_one_in_single_precision", {"--freq", "0.99999999", "{R}"}, 2,
                           "corvane-loci: frequency must be a number above 0 and below 1, got \"0.99999999\"\n"),
        across_frequencies("frequency_without_its_table", {"-o", "{O}", "--freq", "0.2"}, 2,
                           "corvane-loci: --freq needs two values\n"),
        across_frequencies("null_at_other_frequencies", {"--freq", "0.2", "{R}", "--null-freq", "0.5", "{T}"}, 2,
                           "corvane-loci: the --null-freq frequencies (0.5) must be those of --freq (0.2)\n"),
        across_frequencies("frequencies_of_one_column_name", {"--freq", "0.1234561", "{R}", "--freq", "0.1234564", "{T}"},
                           2, "corvane-loci: frequencies 0.1234561 and 0.1234564 both print as 0.123456; "
                              "give frequencies that differ in their first 6 digits\n"),

        // Loci across frequencies: tables that are not one scan per chromosome and frequency.
        across_frequencies("chromosome_missing_at_a_frequency", {"--freq", "0.2", "{R}", "--freq", "0.5", "{T}"}, 1,
                           "corvane-loci: chromosome 21 has intervals in the result table {R} of frequency 0.2 but in "
                           "none of the result tables of frequency 0.5\n"),
        {.name = "chromosome_in_two_runs_of_a_table",
         .result_text = good_result + "22\t10000\t10250\t0.125\t250\t2\n21\t10000\t10250\t0.125\t250\t2\n",
         .result_first = false,
         .arguments = {"--freq", "0.2", "{R}"},
         .err = "{R}:4: chromosome 21 appears a second time, after other chromosomes; two scans under one name? Name "
                "the replicates of each batch apart\n"},
        across_frequencies("table_given_twice_at_a_frequency", {"--freq", "0.2", "{R}", "--freq", "0.2", "{R}"}, 1,
                           "{R}:2: chromosome 21 is also in {R}, a table of the same frequency 0.2; two scans under one "
                           "name? Name the replicates of each batch apart\n"),
        across_frequencies("null_without_loci", {"--freq", "0.2", "{R}", "--null-freq", "0.2", "{T}"}, 1,
                           "corvane-loci: the null tables give no loci (no intervals after the filters); p-values need "
                           "at least one\n"),
        across_frequencies("null_chromosome_missing_at_a_frequency",
                           {"--freq", "0.2", "{R}", "--freq", "0.5", "{R}", "--null-freq", "0.2", "{R}", "--null-freq",
                            "0.5", "{T}"},
                           1, "corvane-loci: chromosome 21 has intervals in the null table {R} of frequency 0.2 but in "
                              "none of the null tables of frequency 0.5\n"),
        // Half of the haplotypes carry each of two haplotypes: no window passes floor(6 x 0.5) = 3, so no
        // scan at 0.5 of this panel reports a 30-SNP interval.
        {.name = "peak_the_scan_could_not_have_reported_from_the_panel",
         .panel = panel_text(allele_rows{std::vector<int32_t>(30, 0), std::vector<int32_t>(30, 1), std::vector<int32_t>(30, 0),
                                         std::vector<int32_t>(30, 1), std::vector<int32_t>(30, 0), std::vector<int32_t>(30, 1)},
                             "\t"),
         .result_first = false,
         .arguments = {"--freq", "0.5", "{R}"},
         .err = "{R}:2: locus 21:1: its peak at frequency 0.5, SNPs 1 to 30 of the legend {L}, is carried by 3 of the 6 "
                "haplotypes of the panel {P} (3 without its last SNP), but a scan at 0.5 reports only intervals carried "
                "by more than floor(6 x 0.5) = 3; the panel is not the one the scan read, or the table was scanned at "
                "another frequency\n"},
    };
}

class LociBadInput : public ::testing::TestWithParam<loci_case> {};

TEST_P(LociBadInput, ReportsTheFaultOnceAndLeavesNoOutput) {
    const loci_case& row = GetParam();
    scratch_dir dir;
    const std::pair<std::string, std::string> paths[] = {
        {"{R}", dir.file("r.tsv")},    {"{T}", dir.file("t.tsv")},    {"{P}", dir.file("p.txt")},
        {"{L}", dir.file("l.txt")},    {"{S}", dir.file("s.txt")},    {"{C}", dir.file("c.tsv")},
        {"{O}", dir.file("loci.tsv")}, {"{B}", dir.file("l.bed")},    {"{D}", dir.path},
        {"{G}", dir.file(row.gene_file)}};
    const auto substitute = [&](std::string text) {
        for (const auto& [mark, path] : paths) {
            for (size_t at = 0; (at = text.find(mark, at)) != std::string::npos; at += path.size()) {
                text.replace(at, mark.size(), path);
            }
        }
        return text;
    };
    write_file(substitute("{R}"), row.result_text);
    write_file(substitute("{T}"), row.second_table_text);
    write_file(substitute("{P}"), row.panel);
    write_file(substitute("{L}"), row.legend_text);
    write_file(substitute("{S}"), row.sample_text);
    if (!row.gene_text.empty()) write_file(substitute("{G}"), row.gene_text);
    if (row.setup != nullptr) row.setup(dir.path);
    const auto contents_before = directory_contents(dir.path);

    std::vector<std::string> arguments = {"--hap", substitute("{P}"), "--legend", substitute("{L}")};
    if (row.result_first) arguments.insert(arguments.begin(), substitute("{R}"));
    const auto given = [&](const char* option) {
        return std::find(row.arguments.begin(), row.arguments.end(), option) != row.arguments.end();
    };
    if (!given("--bed")) arguments.insert(arguments.end(), {"--bed", substitute("{B}")});
    for (const std::string& argument : row.arguments) arguments.push_back(substitute(argument));
    if (!given("-o")) arguments.insert(arguments.end(), {"-o", substitute("{O}")});
    const run_result ran = run_program(CORVANE_LOCI_EXE, arguments, {.seconds = 60});
    EXPECT_EQ(ran.status, row.status);
    const std::string expected = substitute(row.err);
    if (row.status == 2) {
        EXPECT_EQ(ran.err.substr(0, expected.size()), expected);
    } else {
        EXPECT_EQ(ran.err, expected);
    }
    auto contents_after = directory_contents(dir.path);
    if (row.status != 2) {
        // The run record beside the loci table, LOCI.log, ends with the status and the last message.
        const std::string record_path = arguments[static_cast<size_t>(std::find(arguments.begin(), arguments.end(), "-o") -
                                                                      arguments.begin()) + 1] + ".log";
        const std::string record = read_file(record_path);
        const std::string last_message = expected.substr(expected.rfind('\n', expected.size() - 2) + 1);
        EXPECT_TRUE(record.ends_with("\nstatus\t1\t" + row.ended + "\nmessage\t" + last_message)) << record;
        contents_after.erase(record_path.substr(dir.path.size() + 1));
    }
    // Nothing left but the run record, the older outputs and the inputs as they were.
    EXPECT_EQ(contents_after, contents_before) << "a refused run changed the folder";
}

INSTANTIATE_TEST_SUITE_P(Rows, LociBadInput, ::testing::ValuesIn(loci_cases()),
                         [](const auto& info) { return info.param.name; });

// The same inputs well formed: one locus, all six haplotypes carrying it.
TEST(LociGoodInput, GivesOneLocusOfSixCarriers) {
    scratch_dir dir;
    write_file(dir.file("r.tsv"), good_result);
    write_file(dir.file("p.txt"), good_panel);
    write_file(dir.file("l.txt"), legend_text(30));
    const run_result ran = run_program(CORVANE_LOCI_EXE, {dir.file("r.tsv"), "--hap", dir.file("p.txt"), "--legend",
                                                          dir.file("l.txt"), "-o", dir.file("loci.tsv")},
                                       {.seconds = 60});
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(read_file(dir.file("loci.tsv")), loci_header + "\tcarriers\tcarrier_frequency\tcore\n" +
                                                    "21:1\t21\t10000\t17250\t1\t10000\t17250\t3.625\t30\t1\t1\t7.250\t500\t6\t1\t"
                                                    "011111111111111111111111111111\n");
}

// Six SNPs at one position: the scan's 3-SNP interval at SNPs 4 to 6 (all six haplotypes carry it)
// has the positions and SNP count of SNPs 1 to 3 too (no two haplotypes alike there), which the
// first run found would name. The peak is held to every run that fits, and passes.
TEST(LociGoodInput, PeakOverSharedPositionsPassesWhereAnyRunItFitsPasses) {
    scratch_dir dir;
    write_file(dir.file("r.tsv"), result_header + "21\t10000\t10000\t0\t0\t3\n");
    write_file(dir.file("p.txt"), "0 0 0 1 1 1\n0 0 1 1 1 1\n0 1 0 1 1 1\n0 1 1 1 1 1\n1 0 0 1 1 1\n1 0 1 1 1 1\n");
    std::string legend = "chr\tid\tcM\tbp\n";
    for (int k = 1; k <= 6; ++k) legend += "21\ts" + std::to_string(k) + "\t1.5\t10000\n";
    write_file(dir.file("l.txt"), legend);
    const run_result ran = run_program(CORVANE_LOCI_EXE, {"--freq", "0.5", dir.file("r.tsv"), "--hap", dir.file("p.txt"),
                                                          "--legend", dir.file("l.txt"), "-o", dir.file("loci.tsv")},
                                       {.seconds = 60});
    EXPECT_EQ(ran.status, 0) << ran.err;
}

// Every genetic length the scan writes (%g of a float: negative where the legend's cM decrease,
// inf, nan) is taken and copied out as written; the peak's rate follows from it.
TEST(LociGoodInput, TakesEveryLengthTheScanWrites) {
    const std::pair<const char*, const char*> lengths_and_rates[] = {
        {"-3", "-413.793"}, {"inf", "inf"},     {"-inf", "-inf"}, {"nan", "nan"}, {"-nan", "nan"},
        {"1.4013e-45", "1.93283e-43"}, {"3.40282e+38", "4.69354e+40"}};
    for (const auto& [length, rate] : lengths_and_rates) {
        SCOPED_TRACE(length);
        scratch_dir dir;
        write_file(dir.file("r.tsv"), result_header + "21\t10000\t17250\t" + length + "\t7250\t30\n");
        const run_result ran = run_program(CORVANE_LOCI_EXE, {dir.file("r.tsv"), "-o", dir.file("loci.tsv")});
        ASSERT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(read_file(dir.file("loci.tsv")),
                  loci_header + "\n21:1\t21\t10000\t17250\t1\t10000\t17250\t" + length + "\t30\t1\t1\t7.250\t" +
                      rate + "\n");
    }
}

// Outputs named .gz are written compressed, each the plain output's bytes.
TEST(LociGoodInput, OutputsNamedGzAreCompressed) {
    scratch_dir dir;
    write_file(dir.file("r.tsv"), good_result);
    write_file(dir.file("p.txt"), good_panel);
    write_file(dir.file("l.txt"), legend_text(30));
    write_file(dir.file("s.txt"), "a\nb\nc\n");
    const auto run_with = [&](const std::string& suffix) {
        return run_program(CORVANE_LOCI_EXE, {dir.file("r.tsv"), "--hap", dir.file("p.txt"), "--legend", dir.file("l.txt"),
                                              "--samples", dir.file("s.txt"), "--carriers", dir.file("c.tsv" + suffix),
                                              "--bed", dir.file("l.bed" + suffix), "-o", dir.file("loci.tsv" + suffix)},
                           {.seconds = 60});
    };
    ASSERT_EQ(run_with("").status, 0);
    const run_result packed = run_with(".gz");
    ASSERT_EQ(packed.status, 0) << packed.err;
    for (const char* name : {"loci.tsv", "l.bed", "c.tsv"}) {
        SCOPED_TRACE(name);
        const std::string compressed = dir.file(std::string(name) + ".gz");
        EXPECT_EQ(read_file(compressed).substr(0, 2), "\x1f\x8b");
        EXPECT_EQ(read_gzip_file(compressed), read_file(dir.file(name)));
    }
}

// A legend whose header names its allele columns (here in another order, after an extra one) gives the
// core table its REF and ALT.
TEST(LociGoodInput, CoreTableNamesTheAllelesTheLegendHeaderNames) {
    scratch_dir dir;
    std::string legend = "chr\tid\tcM\tbp\tinfo\tALT\tREF\n";
    for (int32_t snp = 0; snp < 30; ++snp) {
        legend += "21\trs" + std::to_string(snp + 1) + "\t" + std::to_string(0.125 * snp) + "\t" +
                  std::to_string(10000 + 250 * snp) + "\t.\tT\t" + (snp % 2 == 0 ? "C" : "G") + "\n";
    }
    write_file(dir.file("r.tsv"), good_result);
    write_file(dir.file("p.txt"), good_panel);
    write_file(dir.file("l.txt"), legend);
    const run_result ran = run_program(CORVANE_LOCI_EXE, {dir.file("r.tsv"), "--hap", dir.file("p.txt"), "--legend",
                                                          dir.file("l.txt"), "--core", dir.file("core.tsv"), "-o",
                                                          dir.file("loci.tsv")},
                                       {.seconds = 60});
    ASSERT_EQ(ran.status, 0) << ran.err;
    const std::string core = read_file(dir.file("core.tsv"));
    EXPECT_TRUE(core.starts_with("locus\tid\tbp\tcM\tcore_allele\tref\talt\tcarrier_share\tallele_frequency\n"
                                 "21:1\trs1\t10000\t0.000000\t0\tC\tT\t1\t1\n"
                                 "21:1\trs2\t10250\t0.125000\t1\tG\tT\t1\t1\n"))
        << core;

    // A panel with another allele code is held as integers and counted cell by cell: the haplotype with
    // a 2 at the first SNP carries neither the core nor its allele there.
    std::string other_codes = good_panel;
    other_codes[other_codes.rfind('\n', other_codes.size() - 2) + 1] = '2';
    write_file(dir.file("p2.txt"), other_codes);
    const run_result widened = run_program(CORVANE_LOCI_EXE, {dir.file("r.tsv"), "--hap", dir.file("p2.txt"), "--legend",
                                                               dir.file("l.txt"), "--core", dir.file("core2.tsv"), "-o",
                                                               dir.file("loci2.tsv")},
                                            {.seconds = 60});
    ASSERT_EQ(widened.status, 0) << widened.err;
    EXPECT_TRUE(read_file(dir.file("core2.tsv")).find("21:1\trs1\t10000\t0.000000\t0\tC\tT\t1\t0.833333\n"
                                                      "21:1\trs2\t10250\t0.125000\t1\tG\tT\t1\t1\n") != std::string::npos)
        << read_file(dir.file("core2.tsv"));
}

TEST(LociCommandLine, HelpAndVersionAreAnsweredOnStandardOutput) {
    for (const char* request : {"--help", "-h"}) {
        const run_result help = run_program(CORVANE_LOCI_EXE, {request});
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.out.starts_with("usage: corvane-loci [options] RESULT... -o LOCI\n")) << help.out;
        EXPECT_EQ(help.err, "");
    }
    const run_result version = run_program(CORVANE_LOCI_EXE, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("corvane-loci " CORVANE_VERSION)) << version.out;
    EXPECT_EQ(std::system(CORVANE_LOCI_EXE " --help > /dev/full 2>/dev/null"), 1 << 8);
}

}  // namespace
}  // namespace corvane::testing
