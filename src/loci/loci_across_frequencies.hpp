// Loci across the frequencies of a grid (--freq), scored against themselves or, with --null-freq,
// against the loci of neutral simulations formed by the same rules.
#pragma once

#include "common/run_status.hpp"
#include "loci/cell_loci.hpp"
#include "loci/combined_statistic.hpp"
#include "loci/frequency_tables.hpp"
#include "loci/loci_options.hpp"

namespace corvane {

struct frequency_loci {
    frequency_table_set observed;
    cell_loci loci;
    locus_statistics statistics;
};

// Reads the --freq tables, forms and scores their loci; with --null-freq tables, reads them lean and
// forms the null's loci by the same filters and gap. Faults are reported where found; a null that
// gives no loci is refused.
run_status find_frequency_loci(const loci_options& options, frequency_loci& found);

}  // namespace corvane
