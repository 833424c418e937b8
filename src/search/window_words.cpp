// Mismatches of two bit rows over a window, a word at a time.
#include "search/window_words.hpp"

#include <bit>

#include "search/cpu_features.hpp"

namespace corvane {

CORVANE_WITH_POPCOUNT
int32_t window_mismatches(const fast_genotype_matrix& table, int32_t row, int32_t core_row, snp_window window,
                          int32_t limit, bool& complete) {
    const window_words words(table, row, core_row, window);
    int32_t mismatches = 0;
    int32_t j = 0;
    for (; j < words.spanned && mismatches <= limit; ++j) mismatches += std::popcount(words.differ(j));
    complete = j == words.spanned;
    return mismatches;
}

}  // namespace corvane
