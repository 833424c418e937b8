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

// What the core SNPs of one locus are counted from: its peak window, the core's row and its carriers.
struct core_request {
    snp_window window;
    int32_t core_row = 0;
    std::vector<uint64_t> carriers;  // one bit per haplotype, set for a carrier
};

// The request for the locus of `window` whose carriers are `carriers`, on a table of `haplotypes` rows.
core_request core_request_of(snp_window window, const carrier_set& carriers, int32_t haplotypes);

// For each request, one entry per SNP of its window, in column order. On a bit table the shares of all
// haplotypes come from one count of each SNP's ones, and the carriers' from their mismatches.
std::vector<std::vector<core_snp>> core_snps_of(const fast_genotype_matrix& table,
                                                const std::vector<core_request>& requests);

}  // namespace corvane
