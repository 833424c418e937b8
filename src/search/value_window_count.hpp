// The carrier count of a window of a table held as integers (not bits): rows grouped by a hash of
// their window's low bytes, then every row's squared distance to the core row.
#pragma once

#include <cstdint>
#include <vector>

#include "input/fast_genotype_matrix.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// Scratch space of the value count: open-addressing groups of equal windows, reused by every count.
struct value_count_scratch {
    struct slot {
        uint64_t hash = 0;
        uint32_t stamp = 0;
        int32_t first_row = 0;
        int32_t count = 0;
    };
    std::vector<slot> slots;  // a power of two, at least twice the rows
    uint32_t stamp = 0;       // slots of earlier windows hold an older stamp and count as empty
};

// Sizes `scratch` for the rows of `table`.
void prepare_value_count(const fast_genotype_matrix& table, value_count_scratch& scratch);

// The carrier count of `window` (lo < hi) of a table of kind int8, int16 or int32.
int32_t count_value_window(const fast_genotype_matrix& table, snp_window window, value_count_scratch& scratch);

}  // namespace corvane
