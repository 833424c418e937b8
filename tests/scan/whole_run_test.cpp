// Whole runs of both drivers against each other: in-process on random tables, and as executables on
// tables where every window passes, which must still end with one region.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "scan/fast_run.hpp"
#include "scan/reference_run.hpp"
#include "support/bad_case.hpp"
#include "support/random_tables.hpp"

namespace corvane::testing {
namespace {

struct run_outcome {
    run_status status;
    std::string output;
};

// Every run writes a new file: rewriting a file just truncated makes some file systems wait for the disk.
run_outcome run_in_process(run_status (*run)(int, const char* const*, scan_settings&), const scratch_dir& dir,
                           const std::string& frequency, const char* genotype_file = "table.hap") {
    static int32_t run_number = 0;
    const std::string genotypes = dir.file(genotype_file), legend = dir.file("table.legend");
    const std::string output = dir.file("out" + std::to_string(++run_number) + ".tsv");
    const char* argv[] = {"corvane", "-hap", genotypes.c_str(), "-legend", legend.c_str(),
                          "-freq", frequency.c_str(), "-out", output.c_str()};
    scan_settings settings;
    const run_status status = run(9, argv, settings);
    run_outcome outcome{status, read_file(output)};
    std::remove(output.c_str());
    return outcome;
}

// The first draws of the whole-run test: the smallest shapes and shapes at word edges.
constexpr std::pair<int32_t, int32_t> edge_shapes[] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}, {1, 64}, {3, 65}, {65, 128}, {64, 63}};

// Whole runs in-process (files, legend, output) on 200 more random tables: the same status and bytes.
// A 0/1 table is also written as a bit panel, which both paths must read to the same bytes again.
TEST(WholeRun, RandomTablesGiveTheReferenceOutputFile) {
    std::mt19937_64 random(22);
    scratch_dir dir;
    int32_t bit_panels_with_regions = 0;  // bit panel runs whose output holds two regions or more
    constexpr int32_t edge_count = static_cast<int32_t>(std::size(edge_shapes));
    for (int32_t t = 0; t < 200 + edge_count; ++t) {
        const allele_rows cells = t < edge_count ? random_table(random, edge_shapes[t].first, edge_shapes[t].second,
                                                               static_cast<table_style>(t % 3))
                                                : random_table_for_draw(random, t - edge_count);
        const auto rows = static_cast<int32_t>(cells.size());
        const fast_genotype_matrix loaded = to_allele_table(cells);
        const bool bits = loaded.kind == cell_kind::bits && !loaded.has_rare_cells();  // every allele 0 or 1
        for (const char* name : {"table.hap", "table.bits", "table.legend"}) std::remove(dir.file(name).c_str());
        write_file(dir.file("table.hap"), panel_text(cells, "\t"));
        if (bits) write_file(dir.file("table.bits"), bit_panel_bytes(cells));
        write_file(dir.file("table.legend"), random_legend_text(static_cast<int32_t>(cells.front().size()), random));
        const std::vector<int32_t> thresholds = t < edge_count ? std::vector<int32_t>{0, rows - 1}
                                                               : thresholds_for_draw(random, t - edge_count, rows);
        for (const int32_t threshold : thresholds) {
            const std::string frequency = frequency_for_threshold(rows, threshold);
            ASSERT_FALSE(frequency.empty()) << rows << " " << threshold;
            const run_outcome reference = run_in_process(run_corvane_reference, dir, frequency);
            const run_outcome fast = run_in_process(run_corvane, dir, frequency);
            ASSERT_EQ(reference.status, run_status::run_ok) << "table " << t;
            ASSERT_EQ(fast.status, reference.status) << "table " << t;
            ASSERT_EQ(fast.output, reference.output) << "table " << t << " threshold " << threshold;
            if (!bits) continue;
            for (const auto run : {run_corvane_reference, run_corvane}) {
                const run_outcome from_bits = run_in_process(run, dir, frequency, "table.bits");
                ASSERT_EQ(from_bits.status, run_status::run_ok) << "bit panel of table " << t;
                ASSERT_EQ(from_bits.output, reference.output) << "bit panel of table " << t << " threshold " << threshold;
            }
            bit_panels_with_regions += std::count(reference.output.begin(), reference.output.end(), '\n') > 2;
        }
    }
    EXPECT_GT(bit_panels_with_regions, 40);
}

// Whole runs in a child with a deadline: one region over the whole table, for S = 1 to 25.
TEST(WholeRun, IdenticalRowsEndWithOneRegionInBothTools) {
    scratch_dir dir;
    const std::string genotypes = dir.file("g.txt"), legend = dir.file("l.txt"), output = dir.file("out.tsv");
    for (int32_t snps = 1; snps <= 25; ++snps) {
        write_file(genotypes, panel_text(identical_rows(4, snps)));
        write_file(legend, legend_text(snps));
        std::string expected = result_header;
        if (snps >= 2) {
            const int32_t last = snps - 1;
            char row[128];
            std::snprintf(row, sizeof row, "21\t10000\t%d\t%g\t%d\t%d\n", 10000 + 250 * last, 0.125 * last,
                          250 * last, snps);
            expected += row;
        }
        for (const char* frequency : {"0.1", "0.875"}) {
            bad_case to_run = scan_case(genotypes, legend, frequency, output);
            to_run.limits.seconds = 30;
            const case_outcome ran = run_bad_case(to_run);
            EXPECT_EQ(ran.status, 0) << "S=" << snps << " " << ran.err;
            EXPECT_EQ(ran.output, expected) << "S=" << snps << " freq " << frequency;
        }
    }
}

}  // namespace
}  // namespace corvane::testing
