// Intervals into loci: grouping by overlap and gap, the cM cut-off, peaks, ranks and percentiles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loci/locus_merge.hpp"
#include "loci/result_table.hpp"
#include "support/fixtures.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {
namespace {

// "chr start end cM" per interval, in file order.
std::string table_text(const std::vector<std::string>& intervals) {
    std::string text = result_header;
    for (const std::string& interval : intervals) {
        char chr[32];
        int start = 0, end = 0;
        char cm[32];
        std::sscanf(interval.c_str(), "%31s %d %d %31s", chr, &start, &end, cm);
        text += std::string(chr) + "\t" + std::to_string(start) + "\t" + std::to_string(end) + "\t" + cm + "\t" +
                std::to_string(end - start) + "\t2\n";
    }
    return text;
}

// One line per locus: "NAME START-END xINTERVALS peak PEAK_START rank RANK PERCENTILE".
std::vector<std::string> summary(const result_rows& rows, const std::vector<locus>& loci) {
    std::vector<std::string> lines;
    for (const locus& found : loci) {
        char line[200];
        std::snprintf(line, sizeof line, "%s:%d %d-%d x%d peak %d rank %d %.3g", rows.chr_names[found.chr].c_str(),
                      found.number, found.start, found.end, found.interval_count, rows.intervals[found.peak].start,
                      found.rank, found.percentile);
        lines.push_back(line);
    }
    return lines;
}

TEST(LocusMerge, IntervalsGroupIntoRankedLoci) {
    const struct {
        const char* what;
        std::vector<std::string> intervals;
        int64_t gap;
        double min_cm;
        std::vector<std::string> loci;
    } cases[] = {
        {"overlapping and touching intervals join; a 1 bp gap does not",
         {"1 100 200 0.5", "1 150 300 0.7", "1 300 400 0.1", "1 401 500 0.2"}, 0, 0.0,
         {"1:1 100-400 x3 peak 150 rank 1 1", "1:2 401-500 x1 peak 401 rank 2 0.5"}},
        {"--gap joins intervals that far apart, not farther",
         {"1 100 200 0.5", "1 250 300 0.7", "1 351 400 0.1"}, 50, 0.0,
         {"1:1 100-300 x2 peak 250 rank 1 1", "1:2 351-400 x1 peak 351 rank 2 0.5"}},
        {"intervals found out of position order are sorted first; a contained one joins",
         {"1 500 600 0.2", "1 100 900 0.3", "1 950 990 0.3"}, 0, 0.0,
         {"1:1 100-900 x2 peak 100 rank 1 1", "1:2 950-990 x1 peak 950 rank 1 1"}},
        {"--min-cm drops short intervals before joining, so a bridge can vanish",
         {"1 100 200 0.5", "1 190 310 0.01", "1 300 400 0.6"}, 0, 0.05,
         {"1:1 100-200 x1 peak 100 rank 2 0.5", "1:2 300-400 x1 peak 300 rank 1 1"}},
        {"equal peaks: the first interval is the peak and the loci share the better rank",
         {"1 100 200 0.4", "1 150 250 0.4", "1 400 500 0.4", "1 600 700 0.1"}, 0, 0.0,
         {"1:1 100-250 x2 peak 100 rank 1 1", "1:2 400-500 x1 peak 400 rank 1 1",
          "1:3 600-700 x1 peak 600 rank 3 0.333"}},
        {"chromosomes never join, keep their order of appearance and rank together",
         {"9 100 200 0.1", "2 100 200 0.9", "9 150 300 0.2"}, 1000, 0.0,
         {"9:1 100-300 x2 peak 150 rank 2 0.5", "2:1 100-200 x1 peak 100 rank 1 1"}},
        {"an interval without a genetic length is never the peak, and ranks last alone",
         {"1 100 200 nan", "1 150 250 0.01", "1 400 500 nan"}, 0, 0.0,
         {"1:1 100-250 x2 peak 150 rank 1 1", "1:2 400-500 x1 peak 400 rank 2 0.5"}},
        {"no intervals, no loci", {}, 0, 0.0, {}},
    };
    scratch_dir dir;
    for (const auto& test_case : cases) {
        write_file(dir.file("t.tsv"), table_text(test_case.intervals));
        result_rows rows;
        ASSERT_EQ(read_result_table(dir.file("t.tsv"), rows), run_status::run_ok) << test_case.what;
        EXPECT_EQ(summary(rows, merge_loci(rows, test_case.gap, test_case.min_cm)), test_case.loci) << test_case.what;
    }
}

}  // namespace
}  // namespace corvane::testing
