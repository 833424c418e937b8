// Each locus's carriers, measured on the panel the scan read: one panel in memory at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/run_record.hpp"
#include "common/run_status.hpp"
#include "loci/core_snps.hpp"
#include "loci/loci_options.hpp"
#include "loci/locus.hpp"
#include "loci/result_table.hpp"
#include "report/work_progress.hpp"

namespace corvane {

struct locus_carriers {
    int32_t count = 0;              // haplotypes carrying the peak's most common haplotype
    int32_t haplotype_count = 0;    // H of the panel
    std::string core;               // that haplotype over the peak interval, cut after 200 SNPs
    std::vector<int32_t> rows;      // the carrier haplotypes (0-based), kept when asked for
    uint32_t panel = 0;             // the --hap (and --legend) it was measured on
    std::vector<core_snp> core_snps;  // the core SNP by SNP, with --core
};

// Longest core written in full; longer ones end in "...".
constexpr int32_t core_shown_snps = 200;

// Matches every row of `rows` to the legend of its chromosome (the first --legend that names it),
// then loads each needed panel in turn and measures the carriers of the peak of every locus. When
// `sample_count` > 0 each panel must hold 2 x sample_count haplotypes. With `peak_frequencies` (the
// frequency each locus's peak was scanned at; empty for none), every peak is held to the carrier
// threshold the scan held it to on that panel. Faults are reported where found: a chromosome no
// legend names, a row the legend does not hold or that lies beyond the panel, a panel that cannot be
// read, a peak its scan could not have reported from the panel. Each panel's H and S go into
// `record`; `progress` is told which legend, panel and locus is at hand.
run_status measure_carriers(const loci_options& options, const result_rows& rows, const std::vector<locus>& loci,
                            const std::vector<double>& peak_frequencies, size_t sample_count, bool keep_rows,
                            std::vector<locus_carriers>& measured, work_progress& progress, run_record& record);

}  // namespace corvane
