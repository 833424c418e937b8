// The SNPs of a locus's core: at each SNP of the peak, the core's allele and who else carries it.
#pragma once

#include <cstdint>
#include <vector>

#include "input/fast_genotype_matrix.hpp"
#include "input/legend/legend_alleles.hpp"
#include "search/carrier_search.hpp"
#include "search/search_terms.hpp"

namespace corvane {

struct core_snp {
    int32_t column = 0;           // the SNP's column in the panel
    int32_t allele = 0;           // the core haplotype's allele there
    int32_t carriers_with = 0;    // carriers of the core that hold that allele
    int32_t haplotypes_with = 0;  // haplotypes of the whole panel that hold it
    legend_snp_texts named;       // the SNP's legend row, filled in once the legend is read
};

// One entry per SNP of `window`, in column order, for the core and carriers `carriers` found there.
std::vector<core_snp> core_snps_of(const fast_genotype_matrix& table, const carrier_set& carriers, snp_window window);

}  // namespace corvane
