// corvane-loci as users run it: the example with carriers, BED, carrier list and core table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "input/genotype_matrix.hpp"
#include "search/window_count.hpp"
#include "support/fixtures.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {
namespace {

const std::string loci_header =
    "locus\tchr\tstart\tend\tintervals\tpeak_start\tpeak_end\tpeak_cM\tpeak_snps\trank\tpercentile";

std::vector<std::vector<std::string>> tsv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
        rows.push_back(fields);
    }
    return rows;
}

// The example scanned at 0.5, its loci with every output, and each locus's carriers recounted by the
// reference path's count_similar_haplotypes over the peak's SNPs; each carrier's copies and each core
// SNP's shares recounted from the carrier list and the panel.
TEST(LociExecutable, ExampleLociCarryTheScansOwnCounts) {
    scratch_dir dir;
    const std::string panel = std::string(CORVANE_EXAMPLES) + "/chr21.hap.gz";
    const std::string legend = std::string(CORVANE_EXAMPLES) + "/chr21.legend.gz";
    const std::string scan = dir.file("scan.tsv"), samples = dir.file("s.txt");
    ASSERT_EQ(run_scan_tool(CORVANE_EXE, panel, legend, "0.5", scan).status, 0);
    std::string sample_text;
    for (int k = 0; k < 379; ++k) (sample_text += "S") += std::to_string(k) + "\n";
    write_file(samples, sample_text);
    // The table split in two, the second half with its own header, reads as the whole table.
    const std::string scanned = read_file(scan);
    const size_t middle = scanned.find('\n', scanned.size() / 2) + 1;
    write_file(dir.file("a.tsv"), scanned.substr(0, middle));
    std::string second_half = result_header;
    second_half += scanned.substr(middle);
    write_file(dir.file("b.tsv"), second_half);
    const run_result ran = run_program(CORVANE_LOCI_EXE, {dir.file("a.tsv"), dir.file("b.tsv"), "--hap", panel,
                                                          "--legend", legend, "--samples", samples, "--carriers",
                                                          dir.file("c.tsv"), "--bed", dir.file("l.bed"), "--core",
                                                          dir.file("core.tsv"), "-o", dir.file("loci.tsv")});
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.err, "");
    const auto loci = tsv_rows(read_file(dir.file("loci.tsv")));
    ASSERT_GT(loci.size(), 100u);
    EXPECT_EQ(loci[0], tsv_rows(loci_header + "\tcarriers\tcarrier_frequency\tcore")[0]);

    genotype_matrix matrix;
    ASSERT_EQ(load_genotype_matrix(panel, matrix), run_status::run_ok);
    std::map<int32_t, int32_t> snp_at_bp;
    const auto legend_rows = tsv_rows(read_gzip_file(legend));
    for (size_t k = 1; k < legend_rows.size(); ++k) snp_at_bp.emplace(std::stoi(legend_rows[k][3]), static_cast<int32_t>(k - 1));
    std::map<std::string, int> carrier_lines;
    std::map<std::string, std::vector<int32_t>> carrier_rows;  // per locus, the carrier haplotypes' rows
    const auto carriers = tsv_rows(read_file(dir.file("c.tsv")));
    EXPECT_EQ(carriers[0], (std::vector<std::string>{"locus", "sample", "haplotype", "copies"}));
    for (size_t k = 1; k < carriers.size(); ++k) {
        ++carrier_lines[carriers[k][0]];
        carrier_rows[carriers[k][0]].push_back(2 * std::stoi(carriers[k][1].substr(1)) + std::stoi(carriers[k][2]) - 1);
    }
    for (size_t k = 1; k < carriers.size(); ++k) {
        const std::vector<int32_t>& rows = carrier_rows[carriers[k][0]];
        const int32_t other = (2 * std::stoi(carriers[k][1].substr(1)) + std::stoi(carriers[k][2]) - 1) ^ 1;
        const bool both = std::find(rows.begin(), rows.end(), other) != rows.end();
        EXPECT_EQ(carriers[k][3], both ? "2" : "1") << carriers[k][0] << " " << carriers[k][1];
    }
    std::map<std::string, std::vector<std::vector<std::string>>> core_rows;
    const auto core = tsv_rows(read_file(dir.file("core.tsv")));
    EXPECT_EQ(core[0], (std::vector<std::string>{"locus", "id", "bp", "cM", "core_allele", "ref", "alt", "carrier_share",
                                                 "allele_frequency"}));
    for (size_t k = 1; k < core.size(); ++k) core_rows[core[k][0]].push_back(core[k]);
    const auto bed = tsv_rows(read_file(dir.file("l.bed")));
    ASSERT_EQ(bed.size(), loci.size() - 1);
    int rank_one = 0;
    for (size_t k = 1; k < loci.size(); ++k) {
        const auto& row = loci[k];
        ASSERT_EQ(row.size(), 14u);
        const int32_t lo = snp_at_bp.at(std::stoi(row[5]));
        const int32_t count = count_similar_haplotypes(matrix, {lo, lo + std::stoi(row[8]) - 1});
        EXPECT_EQ(row[11], std::to_string(count)) << row[0];
        EXPECT_EQ(carrier_lines[row[0]], count) << row[0];
        EXPECT_NEAR(std::stod(row[12]), count / 758.0, 1e-6) << row[0];
        EXPECT_EQ(row[13].size(), static_cast<size_t>(std::min(std::stoi(row[8]), 200))) << row[0];
        // The core table: one row per peak SNP, in order, the core's alleles those of the core column.
        const auto& snps = core_rows[row[0]];
        ASSERT_EQ(snps.size(), static_cast<size_t>(std::stoi(row[8]))) << row[0];
        std::string alleles;
        for (size_t j = 0; j < snps.size(); ++j) {
            const int32_t column = lo + static_cast<int32_t>(j);
            EXPECT_EQ(snps[j][1], legend_rows[column + 1][1]) << row[0];
            EXPECT_EQ(snps[j][2], legend_rows[column + 1][3]) << row[0];
            EXPECT_EQ(snps[j][5] + snps[j][6], "..") << "the shipped legend names no alleles";
            const int32_t allele = std::stoi(snps[j][4]);
            alleles += snps[j][4];
            int32_t holding = 0, carriers_holding = 0;
            for (int32_t h = 0; h < matrix.haplotype_count; ++h) holding += matrix.at(h, column) == allele;
            for (const int32_t h : carrier_rows[row[0]]) carriers_holding += matrix.at(h, column) == allele;
            EXPECT_NEAR(std::stod(snps[j][7]), static_cast<double>(carriers_holding) / count, 1e-5) << row[0];
            EXPECT_NEAR(std::stod(snps[j][8]), holding / 758.0, 1e-5) << row[0];
        }
        EXPECT_EQ(alleles.substr(0, 200), row[13]) << row[0];
        EXPECT_EQ(bed[k - 1], (std::vector<std::string>{row[1], std::to_string(std::stoi(row[2]) - 1), row[3], row[0],
                                                        std::to_string(std::lround(1000 * std::stod(row[10])))}));
        rank_one += row[9] == "1";
    }
    EXPECT_GE(rank_one, 1);
}

}  // namespace
}  // namespace corvane::testing
