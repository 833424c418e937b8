// corvane-loci as users run it: the example with carriers, BED and carrier list.
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
// reference path's count_similar_haplotypes over the peak's SNPs.
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
                                                          dir.file("c.tsv"), "--bed", dir.file("l.bed"), "-o",
                                                          dir.file("loci.tsv")});
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
    const auto carriers = tsv_rows(read_file(dir.file("c.tsv")));
    EXPECT_EQ(carriers[0], (std::vector<std::string>{"locus", "sample", "haplotype", "copies"}));
    for (size_t k = 1; k < carriers.size(); ++k) ++carrier_lines[carriers[k][0]];
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
        EXPECT_EQ(bed[k - 1], (std::vector<std::string>{row[1], std::to_string(std::stoi(row[2]) - 1), row[3], row[0],
                                                        std::to_string(std::lround(1000 * std::stod(row[10])))}));
        rank_one += row[9] == "1";
    }
    EXPECT_GE(rank_one, 1);
}

}  // namespace
}  // namespace corvane::testing
