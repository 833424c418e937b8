// Running corvane-prepare and bcftools from the tests, and small text helpers.
#include "support/prepare_support.hpp"

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace corvane::testing {

run_result run_prepare(const std::vector<std::string>& arguments) { return run_program(CORVANE_PREPARE_EXE, arguments); }

bool have_bcftools() { return std::string(CORVANE_BCFTOOLS).size() > 0; }

bool run_bcftools(const std::vector<std::string>& arguments) {
    if (!have_bcftools()) return false;
    return run_program(CORVANE_BCFTOOLS, arguments).status == 0;
}

std::string bit_panel_text(const std::string& path) {
    const std::string bytes = read_file(path);
    if (bytes.size() < 32 || bytes.compare(0, 12, std::string("\x89" "CVB\r\n\x1a\n\x01\0\0\0", 12)) != 0) {
        return "<not a bit panel>";
    }
    const auto number = [&](size_t at) {
        uint64_t value = 0;
        for (size_t i = 8; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    const uint64_t haplotypes = number(16), snps = number(24), row_bytes = (snps + 63) / 64 * 8;
    if (bytes.size() != 32 + haplotypes * row_bytes) return "<not a bit panel>";
    std::string text;
    for (uint64_t r = 0; r < haplotypes; ++r) {
        for (uint64_t c = 0; c < snps; ++c) {
            text += static_cast<char>('0' + (static_cast<unsigned char>(bytes[32 + r * row_bytes + c / 8]) >> (c % 8) & 1));
            text += c + 1 < snps ? '\t' : '\n';
        }
    }
    return text;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string small_vcf(const std::vector<std::string>& samples, const std::vector<std::string>& records) {
    std::string text =
        "##fileformat=VCFv4.2\n"
        "##contig=<ID=1,length=1000000>\n"
        "##contig=<ID=2,length=1000000>\n"
        "##INFO=<ID=CM,Number=1,Type=Float,Description=\"genetic position\">\n"
        "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
        "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (const std::string& sample : samples) text += "\t" + sample;
    text += "\n";
    for (const std::string& record : records) text += record + "\n";
    return text;
}

}  // namespace corvane::testing
