// The whole chromosome into each panel of a run: in one pass, or, through the file's index, in ranges
// of positions read side by side in threads and put together in order, with what one pass gives.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "common/run_status.hpp"
#include "common/staged_output.hpp"
#include "input/haplotype_table.hpp"
#include "prepare/cm_source.hpp"
#include "prepare/record_conversion.hpp"
#include "prepare/site_rules.hpp"
#include "prepare/vcf_ranges.hpp"
#include "prepare/vcf_reader.hpp"

namespace corvane {

// What the run gathers for one panel: its table, its legend rows (written to `legend` as they come),
// its counts and its samples' missing and unphased calls at the sites skipped for them.
struct panel_result {
    haplotype_table table;
    staged_output* legend = nullptr;
    site_counts counts{};
    std::vector<int64_t> missing_calls;
    std::vector<int64_t> unphased_calls;
    double last_cm = -INFINITY;
};

struct chromosome_conversion {
    vcf_reader& reader;                       // opened on the chromosome
    const std::vector<panel_target>& targets;
    const site_policy& policy;
    const cm_source& cm;                      // its map or tag; each reader keeps its own buffers
    int threads = 0;
    std::vector<panel_result>& panels;        // one per target, each with its legend output set
    work_progress* progress = nullptr;        // told how far the reading is, when set
    int64_t records = 0;                      // the chromosome's records read
    bool read_in_ranges = false;              // read in ranges beside each other
};

// The ranges `threads` threads read the chromosome in, through the index of `reader`.
std::vector<position_range> plan_ranges(const vcf_reader& reader, int threads);

// Reads the chromosome into the panels. With `threads` above 0 and an index, the chromosome is cut
// into ranges (several per thread) each read by a thread's own reader: the ranges' sites, rows,
// counts and messages are taken in order, so that everything (the rows, the counts, the first fault
// and what was printed before it) is what one pass gives. Without an index, htslib decompresses
// with `threads` threads. Faults are reported.
run_status convert_chromosome(chromosome_conversion& conversion);

}  // namespace corvane
