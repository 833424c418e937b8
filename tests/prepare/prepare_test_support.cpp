// Running corvane-prepare and bcftools from the tests, and small text helpers.
#include "prepare_test_support.hpp"

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

std::vector<std::string> names_starting_with(const std::string& directory, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
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
