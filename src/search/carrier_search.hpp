// The carrier search of corvane-loci: who carries a window's most common haplotype, found on the fast
// path's table by the scan's own rule.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "input/fast_genotype_matrix.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// The scan's carriers of one window: the same rule as count_similar_haplotypes.
struct carrier_set {
    int32_t core_row = 0;               // the first row holding the window's most common haplotype
    std::vector<int32_t> carrier_rows;  // every row within the similarity cutoff of it, increasing
};

// The carriers of `window` (lo < hi < S) of `table`: the most common window (ties go to the one
// first in byte order of the alleles' low bytes), its first row as the core, and the rows whose
// similarity to the core exceeds similarity_cutoff. carrier_rows.size() equals
// count_similar_haplotypes on the same table and window.
carrier_set find_carriers(const fast_genotype_matrix& table, snp_window window);

// find_carriers for every window of `windows`, handed to `visit(k, carriers)` for windows[k] in an
// order of its own. On a bit table, windows near each other share one copy of the columns they
// read, so a whole chromosome of windows reads the table about once instead of once per window.
void find_carriers_of_windows(const fast_genotype_matrix& table, const std::vector<snp_window>& windows,
                              const std::function<void(size_t, carrier_set&)>& visit);

}  // namespace corvane
