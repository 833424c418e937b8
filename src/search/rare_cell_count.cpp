// Counting a bit table's window that holds rare cells. The bits hold every cell's lowest bit, which
// depends on its low byte alone, so rows with equal window strings have equal bits: the true groups
// split the groups of equal bits, and only at cells whose low byte is neither 0 nor 1 ("odd" cells).
// The bits' mismatch count is a lower bound of the squared distance (a cell that differs adds at
// least 1), and the distance is that count corrected at the rare cells of the two rows.
#include "search/rare_cell_count.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <limits>

#include "input/bit_words.hpp"
#include "search/window_grouping.hpp"

namespace corvane {

namespace {

uint32_t low_byte(int32_t value) { return window_string_byte(value); }
bool is_odd(int32_t value) { return low_byte(value) > 1; }

int32_t row_bit(const fast_genotype_matrix& table, int32_t row, int32_t column) {
    return static_cast<int32_t>(bit_at(table.bit_row(row), column));
}

// The rare cells of `row` inside `window`, as positions in table.rare's lists.
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

// Whether `row`'s squared distance to `core_row` over the window is at most `allowance`: the
// mismatches of the bits, then at each rare cell of either row the squared difference of the
// values in place of the bits' mismatch. Every term is an exact integer below 2^53 (see
// keeps_rare_cells), so this integer sum is the double sum the plain count makes.
bool within_allowance(const fast_genotype_matrix& table, int32_t row, int32_t core_row, snp_window window,
                      int32_t allowance) {
    bool complete = false;
    int64_t distance = window_mismatches(table, row, core_row, window, allowance, complete);
    if (!complete || distance > allowance) return false;
    const rare_cells& rare = table.rare;
    rare_cell_range x = rare_cells_in(table, row, window), y = rare_cells_in(table, core_row, window);
    constexpr int32_t none = std::numeric_limits<int32_t>::max();
    while (x.first < x.last || y.first < y.last) {
        const int32_t column_x = x.first < x.last ? rare.columns[x.first] : none;
        const int32_t column_y = y.first < y.last ? rare.columns[y.first] : none;
        const int32_t column = std::min(column_x, column_y);
        const int32_t bit_x = row_bit(table, row, column), bit_y = row_bit(table, core_row, column);
        const int32_t value_x = column_x == column ? rare.values[x.first++] : bit_x;
        const int32_t value_y = column_y == column ? rare.values[y.first++] : bit_y;
        distance += static_cast<int64_t>(squared_difference(value_x, value_y)) - (bit_x ^ bit_y);
        // Each correction is at least 0, so the sum only grows.
        if (distance > allowance) return false;
    }
    return true;
}

// Starts a new window's row marks; marks of earlier windows hold an older stamp.
void new_stamp(rare_count_scratch& scratch) {
    start_new_round(scratch.stamp, [&] {
        std::fill(scratch.rare_mark.begin(), scratch.rare_mark.end(), 0);
        std::fill(scratch.odd_mark.begin(), scratch.odd_mark.end(), 0);
    });
}

// The window's most common string: its group's size and first row (the core row), and the stretch of
// the partition's order holding the core row's group of equal bits (empty when it has none).
struct core_group {
    int32_t size = 0;
    int32_t row = -1;
    size_t bits_first = 0;
    size_t bits_last = 0;
};

// The groups are given as `order` (rows of groups of equal bits of two or more, each group together
// and in row order) and `group` (each position's group number). With `all_groups`, every row not in
// them has a window of its own; without, the other rows' groups need not be looked at, and a result
// of size below 2 means none was found.
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
        int32_t plain_count = 0, plain_first = -1;
        for (size_t k = i; k < j; ++k) {
            const int32_t row = order[k];
            if (scratch.odd_mark[static_cast<size_t>(row)] == scratch.stamp) {
                scratch.signatures.emplace_back(odd_cells_hash(table, row, window), row);
            } else if (plain_count++ == 0) {
                plain_first = row;
            }
        }
        consider(plain_count, plain_first, i, j);
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

// Marks the rows with rare cells, and those with odd cells, in `window`.
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

// The carriers among the core group's rows of equal bits, for a window that allows no mismatch:
// those whose values all equal the core row's.
int32_t count_exact_matches(const fast_genotype_matrix& table, const std::vector<int32_t>& order, const core_group& core,
                            snp_window window, const rare_count_scratch& scratch) {
    const bool core_is_rare = scratch.rare_mark[static_cast<size_t>(core.row)] == scratch.stamp;
    int32_t carriers = 0;
    for (size_t i = core.bits_first; i < core.bits_last; ++i) {
        const int32_t row = order[i];
        if (!core_is_rare && scratch.rare_mark[static_cast<size_t>(row)] != scratch.stamp) ++carriers;
        else carriers += within_allowance(table, row, core.row, window, 0);
    }
    return carriers;
}

}  // namespace

void prepare_rare_cell_count(const fast_genotype_matrix& table, rare_cell_columns& columns, rare_count_scratch& scratch) {
    columns = rare_cell_columns{};
    scratch = rare_count_scratch{};
    if (!table.has_rare_cells()) return;
    const rare_cells& rare = table.rare;
    columns.column_start.assign(static_cast<size_t>(table.snp_count) + 1, 0);
    for (const int32_t column : rare.columns) ++columns.column_start[static_cast<size_t>(column) + 1];
    for (size_t c = 1; c < columns.column_start.size(); ++c) columns.column_start[c] += columns.column_start[c - 1];
    columns.rows.resize(rare.values.size());
    columns.values.resize(rare.values.size());
    std::vector<size_t> next(columns.column_start.begin(), columns.column_start.end() - 1);
    for (int32_t row = 0; row < table.haplotype_count; ++row) {
        const rare_cell_range cells_of_row = rare.of_row(row);
        for (size_t i = cells_of_row.first; i < cells_of_row.last; ++i) {
            const size_t to = next[static_cast<size_t>(rare.columns[i])]++;
            columns.rows[to] = row;
            columns.values[to] = rare.values[i];
        }
    }
    scratch.rare_mark.assign(static_cast<size_t>(table.haplotype_count), 0);
    scratch.odd_mark.assign(static_cast<size_t>(table.haplotype_count), 0);
}

bool window_is_all_bits(const rare_cell_columns& columns, snp_window window) {
    return columns.column_start.empty() ||
           columns.column_start[static_cast<size_t>(window.lo)] == columns.column_start[static_cast<size_t>(window.hi) + 1];
}

int32_t count_rare_narrow_carriers(const fast_genotype_matrix& table, const rare_cell_columns& columns,
                                   const narrow_groups_scratch& groups, int32_t words_per_column, snp_window window,
                                   rare_count_scratch& scratch) {
    mark_rare_rows(columns, window, scratch);
    scratch.narrow_order.clear();
    scratch.narrow_group.clear();
    const auto stride = static_cast<size_t>(words_per_column);
    for (size_t g = 0; g < groups.group_sizes.size(); ++g) {
        for (size_t w = 0; w < stride; ++w) {
            for (uint64_t bits = groups.groups[g * stride + w]; bits != 0; bits &= bits - 1) {
                scratch.narrow_order.push_back(static_cast<int32_t>(w * 64) + std::countr_zero(bits));
                scratch.narrow_group.push_back(static_cast<int32_t>(g));
            }
        }
    }
    const core_group core = find_core_group(table, scratch.narrow_order, scratch.narrow_group, window, false, scratch);
    if (core.size < 2) return -1;
    return count_exact_matches(table, scratch.narrow_order, core, window, scratch);
}

int32_t count_rare_cell_carriers(const fast_genotype_matrix& table, const rare_cell_columns& columns,
                                 window_partition& partition, int32_t allowance, partition_scratch& bit_scratch,
                                 rare_count_scratch& scratch) {
    const snp_window window = partition.window;
    mark_rare_rows(columns, window, scratch);
    const core_group core = find_core_group(table, partition.order, partition.group, window, true, scratch);

    // The carriers are among the rows whose bits are within the allowance of the core row's.
    if (allowance == 0) return core.size == 1 ? 1 : count_exact_matches(table, partition.order, core, window, scratch);
    scratch.candidates.clear();
    {
        count_partition_carriers(table, partition, allowance, bit_scratch);
        bool complete = false;
        const bool same_bits = window_mismatches(table, core.row, partition.core_row, window, 0, complete) == 0 && complete;
        if (same_bits) {
            scratch.candidates = partition.near;
        } else {
            for (int32_t row = 0; row < table.haplotype_count; ++row) {
                const int32_t mismatches = window_mismatches(table, row, core.row, window, allowance, complete);
                if (complete && mismatches <= allowance) scratch.candidates.push_back(row);
            }
        }
    }
    const bool core_is_rare = scratch.rare_mark[static_cast<size_t>(core.row)] == scratch.stamp;
    int32_t carriers = 0;
    for (const int32_t row : scratch.candidates) {
        if (!core_is_rare && scratch.rare_mark[static_cast<size_t>(row)] != scratch.stamp) ++carriers;
        else carriers += within_allowance(table, row, core.row, window, allowance);
    }
    assert(carriers >= 1);
    return carriers;
}

}  // namespace corvane
