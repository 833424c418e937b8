// One statistic per locus that combines the frequencies of a grid, calibrated against the loci of
// neutral simulations: for each frequency, the share u of reference loci (this one counted) whose
// longest interval there is at least as long; the statistic is the sum over the frequencies of -ln u,
// the p-value the share of null loci whose own statistic is at least as large.
#pragma once

#include <cstdint>
#include <vector>

#include "loci/cell_loci.hpp"
#include "loci/result_table.hpp"

namespace corvane {

// Statistics that differ by less than this are equal: the same tail counts summed in another order.
constexpr double statistic_tie_tolerance = 1e-9;

struct locus_statistics {
    std::vector<double> statistic;           // per locus
    std::vector<double> p_value;             // per locus; empty without a null
    std::vector<double> q_value;             // Benjamini-Hochberg over the loci; empty without a null
    std::vector<uint32_t> peak_frequency;    // per locus: the frequency (index) of its peak
    std::vector<uint32_t> highest_frequency; // per locus: the highest frequency at which it has an interval
};

// Scores `observed` (formed from `observed_rows`) against the loci of the null, or against
// themselves when `null` is null: sets each locus's statistic, its peak (the longest interval at the
// frequency where the locus is most extreme, the highest such frequency on ties), rank and
// percentile by the statistic, and with a null its p- and q-value. The null must hold a locus.
locus_statistics score_loci(cell_loci& observed, const result_rows& observed_rows, const cell_loci* null,
                            const result_rows* null_rows);

}  // namespace corvane
