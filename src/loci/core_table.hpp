// corvane-loci --core: each locus's core as one row per SNP of its peak, named from the legend.
#pragma once

#include <string>
#include <vector>

#include "common/run_status.hpp"
#include "loci/loci_options.hpp"
#include "loci/panel_carriers.hpp"

namespace corvane {

// Fills in every core SNP's legend row: each legend is read once, for the SNPs its loci need.
run_status name_core_snps(const loci_options& options, std::vector<locus_carriers>& measured);

// The header line of the core table.
std::string core_table_header();

// The rows of one locus: locus, SNP id, bp, cM (as the legend writes it), the core's allele, REF,
// ALT, the share of the locus's carriers that hold the core's allele there (carrier_share) and the
// share of all haplotypes that do (allele_frequency).
std::string core_table_lines(const std::string& locus_name, const locus_carriers& carriers);

}  // namespace corvane
