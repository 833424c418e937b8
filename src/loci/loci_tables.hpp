// The text of corvane-loci's outputs: the loci table, its BED view and the carrier list.
#pragma once

#include <string>
#include <vector>

#include "loci/cell_loci.hpp"
#include "loci/combined_statistic.hpp"
#include "loci/locus.hpp"
#include "loci/panel_carriers.hpp"
#include "loci/result_table.hpp"

namespace corvane {

// The columns of loci formed across frequencies: per frequency the longest interval's cM, the peak's
// and the highest frequency, the statistic and, with a null, p- and q-values.
struct frequency_columns {
    const cell_loci* loci = nullptr;
    const locus_statistics* statistics = nullptr;
};

// "chr:N", the locus's name in every output.
std::string locus_name(const result_rows& rows, const locus& found);

// The header line of the loci table: the frequency columns when `by_frequency` is given, the carrier
// columns when `with_carriers`.
std::string loci_header(const frequency_columns* by_frequency, bool with_carriers);

// The row of loci[k]; `by_frequency` and `carriers` are null when the table has no such columns.
std::string loci_row(const result_rows& rows, const std::vector<locus>& loci, size_t k,
                     const frequency_columns* by_frequency, const locus_carriers* carriers);

// One BED line: chromosome, 0-based start, end, name, score round(1000 x percentile).
std::string bed_line(const result_rows& rows, const locus& found);

// The header of the carrier list and the lines of one locus: name, sample id, haplotype 1 or 2, and
// copies: 2 when both haplotypes of the sample carry the locus, else 1.
std::string carrier_list_header();
std::string carrier_lines(const result_rows& rows, const locus& found, const locus_carriers& carriers,
                          const std::vector<std::string>& samples);

}  // namespace corvane
