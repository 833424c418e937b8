// Two bit planes for the codes 0 to 3, and their squared distances computed a word at a time.
#include "search/two_plane_count.hpp"

#include <bit>
#include <cassert>

#include "input/bit_words.hpp"
#include "search/cpu_features.hpp"
#include "search/partition_carriers.hpp"
#include "search/window_words.hpp"

namespace corvane {

namespace {

constexpr uint64_t high_bits = 0x5555555555555555ull;  // the high bit of each SNP's pair of columns

// The sum of squared differences of `row` with `core_row` over the plane window, counted until it
// passes `limit`. Per SNP, with a = x - y: |a| = 3 only between 0 and 3, |a| is odd when the low
// bits differ, and |a| = 2 when only the high bits differ.
CORVANE_WITH_POPCOUNT
int64_t squared_distance(const fast_genotype_matrix& planes, int32_t row, int32_t core_row, snp_window window,
                         int64_t limit) {
    const window_words words(planes, row, core_row, window);
    int64_t distance = 0;
    for (int32_t j = 0; j < words.spanned && distance <= limit; ++j) {
        // The window starts and ends on a pair boundary, so the mask keeps whole pairs.
        uint64_t mask = high_bits;
        if (j == 0) mask &= ~uint64_t{0} << words.shift;
        if (j == words.spanned - 1 && words.end_bits != 0) mask &= (uint64_t{1} << words.end_bits) - 1;
        const uint64_t xh = words.x[j] & high_bits, xl = (words.x[j] >> 1) & high_bits;
        const uint64_t yh = words.y[j] & high_bits, yl = (words.y[j] >> 1) & high_bits;
        const uint64_t low_differ = xl ^ yl;
        const uint64_t three = ((xh & xl & ~yh & ~yl) | (~xh & ~xl & yh & yl)) & mask;
        const uint64_t one = low_differ & ~three & mask;
        const uint64_t two = ~low_differ & (xh ^ yh) & mask;
        distance += std::popcount(one) + 4 * std::popcount(two) + 9 * std::popcount(three);
    }
    return distance;
}

}  // namespace

bool make_two_plane_table(const fast_genotype_matrix& table, fast_genotype_matrix& planes) {
    planes = fast_genotype_matrix{};
    if (table.kind != cell_kind::int8) return false;
    for (const int8_t allele : table.cells8) {
        if (allele < 0 || allele > 3) return false;
    }
    const size_t snps = static_cast<size_t>(table.snp_count);
    planes.haplotype_count = table.haplotype_count;
    planes.snp_count = 2 * table.snp_count;
    planes.words_per_row = words_for_bits(2 * table.snp_count) + 1;
    planes.bits.assign(static_cast<size_t>(table.haplotype_count) * planes.words_per_row, 0);
    planes.rare.row_start.assign(static_cast<size_t>(table.haplotype_count) + 1, 0);  // no rare cells
    for (int32_t r = 0; r < table.haplotype_count; ++r) {
        const int8_t* alleles = table.cells8.data() + static_cast<size_t>(r) * snps;
        uint64_t* words = planes.bits.data() + static_cast<size_t>(r) * planes.words_per_row;
        for (size_t c = 0; c < snps; ++c) {
            const auto allele = static_cast<uint64_t>(alleles[c]);
            const size_t column = 2 * c;
            words[column / 64] |= (((allele >> 1) & 1u) | ((allele & 1u) << 1)) << (column % 64);
        }
    }
    return true;
}

int32_t count_two_plane_carriers(const fast_genotype_matrix& planes, const window_partition& partition,
                                 int32_t allowance) {
    const partition_core core = partition_core_row(planes, partition);
    // Only equal windows are at distance 0.
    if (allowance == 0) return static_cast<int32_t>(core.group_size);
    int32_t carriers = 0;
    for (int32_t row = 0; row < planes.haplotype_count; ++row) {
        carriers += squared_distance(planes, row, core.row, partition.window, allowance) <= allowance;
    }
    assert(carriers >= 1);
    return carriers;
}

}  // namespace corvane
