// Column-by-column splitting of the rows of a 0/1 window, dropping every part too small to pass.
#include "search/narrow_window_groups.hpp"

#include <algorithm>
#include <bit>

#include "search/cpu_features.hpp"

namespace corvane {

CORVANE_WITH_POPCOUNT
int32_t largest_group_above(column_bits& columns, const std::vector<uint64_t>& all_rows, int32_t row_count,
                            snp_window window, float threshold, narrow_groups_scratch& scratch) {
    const int32_t words = columns.words_per_column;
    const size_t stride = static_cast<size_t>(words);
    scratch.groups.assign(all_rows.begin(), all_rows.end());
    scratch.group_sizes.assign(1, row_count);
    for (int32_t c = window.lo; c <= window.hi; ++c) {
        const uint64_t* column = columns.column(c);
        scratch.next_groups.clear();
        scratch.next_group_sizes.clear();
        for (size_t g = 0; g < scratch.group_sizes.size(); ++g) {
            const uint64_t* group = scratch.groups.data() + g * stride;
            int32_t ones = 0;
            for (int32_t i = 0; i < words; ++i) ones += std::popcount(group[i] & column[i]);
            const int32_t zeros = scratch.group_sizes[g] - ones;
            if (static_cast<float>(ones) > threshold) {
                for (int32_t i = 0; i < words; ++i) scratch.next_groups.push_back(group[i] & column[i]);
                scratch.next_group_sizes.push_back(ones);
            }
            if (static_cast<float>(zeros) > threshold) {
                for (int32_t i = 0; i < words; ++i) scratch.next_groups.push_back(group[i] & ~column[i]);
                scratch.next_group_sizes.push_back(zeros);
            }
        }
        scratch.groups.swap(scratch.next_groups);
        scratch.group_sizes.swap(scratch.next_group_sizes);
        if (scratch.group_sizes.empty()) return 0;
    }
    int32_t largest = 0;
    for (const int32_t size : scratch.group_sizes) largest = std::max(largest, size);
    return largest;
}

}  // namespace corvane
