// Who carries a window's most common haplotype, found on the fast path's table without copying it.
#pragma once

#include <cstdint>
#include <vector>

#include "input/allele_table.hpp"
#include "search/window_count.hpp"

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
carrier_set find_carriers(const allele_table& table, snp_window window);

}  // namespace corvane
