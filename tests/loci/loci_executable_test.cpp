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
    "locus\tchr\tstart\tend\tintervals\tpeak_start\tpeak_end\tpeak_cM\tpeak_snps\trank\tpercentile\tpeak_kb\t"
    "peak_cM_per_Mb";

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
        ASSERT_EQ(row.size(), 16u);
        const int32_t lo = snp_at_bp.at(std::stoi(row[5]));
        const int32_t count = count_similar_haplotypes(matrix, {lo, lo + std::stoi(row[8]) - 1});
        EXPECT_EQ(row[13], std::to_string(count)) << row[0];
        EXPECT_EQ(carrier_lines[row[0]], count) << row[0];
        EXPECT_NEAR(std::stod(row[14]), count / 758.0, 1e-6) << row[0];
        EXPECT_EQ(row[15].size(), static_cast<size_t>(std::min(std::stoi(row[8]), 200))) << row[0];
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
        EXPECT_EQ(alleles.substr(0, 200), row[15]) << row[0];
        EXPECT_EQ(bed[k - 1], (std::vector<std::string>{row[1], std::to_string(std::stoi(row[2]) - 1), row[3], row[0],
                                                        std::to_string(std::lround(1000 * std::stod(row[10])))}));
        rank_one += row[9] == "1";
    }
    EXPECT_GE(rank_one, 1);
}

// Loci across two frequencies, by hand: at 0.2 the longest interval [4000, 9000] is the first seed,
// [1000, 5000] overlaps it and [9500, 13000] is the second seed; the cut lies at bp 9250, so the 0.5
// intervals whose midpoints lie before it join c1:1, the rest c1:2. The null's three loci (n1:1,
// n1:2, n2:1) have tail counts (1, 3), (3, 2) and (2, 1): statistics ln 4 + ln 4/3, ln 4/3 + ln 2 and
// ln 2 + ln 4. The observed c1:1 has (1, 3), tied with n1:1: p = 3/4; c1:2 has (2, 3), equal to n1:2's
// sum though added the other way round: p = 4/4. Without the null, each locus is scored against both
// observed loci, the counts tie and the peak is at the higher frequency.
TEST(LociExecutable, WorkedExampleAcrossFrequenciesWithAndWithoutANull) {
    scratch_dir dir;
    write_file(dir.file("obs.0.2.tsv"), result_header + "c1\t1000\t5000\t0.40\t4000\t40\nc1\t4000\t9000\t0.50\t5000\t50\n"
                                                   "c1\t9500\t13000\t0.30\t3500\t30\n");
    write_file(dir.file("obs.0.5.tsv"), result_header + "c1\t1000\t2000\t0.10\t1000\t10\nc1\t3000\t4200\t0.05\t1200\t12\n"
                                                   "c1\t6000\t7000\t0.20\t1000\t20\nc1\t10000\t11000\tnan\t1000\t8\n"
                                                   "c1\t12500\t14000\t0.15\t1500\t15\n");
    write_file(dir.file("null.0.2.tsv"), result_header + "n1\t100\t3000\t0.35\t2900\t30\nn1\t2500\t6000\t0.20\t3500\t25\n"
                                                    "n1\t7000\t8000\t0.10\t1000\t9\nn2\t500\t4000\t0.25\t3500\t22\n");
    write_file(dir.file("null.0.5.tsv"), result_header + "n1\t200\t900\t0.12\t700\t7\nn1\t5000\t5600\t0.08\t600\t6\n"
                                                    "n1\t7100\t7600\t0.30\t500\t5\nn2\t600\t1500\t0.02\t900\t4\n"
                                                    "n2\t3000\t3900\tinf\t900\t9\n");
    const std::vector<std::string> observed = {"--freq", "0.2", dir.file("obs.0.2.tsv"), "--freq", "0.5", dir.file("obs.0.5.tsv")};
    std::vector<std::string> with_null = observed;
    with_null.insert(with_null.end(), {"--null-freq", "0.5", dir.file("null.0.5.tsv"), "--null-freq", "0.2",
                                       dir.file("null.0.2.tsv"), "-o", dir.file("loci.tsv")});
    const std::string columns = loci_header + "\tpeak_freq\tmax_freq\tcM_0.2\tcM_0.5\tstatistic";
    const run_result ran = run_program(CORVANE_LOCI_EXE, with_null);
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(read_file(dir.file("loci.tsv")),
              columns + "\tp_value\tq_value\n"
                        "c1:1\tc1\t1000\t9000\t5\t4000\t9000\t0.50\t50\t1\t1\t5.000\t100\t0.2\t0.5\t0.50\t0.20\t1.673976\t0.75\t1\n"
                        "c1:2\tc1\t9500\t14000\t3\t9500\t13000\t0.30\t30\t2\t0.5\t3.500\t85.7143\t0.2\t0.5\t0.30\t0.15\t0.980829\t1\t1\n");
    std::vector<std::string> without_null = observed;
    without_null.insert(without_null.end(), {"-o", dir.file("alone.tsv")});
    const run_result alone = run_program(CORVANE_LOCI_EXE, without_null);
    ASSERT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(read_file(dir.file("alone.tsv")),
              columns + "\n"
                        "c1:1\tc1\t1000\t9000\t5\t6000\t7000\t0.20\t20\t1\t1\t1.000\t200\t0.5\t0.5\t0.50\t0.20\t2.197225\n"
                        "c1:2\tc1\t9500\t14000\t3\t12500\t14000\t0.15\t15\t2\t0.5\t1.500\t100\t0.5\t0.5\t0.30\t0.15\t0.810930\n");
}

// The statistic's independent implementation (in Python, from the same definitions) on the scans of
// simulations: 8 neutral replicates as the null; 3 hard sweeps and 3 other neutral replicates
// observed; at 0.1, 0.3 and 0.6; the loci tables it wrote (tests/loci/reference/expected*.tsv) with
// the null, with every filter, and without a null.
TEST(LociExecutable, AgreesWithTheReferenceImplementationOnSimulations) {
    const std::string data = CORVANE_TEST_DATA "/loci/reference/";
    std::vector<std::string> observed, null;
    for (const char* frequency : {"0.1", "0.3", "0.6"}) {
        observed.insert(observed.end(), {"--freq", frequency, data + "observed.f" + frequency + ".tsv.gz"});
        null.insert(null.end(), {"--null-freq", frequency, data + "null.f" + frequency + ".tsv.gz"});
    }
    scratch_dir dir;
    const std::vector<std::string> filters = {"--min-snps", "5", "--gap", "10000", "--min-cm", "0.001"};
    const struct {
        const char* expected;
        bool with_null;
        std::vector<std::string> options;
    } runs[] = {{"expected.loci.tsv", true, {}}, {"expected.filtered.loci.tsv", true, filters},
                {"expected.nonull.loci.tsv", false, {}}};
    for (const auto& run : runs) {
        std::vector<std::string> arguments = observed;
        if (run.with_null) arguments.insert(arguments.end(), null.begin(), null.end());
        arguments.insert(arguments.end(), run.options.begin(), run.options.end());
        arguments.insert(arguments.end(), {"-o", dir.file("loci.tsv")});
        const run_result ran = run_program(CORVANE_LOCI_EXE, arguments);
        ASSERT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(read_file(dir.file("loci.tsv")), read_file(data + run.expected)) << run.expected;
    }
}

}  // namespace
}  // namespace corvane::testing
