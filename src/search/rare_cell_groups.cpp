// Splits the groups of equal bits of a window by its odd cells, and orders window strings whose bits
// and odd cells are known.
#include "search/rare_cell_groups.hpp"

#include <algorithm>
#include <bit>
#include <limits>

#include "input/bit_words.hpp"
#include "search/window_grouping.hpp"
#include "search/window_words.hpp"

namespace corvane {

namespace {

uint32_t low_byte(int32_t value) { return window_string_byte(value); }
bool is_odd(int32_t value) { return low_byte(value) > 1; }

// Skips the cells of `cells` that are not odd.
void skip_to_odd(const rare_cells& rare, rare_cell_range& cells) {
    while (cells.first < cells.last && !is_odd(rare.values[cells.first])) ++cells.first;
}

uint64_t odd_cells_hash(const fast_genotype_matrix& table, int32_t row, snp_window window) {
    rare_cell_range cells = rare_cells_in(table, row, window);
    uint64_t hash = 0;
    for (; cells.first < cells.last; ++cells.first) {
        const int32_t value = table.rare.values[cells.first];
        if (!is_odd(value)) continue;
        const auto column = static_cast<uint64_t>(static_cast<uint32_t>(table.rare.columns[cells.first]));
        hash = hash_mix(hash, column << 8 | low_byte(value));
    }
    return hash;
}

// Whether two rows with equal bits over the window have the same odd cells (column and low byte).
bool same_odd_cells(const fast_genotype_matrix& table, int32_t a, int32_t b, snp_window window) {
    const rare_cells& rare = table.rare;
    rare_cell_range x = rare_cells_in(table, a, window), y = rare_cells_in(table, b, window);
    for (;;) {
        skip_to_odd(rare, x);
        skip_to_odd(rare, y);
        if (x.first == x.last || y.first == y.last) return x.first == x.last && y.first == y.last;
        if (rare.columns[x.first] != rare.columns[y.first] ||
            low_byte(rare.values[x.first]) != low_byte(rare.values[y.first])) {
            return false;
        }
        ++x.first;
        ++y.first;
    }
}

// True when row a's window string (the low bytes of its alleles) comes before row b's. Before the
// first column where the bits differ, the strings can differ only at odd cells.
bool window_string_before(const fast_genotype_matrix& table, int32_t a, int32_t b, snp_window window) {
    const window_words words(table, a, b, window);
    int32_t bits_differ = window.hi + 1;
    for (int32_t j = 0; j < words.spanned; ++j) {
        const uint64_t differ = words.differ(j);
        if (differ != 0) {
            bits_differ = (window.lo & ~63) + 64 * j + std::countr_zero(differ);
            break;
        }
    }
    const rare_cells& rare = table.rare;
    rare_cell_range x = rare_cells_in(table, a, window), y = rare_cells_in(table, b, window);
    constexpr int32_t none = std::numeric_limits<int32_t>::max();
    for (;;) {
        skip_to_odd(rare, x);
        skip_to_odd(rare, y);
        const int32_t column_x = x.first < x.last ? rare.columns[x.first] : none;
        const int32_t column_y = y.first < y.last ? rare.columns[y.first] : none;
        const int32_t column = std::min(column_x, column_y);
        if (column > bits_differ || column == none) break;
        const uint32_t byte_x = column_x == column ? low_byte(rare.values[x.first]) : static_cast<uint32_t>(row_bit(table, a, column));
        const uint32_t byte_y = column_y == column ? low_byte(rare.values[y.first]) : static_cast<uint32_t>(row_bit(table, b, column));
        if (byte_x != byte_y) return byte_x < byte_y;
        x.first += column_x == column;
        y.first += column_y == column;
    }
    // Here the bits differ at a column where neither cell is odd: its low byte is its bit.
    return bits_differ <= window.hi && row_bit(table, a, bits_differ) == 0;
}

// Starts a new window's row marks; marks of earlier windows hold an older stamp.
void new_stamp(rare_count_scratch& scratch) {
    start_new_round(scratch.stamp, [&] {
        std::fill(scratch.rare_mark.begin(), scratch.rare_mark.end(), 0);
        std::fill(scratch.odd_mark.begin(), scratch.odd_mark.end(), 0);
    });
}

}  // namespace

int32_t row_bit(const fast_genotype_matrix& table, int32_t row, int32_t column) {
    return static_cast<int32_t>(bit_at(table.bit_row(row), column));
}

rare_cell_range rare_cells_in(const fast_genotype_matrix& table, int32_t row, snp_window window) {
    const rare_cells& rare = table.rare;
    const auto begin = rare.columns.begin();
    const rare_cell_range cells_of_row = rare.of_row(row);
    const auto row_first = begin + static_cast<ptrdiff_t>(cells_of_row.first);
    const auto row_last = begin + static_cast<ptrdiff_t>(cells_of_row.last);
    const auto first = std::lower_bound(row_first, row_last, window.lo);
    const auto last = std::upper_bound(first, row_last, window.hi);
    return {static_cast<size_t>(first - begin), static_cast<size_t>(last - begin)};
}

void mark_rare_rows(const rare_cell_columns& columns, snp_window window, rare_count_scratch& scratch) {
    new_stamp(scratch);
    const size_t first = columns.column_start[static_cast<size_t>(window.lo)];
    const size_t last = columns.column_start[static_cast<size_t>(window.hi) + 1];
    for (size_t i = first; i < last; ++i) {
        const auto row = static_cast<size_t>(columns.rows[i]);
        scratch.rare_mark[row] = scratch.stamp;
        if (is_odd(columns.values[i])) scratch.odd_mark[row] = scratch.stamp;
    }
}

core_group find_core_group(const fast_genotype_matrix& table, const std::vector<int32_t>& order,
                           const std::vector<int32_t>& group, snp_window window, bool all_groups,
                           rare_count_scratch& scratch) {
    core_group best;
    const auto consider = [&](int32_t size, int32_t row, size_t first, size_t last) {
        if (size < 2) return;
        if (size > best.size || (size == best.size && window_string_before(table, row, best.row, window))) {
            best = {size, row, first, last};
        }
    };
    for (size_t i = 0; i < order.size();) {
        size_t j = i + 1;
        while (j < order.size() && group[j] == group[i]) ++j;
        // Rows without odd cells keep the bits' group; the others split by their odd cells.
        scratch.signatures.clear();
        int32_t unsplit_count = 0, unsplit_first = -1;
        for (size_t k = i; k < j; ++k) {
            const int32_t row = order[k];
            if (scratch.odd_mark[static_cast<size_t>(row)] == scratch.stamp) {
                scratch.signatures.emplace_back(odd_cells_hash(table, row, window), row);
            } else if (unsplit_count++ == 0) {
                unsplit_first = row;
            }
        }
        consider(unsplit_count, unsplit_first, i, j);
        std::sort(scratch.signatures.begin(), scratch.signatures.end());
        for (size_t s = 0; s < scratch.signatures.size();) {
            size_t e = s + 1;
            while (e < scratch.signatures.size() && scratch.signatures[e].first == scratch.signatures[s].first) ++e;
            if (e - s >= 2) {
                // Equal hashes almost always mean equal odd cells; the rows in row order, so each
                // group's first row is its representative.
                scratch.representatives.clear();
                scratch.sizes.clear();
                for (size_t k = s; k < e; ++k) {
                    const int32_t row = scratch.signatures[k].second;
                    size_t q = 0;
                    while (q < scratch.representatives.size() && !same_odd_cells(table, scratch.representatives[q], row, window)) ++q;
                    if (q == scratch.representatives.size()) {
                        scratch.representatives.push_back(row);
                        scratch.sizes.push_back(0);
                    }
                    ++scratch.sizes[q];
                }
                for (size_t q = 0; q < scratch.representatives.size(); ++q) consider(scratch.sizes[q], scratch.representatives[q], i, j);
            }
            s = e;
        }
        i = j;
    }
    if (best.size < 2 && all_groups) {
        // Every window string is unique: the core row is the one whose string comes first.
        best = {1, 0, 0, 0};
        for (int32_t row = 1; row < table.haplotype_count; ++row) {
            if (window_string_before(table, row, best.row, window)) best.row = row;
        }
    }
    return best;
}

}  // namespace corvane
