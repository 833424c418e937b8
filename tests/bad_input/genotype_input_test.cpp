// Malformed genotype files: each class ends with "PATH:LINE: what", status 1 and a header-only output.
#include <algorithm>
#include <ostream>
#include <string>

#include <gtest/gtest.h>
#include <zlib.h>

#include "../test_support.hpp"
#include "bad_case.hpp"

namespace corvane::testing {
namespace {

struct genotype_fault {
    const char* name;
    std::string text;
    std::string message;  // after "PATH:"
};

// A bit panel: the header of `haplotypes` x `snps` (format `version`), then `rows` as they are.
std::string bit_panel(uint64_t haplotypes, uint64_t snps, const std::string& rows, uint32_t version = 1,
                      std::string magic = "\x89" "CVB\r\n\x1a\n") {
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

const genotype_fault genotype_faults[] = {
    {"bit_panel_wrong_magic", bit_panel(2, 4, bit_row(5) + bit_row(3), 1, "\x89PNG\r\n\x1a\n"),
     " not a genotype file: it starts with byte 0x89 but not with the bit panel's magic bytes 89 43 56 42 0D 0A 1A "
     "0A (damaged, or another format)"},
    // A copy in text mode turns CR LF into LF, which shifts everything after it.
    {"bit_panel_copied_as_text", bit_panel(2, 4, bit_row(5) + bit_row(3), 1, "\x89" "CVB\n\x1a\n"),
     " not a genotype file: it starts with byte 0x89 but not with the bit panel's magic bytes 89 43 56 42 0D 0A 1A "
     "0A (damaged, or another format)"},
    {"bit_panel_unknown_version", bit_panel(2, 4, bit_row(5) + bit_row(3), 2),
     " bit panel format version 2 is not supported (this corvane reads version 1)"},
    {"bit_panel_size_disagrees_with_h_and_s", bit_panel(2, 4, bit_row(5) + bit_row(3) + bit_row(1)),
     " bit panel of 2 haplotypes x 4 SNPs should take 48 bytes, but the file has 56 (a wrong H or S in the header, "
     "or bytes appended)"},
    {"bit_panel_truncated", bit_panel(2, 4, bit_row(5) + bit_row(3)).substr(0, 44),
     " truncated bit panel: 2 haplotypes x 4 SNPs take 48 bytes, the file has 44"},
    {"bit_panel_truncated_in_its_header", bit_panel(2, 4, "").substr(0, 20),
     " truncated bit panel: 20 bytes, shorter than its 32-byte header"},
    {"bit_panel_bits_in_row_padding", bit_panel(2, 4, bit_row(5) + bit_row(0x13)),
     " bit panel row 2 has bits set after its last SNP (4); the rest of a row's last word must be 0"},
    {"bit_panel_without_haplotypes", bit_panel(0, 4, ""),
     " bit panel of 0 haplotypes x 4 SNPs: it must hold at least one of each"},
    {"bit_panel_without_snps", bit_panel(2, 0, ""),
     " bit panel of 2 haplotypes x 0 SNPs: it must hold at least one of each"},
    {"bit_panel_beyond_32_bits", bit_panel(uint64_t{1} << 32, 4, bit_row(5)),
     " bit panel of 4294967296 haplotypes x 4 SNPs: at most 2147483647 of each are supported"},
    {"empty_file", "", "1: empty file: no haplotypes"},
    {"only_a_newline", "\n", "1: empty line"},
    {"empty_line", "0 1 1\n\n1 0 1\n", "2: empty line"},
    {"trailing_empty_line", "0 1 1\n1 0 1\n\n", "3: empty line"},
    {"blank_line", "0 1 1\n \t \n", "2: expected 3 alleles, found 0"},
    {"too_many_alleles", "0 1 1\n1 0 1 0\n", "2: expected 3 alleles, found 4"},
    {"too_few_alleles", "0 1 1\n1 0 1\n1 0\n", "3: expected 3 alleles, found 2"},
    {"too_few_on_unterminated_last_line", "0 1 1\n1 0", "2: expected 3 alleles, found 2"},
    // The first line's field count is taken by single blanks: a run of two blanks is an empty field.
    {"double_blank_in_first_line", "0  1\n0  1\n", "1: expected 3 alleles, found 2"},
    {"non_integer_token", "0 1 1\n1 x 1\n", "2: allele 2 is not an integer: \"x\""},
    {"decimal_token", "0 1 1\n1 0.5 1\n", "2: allele 2 is not an integer: \"0.5\""},
    {"sign_without_digits", "0 1 1\n1 - 1\n", "2: allele 2 is not an integer: \"-\""},
    {"digits_then_letters", "0 1 1\n1 2e3 1\n", "2: allele 2 is not an integer: \"2e3\""},
    {"above_32_bits", "0 1 1\n1 2147483648 1\n", "2: allele 2 is outside the 32-bit integer range: \"2147483648\""},
    {"below_32_bits", "0 1 1\n-2147483649 1 1\n",
     "2: allele 1 is outside the 32-bit integer range: \"-2147483649\""},
    {"far_beyond_64_bits", "0 1 1\n1 1 123456789012345678901234567890\n",
     "2: allele 3 is outside the 32-bit integer range: \"123456789012345678901234567890\""},
    {"nul_byte_inside_a_line", std::string("0 1 1\n1 0\0 1\n", 13), "2: allele 2 is not an integer: \"0\\x00\""},
    {"nul_byte_in_first_line", std::string("0 1\0 1\n", 7), "1: allele 2 is not an integer: \"1\\x00\""},
    // CR alone does not end a line; the whole file is one line.
    {"cr_only_line_ends", "0 1\r1 0\r", "1: allele 2 is not an integer: \"1\\x0d1\""},
    {"byte_order_mark", "\xef\xbb\xbf" "0 1\n1 0\n", "1: allele 1 is not an integer: \"\\xef\\xbb\\xbf0\""},
    {"quoted_alleles", "\"0\" \"1\"\n", "1: allele 1 is not an integer: \"\"0\"\""},
    {"binary_garbage", std::string("\x7f" "ELF\x02\x01\x01\x00\x00\x00\n\xff\xfe\x03", 14),
     "1: allele 1 is not an integer: \"\\x7fELF\\x02\\x01\\x01\\x00\\x00\\x00\""},
};

void PrintTo(const genotype_fault& fault, std::ostream* stream) { *stream << fault.name; }

class genotype_input : public ::testing::TestWithParam<genotype_fault> {};

TEST_P(genotype_input, fails_on_the_faulty_line_and_leaves_only_the_header) {
    const genotype_fault& fault = GetParam();
    scratch_dir dir;
    const std::string genotypes = dir.file("g.txt"), legend = dir.file("l.txt"), output = dir.file("out.tsv");
    write_file(genotypes, fault.text);
    write_file(legend, legend_text(4));
    const case_outcome ran = run_bad_case(scan_case(genotypes, legend, "0.5", output));
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, genotypes + ":" + fault.message + "\n");
    EXPECT_EQ(ran.output, output_header);
}

INSTANTIATE_TEST_SUITE_P(each_class, genotype_input, ::testing::ValuesIn(genotype_faults),
                         [](const auto& info) { return std::string(info.param.name); });

// The first line of a panel after `rows` haplotypes of `snps` alleles: a line count that needs
// several reads of the file to reach.
TEST(genotype_input_far_down, names_the_right_line_after_many_buffer_refills) {
    scratch_dir dir;
    const std::string genotypes = dir.file("g.txt"), legend = dir.file("l.txt"), output = dir.file("out.tsv");
    allele_rows rows = identical_rows(2600, 1000);  // about 5 MB of text, more than one read
    rows[2345].push_back(1);
    write_file(genotypes, panel_text(rows));
    write_file(legend, legend_text(1000));
    const case_outcome ran = run_bad_case(scan_case(genotypes, legend, "0.5", output));
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, genotypes + ":2346: expected 1000 alleles, found 1001\n");
    EXPECT_EQ(ran.output, output_header);
}

std::string gzip_bytes(const std::string& path, const std::string& text) {
    gzFile file = gzopen(path.c_str(), "wb6");
    gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
    gzclose(file);
    return read_file(path);
}

TEST(genotype_input_compressed, truncated_download_is_reported_not_scanned) {
    scratch_dir dir;
    const std::string genotypes = dir.file("g.txt.gz"), legend = dir.file("l.txt"), output = dir.file("out.tsv");
    const allele_rows rows = shared_stretch_panel();
    const std::string whole = gzip_bytes(genotypes, panel_text(rows));
    write_file(genotypes, whole.substr(0, whole.size() / 2));
    write_file(legend, legend_text(static_cast<int32_t>(rows[0].size())));
    const case_outcome ran = run_bad_case(scan_case(genotypes, legend, "0.5", output));
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, "corvane: " + genotypes + ": cannot read: compressed data ends early (truncated file)\n");
    EXPECT_EQ(ran.output, output_header);
}

TEST(genotype_input_compressed, corrupt_compressed_data_is_reported) {
    scratch_dir dir;
    const std::string genotypes = dir.file("g.txt.gz"), legend = dir.file("l.txt"), output = dir.file("out.tsv");
    const allele_rows rows = shared_stretch_panel();
    std::string bytes = gzip_bytes(genotypes, panel_text(rows));
    for (size_t i = 20; i < 60 && i < bytes.size(); ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
    write_file(genotypes, bytes);
    write_file(legend, legend_text(static_cast<int32_t>(rows[0].size())));
    const case_outcome ran = run_bad_case(scan_case(genotypes, legend, "0.5", output));
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err.rfind("corvane: " + genotypes + ": cannot read: ", 0), 0u) << ran.err;
    EXPECT_EQ(ran.output, output_header);
}

// Windows line ends are a format users have, not a fault: the scan is the same as with LF.
TEST(genotype_input_line_ends, crlf_files_give_the_same_output_as_lf_files) {
    scratch_dir dir;
    const allele_rows rows = shared_stretch_panel();
    const int32_t snps = static_cast<int32_t>(rows[0].size());
    const std::string legend_lf = dir.file("l.txt"), legend_crlf = dir.file("l-crlf.txt");
    write_file(legend_lf, legend_text(snps));
    write_file(legend_crlf, legend_text(snps, "\r\n"));
    const struct {
        const char* name;
        std::string genotype_text;
        const std::string& legend;
    } variants[] = {
        {"lf", panel_text(rows), legend_lf},
        {"crlf-genotypes", panel_text(rows, " ", "\r\n"), legend_lf},
        {"crlf-both", panel_text(rows, "\t", "\r\n"), legend_crlf},
        {"crlf-legend", panel_text(rows), legend_crlf},
    };
    std::string expected;
    for (const auto& variant : variants) {
        const std::string genotypes = dir.file(std::string(variant.name) + ".hap");
        const std::string output = dir.file(std::string(variant.name) + ".tsv");
        write_file(genotypes, variant.genotype_text);
        const case_outcome ran =
            run_bad_case(scan_case(genotypes, variant.legend, "0.5", output));
        EXPECT_EQ(ran.status, 0) << variant.name << ": " << ran.err;
        EXPECT_EQ(ran.err, "") << variant.name;
        if (expected.empty()) {
            expected = ran.output;
            EXPECT_GT(std::count(expected.begin(), expected.end(), '\n'), 2) << "the panel should give regions";
        }
        EXPECT_EQ(ran.output, expected) << variant.name;
    }
}

}  // namespace
}  // namespace corvane::testing
