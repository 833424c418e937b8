// Every bad-input behaviour of the scan tools, one row each: status, both streams, the output file left
// behind, and inputs unchanged, for corvane and corvane-reference alike. A row runs alone as
// ctest -R 'scan.Rows/ScanBadInput.*/NAME$'.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/bad_case.hpp"
#include "support/fixtures.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {
namespace {

// Written in arguments and expected texts; each run replaces them with its scratch paths.
//   {D} the scratch directory (the tools' working directory), {G} {D}/g.txt the genotype file,
//   {L} {D}/l.txt the legend, {O} {D}/out.tsv the output.
const std::string absent = "<absent>";        // as file bytes: not created; as output: must not exist
const std::string untouched = "<untouched>";  // as output: existed before the run and must be unchanged

struct input_case {
    // Members that rows may leave out have a default, so designated initializers stay warning-free.
    std::string name;
    std::string genotypes;                    // bytes of {G}, or absent
    std::string legend;                       // bytes of {L}, or absent
    std::vector<std::string> arguments = scan_arguments("{G}", "{L}", "0.5", "{O}");
    int status = 1;
    std::string out = "";
    std::string err = "";
    std::string output;                       // the output's bytes after the run, absent or untouched
    void (*setup)(const std::string& directory) = nullptr;  // directories and links the case needs
    bool output_locked = false;               // another process holds the output's lock during the run
};

void PrintTo(const input_case& row, std::ostream* stream) { *stream << row.name; }

constexpr int32_t snps = 30;
// Five identical rows of 30 SNPs make one region over the whole table at any frequency.
const std::string good_genotypes = panel_text(identical_rows(5, snps));
const std::string good_legend = legend_text(snps);
const std::string whole_table_row = "21\t10000\t17250\t3.625\t7250\t30\n";
const std::string usage =
    "usage: corvane -hap GENOTYPES -legend LEGEND -freq FREQUENCY -out OUTPUT\n";
// What a run that is still writing the output has written so far.
const std::string first_run_rows = result_header + "21\t10000\t12000\t1\t2000\t9\n";
// The empty last block bgzip ends every file with: a gzip member of no data.
const std::string bgzf_end_of_file_block(
    "\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0\x42\x43\x02\0\x1b\0\x03\0\0\0\0\0\0\0\0\0", 28);

std::string gzip_bytes(const std::string& text) {
    scratch_dir dir;
    gzFile file = gzopen(dir.file("t.gz").c_str(), "wb6");
    gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
    gzclose(file);
    return read_file(dir.file("t.gz"));
}

// A bit panel: the header of `haplotypes` x `snps` (format `version`), then `rows` as they are.
std::string bit_panel(uint64_t haplotypes, uint64_t snps, const std::string& rows, uint32_t version = 1,
                      const std::string& magic = "\x89" "CVB\r\n\x1a\n") {
    const auto little_endian = [](uint64_t value, int bytes) {
        std::string text;
        for (int i = 0; i < bytes; ++i) text += static_cast<char>(value >> (8 * i) & 0xff);
        return text;
    };
    return magic + little_endian(version, 4) + little_endian(0, 4) + little_endian(haplotypes, 8) +
           little_endian(snps, 8) + rows;
}

// One row of a 4-SNP bit panel, `low_byte` its first byte (SNPs 1 to 4 in bits 0 to 3).
std::string bit_row(char low_byte) { return std::string(1, low_byte) + std::string(7, '\0'); }

const std::string not_a_bit_panel =
    " not a genotype file: it starts with byte 0x89 but not with the bit panel's magic bytes 89 43 56 42 0D 0A 1A "
    "0A (damaged, or another format)";

// The good legend with SNP 29's genetic position (3.625 cM) written as `text`.
std::string legend_with_last_position(const std::string& text) {
    std::string legend = good_legend;
    return legend.replace(legend.rfind("3.625000"), 8, text);
}

// The good legend with the bp of SNP `snp` (10000 + 250 x snp) written as `text`.
std::string legend_with_bp(int32_t snp, const std::string& text) {
    const std::string bp = std::to_string(10000 + 250 * snp);
    const size_t at = good_legend.find("\t" + bp + "\n") + 1;
    return good_legend.substr(0, at) + text + good_legend.substr(at + bp.size());
}

// A VCF, as the scan's panel by mistake.
const std::string small_vcf_text =
    "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\n"
    "21\t100\tx\tA\tG\t.\t.\t.\tGT\t0|1\n";
std::string variant_file_fault(const std::string& format) {
    return " a " + format + " file, not a genotype file; convert it first with corvane-prepare --vcf {G} --chr NAME "
           "--map MAP --out PREFIX, which writes PREFIX.hapbits and PREFIX.legend";
}

const std::string bp_beyond_range = " is beyond the signed 32-bit range of positions corvane handles (-2147483648 to "
                                    "2147483647)\n";

// The good genotypes with the alleles of lines 2 to 5 separated by `separators[i]` and ended by `ends[i]`.
std::string genotypes_separated_by(const std::vector<std::string>& separators, const std::vector<std::string>& ends) {
    const allele_rows one_row = identical_rows(1, snps);
    std::string text = panel_text(one_row);
    for (size_t i = 0; i < separators.size(); ++i) text += panel_text(one_row, separators[i], ends[i]);
    return text;
}

// A genotype fault: found on reading {G}, before the legend is opened.
input_case genotype_fault(const std::string& name, const std::string& text, const std::string& message) {
    return {.name = name, .genotypes = text, .legend = good_legend, .err = "{G}:" + message + "\n",
            .output = result_header};
}

input_case frequency_refused(const std::string& name, const std::string& frequency) {
    return {.name = name, .genotypes = good_genotypes, .legend = good_legend,
            .arguments = scan_arguments("{G}", "{L}", frequency, "{O}"), .status = 2,
            .err = "corvane: frequency must be a number above 0 and below 1, got \"" + frequency + "\"\n",
            .output = absent};
}

input_case argument_count(const std::string& name, std::vector<std::string> arguments) {
    const std::string count = std::to_string(arguments.size());
    return {.name = name, .genotypes = good_genotypes, .legend = good_legend, .arguments = std::move(arguments),
            .status = 2, .err = "corvane: expected 8 arguments, got " + count + " (argc ==9 does not hold)\n" + usage,
            .output = absent};
}

input_case output_refused(const std::string& name, const std::string& output, const std::string& role_and_path,
                          void (*setup)(const std::string&) = nullptr) {
    return {.name = name, .genotypes = good_genotypes, .legend = good_legend,
            .arguments = scan_arguments("{G}", "{L}", "0.5", output),
            .err = "corvane: output file " + output + " is the " + role_and_path + "; refusing to overwrite an input\n",
            .output = untouched, .setup = setup};
}

input_case legend_fault(const std::string& name, const std::string& legend, const std::string& err,
                        const std::string& output = result_header) {
    return {.name = name, .genotypes = good_genotypes, .legend = legend, .err = err, .output = output};
}

input_case accepted(const std::string& name, const std::string& genotypes, const std::string& legend,
                    const std::string& frequency, const std::string& rows) {
    return {.name = name, .genotypes = genotypes, .legend = legend,
            .arguments = scan_arguments("{G}", "{L}", frequency, "{O}"), .status = 0, .output = result_header + rows};
}

std::vector<input_case> input_cases() {
    std::vector<input_case> rows = {
        // Genotype file faults: "PATH:LINE: what", a header-only output.
        genotype_fault("empty_file", "", "1: empty file: no haplotypes"),
        genotype_fault("only_a_newline", "\n", "1: empty line"),
        genotype_fault("empty_line", "0 1 1\n\n1 0 1\n", "2: empty line"),
        genotype_fault("trailing_empty_line", "0 1 1\n1 0 1\n\n", "3: empty line"),
        genotype_fault("blank_line", "0 1 1\n \t \n", "2: expected 3 alleles, found 0"),
        genotype_fault("too_many_alleles", "0 1 1\n1 0 1 0\n", "2: expected 3 alleles, found 4"),
        genotype_fault("too_few_alleles", "0 1 1\n1 0 1\n1 0\n", "3: expected 3 alleles, found 2"),
        genotype_fault("too_few_on_unterminated_last_line", "0 1 1\n1 0", "2: expected 3 alleles, found 2"),
        // The first line's field count is taken by single blanks: a run of two blanks is an empty field;
        // and by tabs, after the last of which an empty field stands.
        genotype_fault("double_blank_in_first_line", "0  1\n0  1\n", "1: expected 3 alleles, found 2"),
        genotype_fault("trailing_tab_in_first_line", "0\t1\t\n", "1: expected 3 alleles, found 2"),
        genotype_fault("non_integer_token", "0 1 1\n1 x 1\n", "2: allele 2 is not an integer: \"x\""),
        genotype_fault("decimal_token", "0 1 1\n1 0.5 1\n", "2: allele 2 is not an integer: \"0.5\""),
        genotype_fault("sign_without_digits", "0 1 1\n1 - 1\n", "2: allele 2 is not an integer: \"-\""),
        genotype_fault("digits_then_letters", "0 1 1\n1 2e3 1\n", "2: allele 2 is not an integer: \"2e3\""),
        genotype_fault("above_32_bits", "0 1 1\n1 2147483648 1\n",
                       "2: allele 2 is outside the 32-bit integer range: \"2147483648\""),
        genotype_fault("below_32_bits", "0 1 1\n-2147483649 1 1\n",
                       "2: allele 1 is outside the 32-bit integer range: \"-2147483649\""),
        genotype_fault("far_beyond_64_bits", "0 1 1\n1 1 123456789012345678901234567890\n",
                       "2: allele 3 is outside the 32-bit integer range: \"123456789012345678901234567890\""),
        genotype_fault("nul_byte_inside_a_line", std::string("0 1 1\n1 0\0 1\n", 13),
                       "2: allele 2 is not an integer: \"0\\x00\""),
        genotype_fault("nul_byte_in_first_line", std::string("0 1\0 1\n", 7),
                       "1: allele 2 is not an integer: \"1\\x00\""),
        // CR alone does not end a line: the whole file is one line, whose SNP count (the splitter's)
        // ends at the first CR, while every CR separates alleles.
        genotype_fault("cr_only_line_ends", "0 1\r1 0\r", "1: expected 2 alleles, found 4"),
        // Any C white space separates alleles, but the first line's SNP count is the splitter's: tabs,
        // or single blanks.
        accepted("other_white_space_between_alleles",
                 genotypes_separated_by({"\v", "\f", " \r ", "\t\v "}, {"\n", "\r\n", "\n", "\r\r\n"}), good_legend,
                 "0.5", whole_table_row),
        genotype_fault("first_line_split_by_vertical_tabs", "0\v1\v1\n0\v1\v1\n", "1: expected 1 allele, found 3"),
        // The control bytes beside tab to CR (0x09 to 0x0d) separate nothing.
        genotype_fault("backspace_between_alleles", "0\t1\n0\b1\n", "2: allele 1 is not an integer: \"0\\x081\""),
        genotype_fault("shift_out_between_alleles", "0\t1\n0\x0e" "1\n", "2: allele 1 is not an integer: \"0\\x0e1\""),
        genotype_fault("byte_order_mark", "\xef\xbb\xbf" "0 1\n1 0\n",
                       "1: allele 1 is not an integer: \"\\xef\\xbb\\xbf0\""),
        genotype_fault("quoted_alleles", "\"0\" \"1\"\n", "1: allele 1 is not an integer: \"\"0\"\""),
        genotype_fault("binary_garbage", std::string("\x7f" "ELF\x02\x01\x01\x00\x00\x00\n\xff\xfe\x03", 14),
                       "1: allele 1 is not an integer: \"\\x7fELF\\x02\\x01\\x01\\x00\\x00\\x00\""),
        // Bit panel faults: "PATH: what", found before the table is used.
        genotype_fault("bit_panel_wrong_magic", bit_panel(2, 4, bit_row(5) + bit_row(3), 1, "\x89PNG\r\n\x1a\n"),
                       not_a_bit_panel),
        // A copy in text mode turns CR LF into LF, which shifts everything after it.
        genotype_fault("bit_panel_copied_as_text", bit_panel(2, 4, bit_row(5) + bit_row(3), 1, "\x89" "CVB\n\x1a\n"),
                       not_a_bit_panel),
        genotype_fault("bit_panel_unknown_version", bit_panel(2, 4, bit_row(5) + bit_row(3), 2),
                       " bit panel format version 2 is not supported (this corvane reads version 1)"),
        genotype_fault("bit_panel_size_disagrees_with_h_and_s", bit_panel(2, 4, bit_row(5) + bit_row(3) + bit_row(1)),
                       " bit panel of 2 haplotypes x 4 SNPs should take 48 bytes, but the file has 56 (a wrong H or S "
                       "in the header, or bytes appended)"),
        genotype_fault("bit_panel_truncated", bit_panel(2, 4, bit_row(5) + bit_row(3)).substr(0, 44),
                       " truncated bit panel: 2 haplotypes x 4 SNPs take 48 bytes, the file has 44"),
        genotype_fault("bit_panel_truncated_in_its_header", bit_panel(2, 4, "").substr(0, 20),
                       " truncated bit panel: 20 bytes, shorter than its 32-byte header"),
        genotype_fault("bit_panel_bits_in_row_padding", bit_panel(2, 4, bit_row(5) + bit_row(0x13)),
                       " bit panel row 2 has bits set after its last SNP (4); the rest of a row's last word must be 0"),
        genotype_fault("bit_panel_without_haplotypes", bit_panel(0, 4, ""),
                       " bit panel of 0 haplotypes x 4 SNPs: it must hold at least one of each"),
        genotype_fault("bit_panel_without_snps", bit_panel(2, 0, ""),
                       " bit panel of 2 haplotypes x 0 SNPs: it must hold at least one of each"),
        genotype_fault("bit_panel_beyond_32_bits", bit_panel(uint64_t{1} << 32, 4, bit_row(5)),
                       " bit panel of 4294967296 haplotypes x 4 SNPs: at most 2147483647 of each are supported"),
        {.name = "missing_genotype_file", .genotypes = absent, .legend = good_legend,
         .out = "Input genotype file not found {G}\n", .output = result_header},
        {.name = "directory_as_genotypes", .genotypes = absent, .legend = good_legend,
         .err = "corvane: {G}: cannot read: Is a directory\n", .output = result_header,
         .setup = [](const std::string& d) { std::filesystem::create_directory(d + "/g.txt"); }},
        // A file without line ends ends in a message, not in all the memory of the machine.
        {.name = "no_line_end_in_256_MiB", .genotypes = absent, .legend = good_legend,
         .arguments = scan_arguments("/dev/zero", "{L}", "0.5", "{O}"),
         .err = "/dev/zero:1: line longer than 256 MiB; is this a text file?\n", .output = result_header},
        // A VCF or BCF (plain, or decompressed from gzip or BGZF) is named as such.
        genotype_fault("vcf_as_genotypes", small_vcf_text, variant_file_fault("VCF")),
        genotype_fault("compressed_vcf_as_genotypes", gzip_bytes(small_vcf_text) + bgzf_end_of_file_block,
                       variant_file_fault("VCF")),
        genotype_fault("bcf_as_genotypes", gzip_bytes(std::string("BCF\x02\x02\x10\0\0\0", 9) + small_vcf_text),
                       variant_file_fault("BCF")),
        genotype_fault("uncompressed_bcf_as_genotypes", std::string("BCF\x02\x02\x10\0\0\0", 9) + small_vcf_text,
                       variant_file_fault("BCF")),
        {.name = "legend_given_as_genotypes", .genotypes = good_genotypes, .legend = good_legend,
         .arguments = scan_arguments("{L}", "{G}", "0.5", "{O}"),
         .err = "{L}:1: allele 1 is not an integer: \"chr\"\n", .output = result_header},

        // Legend faults, found once the first region needs its rows.
        {.name = "missing_legend", .genotypes = good_genotypes, .legend = absent,
         .out = "Input legend file not found: {L}\n", .output = result_header},
        {.name = "directory_as_legend", .genotypes = good_genotypes, .legend = absent,
         .err = "corvane: {L}: cannot read: Is a directory\n", .output = result_header,
         .setup = [](const std::string& d) { std::filesystem::create_directory(d + "/l.txt"); }},
        legend_fault("legend_one_row_short", legend_text(snps - 1),
                     "corvane: {L}: 29 SNP rows after the header, but the genotype table has 30 SNPs\n"),
        legend_fault("legend_of_only_a_header", "chr\tid\tcM\tbp\n",
                     "corvane: {L}: 0 SNP rows after the header, but the genotype table has 30 SNPs\n"),
        legend_fault("empty_legend", "",
                     "corvane: {L}: 0 SNP rows after the header, but the genotype table has 30 SNPs\n"),
        // Five haplotype lines read as a header and four rows, for 30 SNPs.
        {.name = "genotypes_given_as_legend", .genotypes = good_genotypes, .legend = good_legend,
         .arguments = scan_arguments("{G}", "{G}", "0.5", "{O}"),
         .err = "corvane: {G}: 4 SNP rows after the header, but the genotype table has 30 SNPs\n",
         .output = result_header},
        legend_fault("short_first_row", with_short_row(good_legend, 0),
                     "{L}:2: expected at least 4 fields (chr, id, cM, bp), found 3\n"),
        legend_fault("short_last_row", with_short_row(good_legend, snps - 1),
                     "{L}:31: expected at least 4 fields (chr, id, cM, bp), found 3\n"),
        accepted("short_row_no_region_uses", good_genotypes, with_short_row(good_legend, 12), "0.5", whole_table_row),
        legend_fault("legend_of_one_row", legend_text(1),
                     "corvane: {L}: 1 SNP row after the header, but the genotype table has 30 SNPs\n"),
        // A longer legend is warned of; the rows, the output and the status stay.
        {.name = "legend_longer_than_the_panel", .genotypes = good_genotypes, .legend = legend_text(snps + 2),
         .status = 0,
         .err = "corvane: {L}: 32 SNP rows after the header, but the genotype table has 30 SNPs; the last 2 rows are "
                "not used: check that the legend belongs to this panel\n",
         .output = result_header + whole_table_row},
        // Physical positions beyond 32 bits are refused where a region uses their row, never wrapped.
        legend_fault("legend_bp_beyond_32_bits", legend_with_bp(snps - 1, "3000000000"), "{L}:31: bp 3000000000" + bp_beyond_range),
        legend_fault("legend_bp_below_32_bits", legend_with_bp(0, "-2147483649"), "{L}:2: bp -2147483649" + bp_beyond_range),
        legend_fault("legend_bp_beyond_64_bits", legend_with_bp(0, " +123456789012345678901234567890xyz"),
                     "{L}:2: bp +123456789012345678901234567890" + bp_beyond_range),
        accepted("legend_bp_beyond_32_bits_in_a_row_no_region_uses", good_genotypes, legend_with_bp(12, "3000000000"),
                 "0.5", whole_table_row),
        accepted("legend_bp_at_the_32_bit_limits", good_genotypes,
                 legend_with_bp(snps - 1, "2147483647"), "0.5", "21\t10000\t2147483647\t3.625\t2147473647\t30\n"),
        accepted("legend_without_final_newline", good_genotypes, good_legend.substr(0, good_legend.size() - 1), "0.5",
                 whole_table_row),
        // atof narrowed to float as a C cast does: up to half a float step above FLT_MAX rounds to FLT_MAX,
        // beyond that to infinity.
        accepted("genetic_position_rounding_to_the_float_maximum", good_genotypes,
                 legend_with_last_position("3.40282350e38"), "0.5", "21\t10000\t17250\t3.40282e+38\t7250\t30\n"),
        accepted("genetic_position_beyond_the_float_range", good_genotypes, legend_with_last_position("3.4028236e38"),
                 "0.5", "21\t10000\t17250\tinf\t7250\t30\n"),

        // Output paths.
        {.name = "output_in_a_missing_directory", .genotypes = good_genotypes, .legend = good_legend,
         .arguments = scan_arguments("{G}", "{L}", "0.5", "{D}/no-such-dir/out.tsv"),
         .err = "corvane: cannot create output file {D}/no-such-dir/out.tsv: No such file or directory\n",
         .output = absent},
        {.name = "output_is_a_directory", .genotypes = good_genotypes, .legend = good_legend,
         .err = "corvane: cannot create output file {O}: Is a directory\n", .output = untouched,
         .setup = [](const std::string& d) { std::filesystem::create_directory(d + "/out.tsv"); }},
        {.name = "output_on_a_full_device", .genotypes = good_genotypes, .legend = good_legend,
         .arguments = scan_arguments("{G}", "{L}", "0.5", "/dev/full"),
         .err = "corvane: /dev/full: cannot write: No space left on device\n", .output = untouched},
        // The result is text, whatever its name says; a name ending in .gz is warned of.
        {.name = "output_named_gz", .genotypes = good_genotypes, .legend = good_legend,
         .arguments = scan_arguments("{G}", "{L}", "0.5", "{D}/out.tsv.gz"), .status = 0,
         .err = "corvane: {D}/out.tsv.gz ends in .gz, but the result is written as plain text (compress it afterwards, "
                "e.g. with bgzip, or name it without .gz)\n",
         .output = result_header + whole_table_row},
        output_refused("output_is_the_genotype_file", "{G}", "genotype file {G}"),
        output_refused("output_is_the_legend_file", "{L}", "legend file {L}"),
        output_refused("output_is_the_genotype_file_by_another_name", "{D}/./g.txt", "genotype file {G}"),
        output_refused("output_is_a_symbolic_link_to_the_genotypes", "{D}/link.tsv", "genotype file {G}",
                       [](const std::string& d) { std::filesystem::create_symlink(d + "/g.txt", d + "/link.tsv"); }),
        output_refused("output_is_a_hard_link_to_the_legend", "{D}/hard.tsv", "legend file {L}",
                       [](const std::string& d) { std::filesystem::create_hard_link(d + "/l.txt", d + "/hard.tsv"); }),
        // An input that does not exist yet is not created by naming it as the output.
        {.name = "output_is_a_legend_not_there_yet", .genotypes = good_genotypes, .legend = absent,
         .arguments = scan_arguments("{G}", "{L}", "0.5", "{L}"),
         .err = "corvane: output file {L} is the legend file {L}; refusing to overwrite an input\n",
         .output = absent},
        // Nor through a link that points to it: the file created at the link's target is removed, the
        // user's link is kept (the directory keeps its names).
        {.name = "output_is_a_dangling_link_to_the_legend", .genotypes = good_genotypes, .legend = absent,
         .err = "corvane: output file {O} is the legend file {L}; refusing to overwrite an input\n",
         .output = absent,
         .setup = [](const std::string& d) { std::filesystem::create_symlink("l.txt", d + "/out.tsv"); }},
        // Another run writing the same output holds its lock: refused, that run's rows kept whole.
        {.name = "output_locked_by_another_run", .genotypes = good_genotypes, .legend = good_legend,
         .err = "corvane: output file {O} is locked by another run writing it; refusing to write into it\n",
         .output = untouched, .setup = [](const std::string& d) { write_file(d + "/out.tsv", first_run_rows); },
         .output_locked = true},

        // The command line: checked before anything is created.
        argument_count("no_arguments", {}),
        argument_count("seven_arguments", {"-hap", "{G}", "-legend", "{L}", "-freq", "0.5", "-out"}),
        argument_count("nine_arguments", {"-hap", "{G}", "-legend", "{L}", "-freq", "0.5", "-out", "{O}", "extra"}),
        argument_count("values_without_labels", {"{G}", "{L}", "0.5", "{O}"}),
        // Help and version are answered only as the sole argument, spelled exactly so.
        argument_count("help_with_another_argument", {"--help", "{G}"}),
        argument_count("version_after_a_whole_command_line",
                       {"-hap", "{G}", "-legend", "{L}", "-freq", "0.5", "-out", "{O}", "--version"}),
        argument_count("help_with_one_dash", {"-help"}),
        argument_count("version_with_a_value", {"--version=1"}),
        // -freq's slot holds the legend path here, so the frequency check refuses the run.
        {.name = "options_in_another_order", .genotypes = good_genotypes, .legend = good_legend,
         .arguments = {"-out", "{O}", "-hap", "{G}", "-legend", "{L}", "-freq", "0.5"}, .status = 2,
         .err = "corvane: frequency must be a number above 0 and below 1, got \"{L}\"\n", .output = absent},
        {.name = "labels_are_not_read", .genotypes = good_genotypes, .legend = good_legend,
         .arguments = {"a", "{G}", "b", "{L}", "c", "0.5", "d", "{O}"}, .status = 0,
         .output = result_header + whole_table_row},
        frequency_refused("frequency_zero", "0"),
        frequency_refused("frequency_one", "1"),
        frequency_refused("frequency_negative", "-0.25"),
        frequency_refused("frequency_above_one", "1.5"),
        frequency_refused("frequency_nan", "nan"),
        frequency_refused("frequency_inf", "inf"),
        frequency_refused("frequency_minus_inf", "-inf"),
        frequency_refused("frequency_text", "text"),
        frequency_refused("frequency_empty", ""),
        // Inside (0, 1) as doubles, but 0 and 1 in single precision.
        frequency_refused("frequency_zero_in_single_precision", "1e-50"),
        frequency_refused("frequency_one_in_single_precision", "0.9999999999"),
        frequency_refused("frequency_hexadecimal_one", "0x1p+0"),
        frequency_refused("frequency_is_a_directory", "{D}"),
        frequency_refused("frequency_is_a_missing_file", "{D}/missing"),
        // atof reads the longest numeric prefix, hexadecimal included.
        accepted("frequency_with_a_numeric_prefix", good_genotypes, good_legend, " 0.5xyz", whole_table_row),
        accepted("frequency_hexadecimal_half", good_genotypes, good_legend, "0x0.8", whole_table_row),
        // A threshold of 0 is allowed: every window passes, even where all three rows differ.
        accepted("threshold_zero", "0 1 1\n1 0 1\n1 1 0\n", legend_text(3), "0.01", "21\t10000\t10500\t0.25\t500\t3\n"),
    };

    // A fault far down a file that needs several reads to reach.
    allele_rows far_down = identical_rows(2600, 1000);  // about 5 MB of text
    far_down[2345].push_back(1);
    rows.push_back(genotype_fault("far_down_after_many_buffer_refills", panel_text(far_down),
                                  "2346: expected 1000 alleles, found 1001"));

    // Damaged compressed files: a truncated download, corrupt data.
    const std::string stretch_panel = panel_text(shared_stretch_panel());
    const std::string stretch_legend = legend_text(static_cast<int32_t>(shared_stretch_panel()[0].size()));
    const std::string compressed = gzip_bytes(stretch_panel);
    std::string corrupt = compressed;
    for (size_t i = 20; i < 60 && i < corrupt.size(); ++i) corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5a);
    rows.push_back({.name = "truncated_compressed_genotypes", .genotypes = compressed.substr(0, compressed.size() / 2),
                    .legend = stretch_legend,
                    .err = "corvane: {G}: cannot read: compressed data ends early (truncated file)\n",
                    .output = result_header});
    rows.push_back({.name = "corrupt_compressed_genotypes", .genotypes = corrupt, .legend = stretch_legend,
                    .err = "corvane: {G}: cannot read: invalid bit length repeat\n",
                    .output = result_header});
    const std::string compressed_legend = gzip_bytes(stretch_legend);
    // Concatenated gzip members read as one file (line numbers run on), the empty block that ends a
    // BGZF file included; bytes after the last member that start no other are refused, not dropped.
    rows.push_back(genotype_fault("second_gzip_member_is_read",
                                  gzip_bytes(good_genotypes) + gzip_bytes("0 1\n") + bgzf_end_of_file_block,
                                  "6: expected 30 alleles, found 2"));
    rows.push_back(accepted("bgzf_end_of_file_block", gzip_bytes(good_genotypes) + bgzf_end_of_file_block, good_legend,
                            "0.5", whole_table_row));
    rows.push_back({.name = "plain_lines_after_compressed_genotypes", .genotypes = gzip_bytes(good_genotypes) +
                    panel_text(identical_rows(200, snps)), .legend = good_legend,
                    .err = "corvane: {G}: data after the end of the compressed stream\n", .output = result_header});
    rows.push_back(legend_fault("garbage_after_compressed_legend", gzip_bytes(good_legend) + std::string(3, '\0'),
                                "corvane: {L}: data after the end of the compressed stream\n"));
    rows.push_back({.name = "truncated_compressed_legend", .genotypes = stretch_panel,
                    .legend = compressed_legend.substr(0, compressed_legend.size() - 100),
                    .err = "corvane: {L}: cannot read: compressed data ends early (truncated file)\n",
                    .output = result_header});

    // Binary garbage as a legend fails on the first row a region uses.
    std::string garbage = "\x7f" "ELF\x02\x01\n";
    for (int32_t snp = 0; snp < snps; ++snp) garbage += std::string("\xff\xfe\x00\x01\x1b[0m\n", 9);
    rows.push_back(legend_fault("binary_garbage_legend", garbage,
                                "{L}:2: expected at least 4 fields (chr, id, cM, bp), found 1\n"));
    return rows;
}

std::string with_paths(std::string text, const std::string& directory) {
    const std::pair<std::string, std::string> names[] = {
        {"{G}", directory + "/g.txt"}, {"{L}", directory + "/l.txt"}, {"{O}", directory + "/out.tsv"},
        {"{D}", directory}};
    for (const auto& [placeholder, path] : names) {
        for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + path.size())) {
            text.replace(at, placeholder.size(), path);
        }
    }
    return text;
}

class ScanBadInput : public ::testing::TestWithParam<input_case> {};

TEST_P(ScanBadInput, BothToolsGiveTheStatusStreamsAndOutputOfTheRow) {
    const input_case& row = GetParam();
    scratch_dir dir;
    const auto path = [&](const std::string& text) { return with_paths(text, dir.path); };
    if (row.genotypes != absent) write_file(path("{G}"), row.genotypes);
    if (row.legend != absent) write_file(path("{L}"), row.legend);
    if (row.setup != nullptr) row.setup(dir.path);

    bad_case to_run;
    for (const std::string& argument : row.arguments) to_run.arguments.push_back(path(argument));
    const bool output_named = to_run.arguments.size() == 8 && to_run.arguments[6] == "-out";
    to_run.output = output_named ? to_run.arguments[7] : path("{O}");
    to_run.inputs = {path("{G}"), path("{L}")};
    if (row.output == untouched) to_run.inputs.push_back(to_run.output);
    to_run.limits.directory = dir.path;
    const auto names_before = directory_names(dir.path);

    std::optional<held_lock> lock;
    if (row.output_locked) lock.emplace(to_run.output);
    const case_outcome ran = run_bad_case(to_run);
    EXPECT_EQ(ran.status, row.status);
    EXPECT_EQ(ran.out, path(row.out));
    EXPECT_EQ(ran.err, path(row.err));
    if (row.output == absent) {
        EXPECT_FALSE(ran.output_exists);
        EXPECT_EQ(directory_names(dir.path), names_before) << "a refused run created a file";
    } else if (row.output != untouched) {
        EXPECT_EQ(ran.output, row.output);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ScanBadInput, ::testing::ValuesIn(input_cases()),
                         [](const auto& info) { return info.param.name; });

// The one command line whose answer names the tool, so the two cannot share a row above.
TEST(ScanCommandLine, HelpOrVersionAloneIsAnsweredOnStandardOutput) {
    std::vector<std::string> tools = {CORVANE_EXE};
#ifdef CORVANE_REFERENCE_EXE
    tools.push_back(CORVANE_REFERENCE_EXE);
#endif
    scratch_dir dir;
    for (const std::string& tool : tools) {
        const std::string name = tool.substr(tool.rfind('/') + 1);
        for (const char* request : {"--help", "-h"}) {
            const run_result help = run_program(tool, {request}, {.directory = dir.path});
            EXPECT_EQ(help.status, 0) << name;
            EXPECT_TRUE(help.out.starts_with("usage: " + name + " -hap GENOTYPES")) << help.out;
            EXPECT_NE(help.out.find("exceeds 0.98"), std::string::npos) << help.out;
            EXPECT_EQ(help.err, "");
        }
        const run_result version = run_program(tool, {"--version"});
        EXPECT_EQ(version.status, 0);
        EXPECT_TRUE(version.out.starts_with(name + " " CORVANE_VERSION)) << version.out;
        EXPECT_TRUE(version.out.ends_with("\n"));
        // Help that cannot be written is a failed run.
        EXPECT_EQ(std::system((tool + " --help > /dev/full 2>/dev/null").c_str()), 1 << 8) << name;
    }
    EXPECT_TRUE(directory_names(dir.path).empty());
}

}  // namespace
}  // namespace corvane::testing
