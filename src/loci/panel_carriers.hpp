// Each locus's carriers, measured on the panel the scan read: one panel in memory at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/run_status.hpp"
#include "loci/loci_options.hpp"
#include "loci/locus_merge.hpp"
#include "loci/result_table.hpp"

namespace corvane {

struct locus_carriers {
    int32_t count = 0;              // haplotypes carrying the peak's most common haplotype
    int32_t haplotype_count = 0;    // H of the panel
    std::string core;               // that haplotype over the peak interval, cut after 200 SNPs
    std::vector<int32_t> rows;      // the carrier haplotypes (0-based), kept when asked for
};

// Longest core written in full; longer ones end in "...".
constexpr int32_t core_shown_snps = 200;

// Matches every row of `rows` to the legend of its chromosome (the first --legend that names it),
// then loads each needed panel in turn and measures the carriers of the peak of every locus. When
// `sample_count` > 0 each panel must hold 2 x sample_count haplotypes. Faults are reported where
// found: a chromosome no legend names, a row the legend does not hold or that lies beyond the
// panel, a panel that cannot be read.
run_status measure_carriers(const loci_options& options, const result_rows& rows, const std::vector<locus>& loci,
                            size_t sample_count, bool keep_rows, std::vector<locus_carriers>& measured);

}  // namespace corvane
