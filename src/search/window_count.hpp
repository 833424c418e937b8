// Counts the haplotypes that carry a window's most common haplotype (the carrier count).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "input/genotype_matrix.hpp"
#include "search/search_terms.hpp"

namespace corvane {

// Orders (string, count) entries by count alone.
struct by_second {
    bool operator()(const std::pair<std::string, int32_t>& a, const std::pair<std::string, int32_t>& b) const {
        return a.second < b.second;
    }
};

// The most frequent string in [first, last) with its count. Among equally frequent strings the one
// that comes first in byte order wins, because the map is walked in key order and only a strictly
// larger count replaces the best so far.
template <typename string_iterator>
std::pair<std::string, int32_t> most_frequent_element(string_iterator first, string_iterator last) {
    std::map<std::string, int32_t> frequency;
    for (; first != last; ++first) ++frequency[*first];
    std::pair<std::string, int32_t> best;
    bool have_best = false;
    for (const auto& entry : frequency) {
        if (!have_best || by_second{}(best, entry)) {
            best = entry;
            have_best = true;
        }
    }
    return best;
}

// The number of haplotypes (1..H) whose similarity to the window's most common haplotype over
// window.lo..window.hi exceeds similarity_cutoff. Requires window.lo < window.hi.
int32_t count_similar_haplotypes(const genotype_matrix& matrix, snp_window window);

}  // namespace corvane
