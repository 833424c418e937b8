// Whole searches and whole runs of the fast path against the plain path on random tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <bit>
#include <cstdio>
#include <set>

#include "fast/random_tables.hpp"
#include "scan/fast_run.hpp"
#include "scan/reference_run.hpp"
#include "search/fast_region.hpp"
#include "search/region.hpp"
#include "test_support.hpp"

namespace corvane::testing {
namespace {

TEST(FastScan, EveryFocalSnpGrowsThePlainRegion) {
    std::mt19937_64 random(21);
    for (int32_t t = 0; t < 60; ++t) {
        const auto style = static_cast<table_style>(t % table_style_count);
        const int32_t rows = 1 + static_cast<int32_t>(random() % 60);
        const int32_t snps = 2 + static_cast<int32_t>(random() % 200);
        const table_rows cells = random_table(random, rows, snps, style);
        const genotype_matrix matrix = to_matrix(cells);
        const fast_genotype_matrix table = to_allele_table(cells);
        window_counter counter;
        prepare_window_counter(table, counter);
        const int32_t threshold = static_cast<int32_t>(random() % static_cast<uint64_t>(rows));
        const std::string frequency_text = frequency_for_threshold(rows, threshold);
        ASSERT_FALSE(frequency_text.empty());
        const auto frequency = static_cast<float>(std::atof(frequency_text.c_str()));
        for (int32_t focal = 0; focal + 1 < snps; ++focal) {
            const region plain = grow_region(matrix, focal, frequency);
            const region fast = fast_grow_region(table, focal, frequency, counter);
            ASSERT_EQ(fast.start, plain.start) << "table " << t << " focal " << focal;
            ASSERT_EQ(fast.end, plain.end) << "table " << t << " focal " << focal;
        }
    }
}

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

// A random table of 1 to 300 SNPs for draw `t`: the styles in turn, mostly up to 12 haplotypes
// so that every threshold of those sizes comes up.
table_rows table_for_draw(std::mt19937_64& random, int32_t t) {
    const auto style = static_cast<table_style>(t % table_style_count);
    const int32_t rows = 1 + static_cast<int32_t>(random() % (t % 10 == 0 ? 40 : 12));
    const int32_t snps = 1 + static_cast<int32_t>(random() % (t % 50 == 0 ? 300 : 90));
    return random_table(random, rows, snps, style);
}

// The thresholds tried on a table of `rows` haplotypes: one drawn from 0 to H - 1, or both ends.
std::vector<int32_t> thresholds_for_draw(std::mt19937_64& random, int32_t t, int32_t rows) {
    if (t % 5 == 0) return {0, rows - 1};
    return {static_cast<int32_t>(random() % static_cast<uint64_t>(rows))};
}

// 1,000 random tables walked as the scan walks them (each next focal SNP the second after the
// region's end): the fast search finds every plain region.
TEST(FastScan, RandomTablesGiveThePlainRegionSequence) {
    std::mt19937_64 random(23);
    int32_t long_scans = 0;  // scans that found several regions, so the focal rule was followed
    int32_t from_first = 0, to_last = 0, inside = 0;  // regions touching each edge, and neither
    std::set<std::pair<int32_t, int32_t>> thresholds_seen;  // (H, threshold) for H <= 12
    for (int32_t t = 0; t < 1000; ++t) {
        const table_rows cells = table_for_draw(random, t);
        const auto rows = static_cast<int32_t>(cells.size());
        const auto snps = static_cast<int32_t>(cells.front().size());
        const genotype_matrix matrix = to_matrix(cells);
        const fast_genotype_matrix table = to_allele_table(cells);
        window_counter counter;
        prepare_window_counter(table, counter);
        for (const int32_t threshold : thresholds_for_draw(random, t, rows)) {
            const std::string frequency_text = frequency_for_threshold(rows, threshold);
            ASSERT_FALSE(frequency_text.empty()) << rows << " " << threshold;
            const auto frequency = static_cast<float>(std::atof(frequency_text.c_str()));
            int32_t regions = 0;
            for (int32_t focal = 0; is_focal_snp(focal, snps);) {
                const region plain = grow_region(matrix, focal, frequency);
                const region fast = fast_grow_region(table, focal, frequency, counter);
                ASSERT_EQ(fast.start, plain.start) << "table " << t << " focal " << focal;
                ASSERT_EQ(fast.end, plain.end) << "table " << t << " focal " << focal;
                from_first += plain.start == 0;
                to_last += plain.end == snps - 1;
                inside += plain.start > 0 && plain.end < snps - 1;
                ++regions;
                focal = next_focal_snp(plain);
            }
            if (rows <= 12) thresholds_seen.insert({rows, threshold});
            long_scans += regions >= 3;
        }
    }
    EXPECT_GT(long_scans, 300);
    EXPECT_EQ(thresholds_seen.size(), static_cast<size_t>(12 * 13 / 2)) << "every threshold of every small size";
    EXPECT_GT(from_first, 100);
    EXPECT_GT(to_last, 100);
    EXPECT_GT(inside, 100);
}

// A panel big enough for windows of hundreds of columns over hundreds of rows: groups split into
// many parts, the partition is carried across long chains of windows, and the core row moves.
TEST(FastScan, LongSharedSegmentsGiveThePlainRegionSequence) {
    std::mt19937_64 random(24);
    // Rows copy one of 12 founders (founder k about twice as common as founder k + 1) for stretches
    // of 20 to 400 SNPs, with one allele in 300 flipped.
    table_rows founders = random_table(random, 12, 900, table_style::noisy_bits);
    table_rows cells(160, std::vector<int32_t>(900));
    const auto pick_founder = [&] { return std::min<int32_t>(11, std::countr_zero(random() | (uint64_t{1} << 11))); };
    for (auto& row : cells) {
        int32_t founder = pick_founder(), left = 0;
        for (size_t s = 0; s < row.size(); ++s) {
            if (left-- <= 0) {
                founder = pick_founder();
                left = 20 + static_cast<int32_t>(random() % 380);
            }
            row[s] = founders[static_cast<size_t>(founder)][s] ^ (random() % 300 == 0 ? 1 : 0);
        }
    }
    const genotype_matrix matrix = to_matrix(cells);
    const fast_genotype_matrix table = to_allele_table(cells);
    window_counter counter;
    prepare_window_counter(table, counter);
    for (const float frequency : {0.05f, 0.3f, 0.6f}) {
        int32_t regions = 0;
        for (int32_t focal = 0; is_focal_snp(focal, 900);) {
            const region plain = grow_region(matrix, focal, frequency);
            const region fast = fast_grow_region(table, focal, frequency, counter);
            ASSERT_EQ(fast.start, plain.start) << frequency << " focal " << focal;
            ASSERT_EQ(fast.end, plain.end) << frequency << " focal " << focal;
            ++regions;
            focal = next_focal_snp(plain);
        }
        EXPECT_GT(regions, 1) << frequency;
    }
}

// The first draws of the whole-run test: the smallest shapes and shapes at word edges.
constexpr std::pair<int32_t, int32_t> edge_shapes[] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}, {1, 64}, {3, 65}, {65, 128}, {64, 63}};

// Whole runs in-process (files, legend, output) on 200 more random tables: the same status and bytes.
// A 0/1 table is also written as a bit panel, which both paths must read to the same bytes again.
TEST(FastScan, RandomTablesGiveThePlainOutputFile) {
    std::mt19937_64 random(22);
    scratch_dir dir;
    int32_t bit_panels_with_regions = 0;  // bit panel runs whose output holds two regions or more
    constexpr int32_t edge_count = static_cast<int32_t>(std::size(edge_shapes));
    for (int32_t t = 0; t < 200 + edge_count; ++t) {
        const table_rows cells = t < edge_count ? random_table(random, edge_shapes[t].first, edge_shapes[t].second,
                                                               static_cast<table_style>(t % 3))
                                                : table_for_draw(random, t - edge_count);
        const auto rows = static_cast<int32_t>(cells.size());
        const fast_genotype_matrix loaded = to_allele_table(cells);
        const bool bits = loaded.kind == cell_kind::bits && !loaded.has_rare_cells();  // every allele 0 or 1
        for (const char* name : {"table.hap", "table.bits", "table.legend"}) std::remove(dir.file(name).c_str());
        write_file(dir.file("table.hap"), genotype_text(cells));
        if (bits) write_file(dir.file("table.bits"), bit_panel_bytes(cells));
        write_file(dir.file("table.legend"), legend_text(static_cast<int32_t>(cells.front().size()), random));
        const std::vector<int32_t> thresholds = t < edge_count ? std::vector<int32_t>{0, rows - 1}
                                                               : thresholds_for_draw(random, t - edge_count, rows);
        for (const int32_t threshold : thresholds) {
            const std::string frequency = frequency_for_threshold(rows, threshold);
            ASSERT_FALSE(frequency.empty()) << rows << " " << threshold;
            const run_outcome plain = run_in_process(run_corvane_reference, dir, frequency);
            const run_outcome fast = run_in_process(run_corvane, dir, frequency);
            ASSERT_EQ(plain.status, run_status::run_ok) << "table " << t;
            ASSERT_EQ(fast.status, plain.status) << "table " << t;
            ASSERT_EQ(fast.output, plain.output) << "table " << t << " threshold " << threshold;
            if (!bits) continue;
            for (const auto run : {run_corvane_reference, run_corvane}) {
                const run_outcome from_bits = run_in_process(run, dir, frequency, "table.bits");
                ASSERT_EQ(from_bits.status, run_status::run_ok) << "bit panel of table " << t;
                ASSERT_EQ(from_bits.output, plain.output) << "bit panel of table " << t << " threshold " << threshold;
            }
            bit_panels_with_regions += std::count(plain.output.begin(), plain.output.end(), '\n') > 2;
        }
    }
    EXPECT_GT(bit_panels_with_regions, 40);
}

}  // namespace
}  // namespace corvane::testing
