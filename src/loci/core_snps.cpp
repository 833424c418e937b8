// Counts the core's alleles over every haplotype, a row at a time as the table is laid out.
#include "loci/core_snps.hpp"

#include "input/bit_words.hpp"

namespace corvane {

std::vector<core_snp> core_snps_of(const fast_genotype_matrix& table, const carrier_set& carriers, snp_window window) {
    const int32_t width = window.hi - window.lo + 1;
    std::vector<core_snp> snps(static_cast<size_t>(width));
    for (int32_t k = 0; k < width; ++k) {
        snps[static_cast<size_t>(k)].column = window.lo + k;
        snps[static_cast<size_t>(k)].allele = table.at(carriers.core_row, window.lo + k);
    }
    // A bit table of corvane-loci holds only 0 and 1 (other codes widen it), so its bits are its alleles.
    const bool bits = table.kind == cell_kind::bits && !table.has_rare_cells();
    size_t next_carrier = 0;
    for (int32_t row = 0; row < table.haplotype_count; ++row) {
        const bool carrier = next_carrier < carriers.carrier_rows.size() && carriers.carrier_rows[next_carrier] == row;
        next_carrier += carrier;
        const uint64_t* row_bits = bits ? table.bit_row(row) : nullptr;
        for (int32_t k = 0; k < width; ++k) {
            core_snp& snp = snps[static_cast<size_t>(k)];
            const int32_t allele =
                bits ? static_cast<int32_t>(bit_at(row_bits, window.lo + k)) : table.at(row, window.lo + k);
            if (allele != snp.allele) continue;
            ++snp.haplotypes_with;
            snp.carriers_with += carrier;
        }
    }
    return snps;
}

}  // namespace corvane
