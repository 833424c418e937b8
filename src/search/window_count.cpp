// The reference window carrier count: an Eigen copy of the window, byte strings and an ordered map.
#include "search/window_count.hpp"

#include <cassert>
#include <vector>

#include <Eigen/Dense>

namespace corvane {

int32_t count_similar_haplotypes(const genotype_matrix& matrix, snp_window window) {
    const int32_t rows = matrix.haplotype_count;
    const int32_t width = window.hi - window.lo + 1;
    Eigen::Matrix<int, Eigen::Dynamic, Eigen::Dynamic> copy(rows, width);

    std::vector<std::string> window_strings;
    window_strings.reserve(static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) {
        std::string bytes;
        for (int32_t c = window.lo; c <= window.hi; ++c) {
            const int32_t allele = matrix.at(r, c);
            bytes.push_back(static_cast<char>(window_string_byte(allele)));
            copy(r, c - window.lo) = allele;
        }
        window_strings.push_back(std::move(bytes));
    }

    const std::string winner = most_frequent_element(window_strings.begin(), window_strings.end()).first;
    int32_t core_row = 0;
    while (window_strings[static_cast<size_t>(core_row)] != winner) ++core_row;

    int32_t carriers = 0;
    for (int32_t r = 0; r < rows; ++r) {
        double distance = 0.0;
        for (int32_t k = 0; k < copy.cols(); ++k) {
            distance += static_cast<double>(squared_difference(copy(r, k), copy(core_row, k)));
        }
        if (is_carrier(distance, width)) ++carriers;
    }
    assert(carriers >= 1);
    return carriers;
}

}  // namespace corvane
