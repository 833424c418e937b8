// The text of corvane-loci's outputs: the loci table, its BED view and the carrier list.
#pragma once

#include <string>
#include <vector>

#include "loci/locus_merge.hpp"
#include "loci/panel_carriers.hpp"
#include "loci/result_table.hpp"

namespace corvane {

// "chr:N", the locus's name in every output.
std::string locus_name(const result_rows& rows, const locus& found);

// The header line of the loci table, with the carrier columns when `with_carriers`.
std::string loci_header(bool with_carriers);

// One row of the loci table; `carriers` is null without a panel.
std::string loci_row(const result_rows& rows, const locus& found, const locus_carriers* carriers);

// One BED line: chromosome, 0-based start, end, name, score round(1000 x percentile).
std::string bed_line(const result_rows& rows, const locus& found);

// The header of the carrier list and the lines of one locus: name, sample id, haplotype 1 or 2, and
// copies: 2 when both haplotypes of the sample carry the locus, else 1.
std::string carrier_list_header();
std::string carrier_lines(const result_rows& rows, const locus& found, const locus_carriers& carriers,
                          const std::vector<std::string>& samples);

}  // namespace corvane
