// Builds the fast path's genotype table: packs bits while alleles are 0 or 1 with few others listed
// beside them, widens to integers when not.
#include "input/fast_genotype_matrix.hpp"

#include <algorithm>
#include <cassert>
#include <limits>
#include <new>
#include <span>

#include "input/bit_words.hpp"

namespace corvane {

namespace {

template <typename cell>
bool fits(int32_t low, int32_t high) {
    return low >= std::numeric_limits<cell>::min() && high <= std::numeric_limits<cell>::max();
}

cell_kind narrowest_kind(int32_t low, int32_t high) {
    if (fits<int8_t>(low, high)) return cell_kind::int8;
    if (fits<int16_t>(low, high)) return cell_kind::int16;
    return cell_kind::int32;
}

template <typename from, typename to>
void widen(const std::vector<from>& source, std::vector<to>& target) {
    target.reserve(source.capacity());
    target.assign(source.begin(), source.end());
}

// The cells of a bit table with its rare cells, as integers of type `cell`.
template <typename cell>
std::vector<cell> cells_of_bits(const fast_genotype_matrix& table, size_t capacity) {
    const size_t snps = static_cast<size_t>(table.snp_count);
    const size_t rows = static_cast<size_t>(table.haplotype_count);
    std::vector<cell> cells;
    cells.reserve(capacity);
    cells.resize(rows * snps);
    for (size_t r = 0; r < rows; ++r) {
        const uint64_t* words = table.bit_row(static_cast<int32_t>(r));
        unpack_bits(words, snps, cells.data() + r * snps);
        const rare_cell_range cells_of_row = table.rare.of_row(static_cast<int32_t>(r));
        for (size_t i = cells_of_row.first; i < cells_of_row.last; ++i) {
            cells[r * snps + static_cast<size_t>(table.rare.columns[i])] = static_cast<cell>(table.rare.values[i]);
        }
    }
    return cells;
}

// Re-holds every row loaded so far as `kind`, which is at least as wide as the current kind.
void convert_table(fast_genotype_matrix& table, cell_kind kind) {
    if (table.kind == cell_kind::bits) {
        const size_t capacity = static_cast<size_t>(table.haplotype_count + 1) * static_cast<size_t>(table.snp_count);
        if (kind == cell_kind::int8) table.cells8 = cells_of_bits<int8_t>(table, capacity);
        if (kind == cell_kind::int16) table.cells16 = cells_of_bits<int16_t>(table, capacity);
        if (kind == cell_kind::int32) table.cells32 = cells_of_bits<int32_t>(table, capacity);
        decltype(table.bits)().swap(table.bits);
        table.rare = rare_cells{};
        table.kind = kind;
    }
    if (table.kind == cell_kind::int8 && kind != cell_kind::int8) {
        if (kind == cell_kind::int16) widen(table.cells8, table.cells16);
        else widen(table.cells8, table.cells32);
        std::vector<int8_t>().swap(table.cells8);
        table.kind = kind;
    }
    if (table.kind == cell_kind::int16 && kind == cell_kind::int32) {
        widen(table.cells16, table.cells32);
        std::vector<int16_t>().swap(table.cells16);
        table.kind = kind;
    }
}

void pack_row(fast_genotype_matrix& table, const int32_t* alleles) {
    const size_t first = table.bits.size();
    table.bits.resize(first + table.words_per_row);
    pack_low_bits(alleles, static_cast<size_t>(table.snp_count), table.bits.data() + first);
}

template <typename cell>
void append_cells(std::vector<cell>& cells, const int32_t* alleles, size_t snps) {
    const size_t first = cells.size();
    cells.resize(first + snps);
    for (size_t c = 0; c < snps; ++c) cells[first + c] = static_cast<cell>(alleles[c]);
}


// Lists the cells of a row that are neither 0 nor 1 after the table's rare cells, widening the
// table's range of values to theirs.
void list_rare_cells(fast_genotype_matrix& table, const int32_t* alleles) {
    rare_cells& rare = table.rare;
    for (int32_t c = 0; c < table.snp_count; ++c) {
        if ((static_cast<uint32_t>(alleles[c]) & ~1u) != 0) {
            rare.columns.push_back(c);
            rare.values.push_back(alleles[c]);
            rare.lowest = std::min(rare.lowest, alleles[c]);
            rare.highest = std::max(rare.highest, alleles[c]);
        }
    }
}

// Appends a row with cells other than 0 and 1 to a bit table, as bits and rare cells, when the
// table can keep them (keeps_rare_cells). Else leaves the table as it was, but for its range of
// values, which then covers the row's, and returns false.
bool append_rare_row(fast_genotype_matrix& table, const int32_t* alleles, size_t others) {
    rare_cells& rare = table.rare;
    const size_t before = rare.values.size();
    list_rare_cells(table, alleles);
    if (!keeps_rare_cells(before, others, table.haplotype_count + 1, table.snp_count, rare.lowest, rare.highest)) {
        rare.columns.resize(before);
        rare.values.resize(before);
        return false;
    }
    pack_row(table, alleles);
    rare.row_start.push_back(rare.values.size());
    return true;
}

}  // namespace

bool keeps_rare_cells(size_t rare_count, size_t added, int32_t rows, int32_t snps, int32_t lowest, int32_t highest) {
    const size_t cells = static_cast<size_t>(rows) * static_cast<size_t>(snps);
    if (rare_count + added > cells / 64 + static_cast<size_t>(snps)) return false;
    const auto span = static_cast<unsigned __int128>(static_cast<int64_t>(highest) - lowest);
    return span * span * static_cast<unsigned>(snps) < (static_cast<unsigned __int128>(1) << 53);
}

int32_t fast_genotype_matrix::at(int32_t row, int32_t column) const {
    const size_t index = static_cast<size_t>(row) * static_cast<size_t>(snp_count) + static_cast<size_t>(column);
    switch (kind) {
        case cell_kind::bits:
            if (has_rare_cells()) {
                const rare_cell_range cells_of_row = rare.of_row(row);
                const auto first = rare.columns.begin() + static_cast<ptrdiff_t>(cells_of_row.first);
                const auto last = rare.columns.begin() + static_cast<ptrdiff_t>(cells_of_row.last);
                const auto found = std::lower_bound(first, last, column);
                if (found != last && *found == column) return rare.values[static_cast<size_t>(found - rare.columns.begin())];
            }
            return static_cast<int32_t>(bit_at(bit_row(row), column));
        case cell_kind::int8: return cells8[index];
        case cell_kind::int16: return cells16[index];
        case cell_kind::int32: return cells32[index];
    }
    return 0;
}

void append_haplotype(fast_genotype_matrix& table, const int32_t* alleles, other_alleles rule) {
    const size_t snps = static_cast<size_t>(table.snp_count);
    assert(table.kind != cell_kind::bits || table.rare.row_start.size() == static_cast<size_t>(table.haplotype_count) + 1);
    // One pass finds whether the row is 0/1 and how many of its cells are not.
    size_t others = 0;
    for (size_t c = 0; c < snps; ++c) others += (static_cast<uint32_t>(alleles[c]) & ~1u) != 0;
    if (others == 0 && table.kind == cell_kind::bits) {
        pack_row(table, alleles);
        table.rare.row_start.push_back(table.rare.values.size());
    } else {
        if (table.kind == cell_kind::bits && rule == other_alleles::listed_beside_bits &&
            append_rare_row(table, alleles, others)) {
            ++table.haplotype_count;
            return;
        }
        const auto [low_cell, high_cell] = std::minmax_element(alleles, alleles + snps);
        const cell_kind row_kind = snps == 0 ? cell_kind::int8 : narrowest_kind(*low_cell, *high_cell);
        // A bit table's range covers its rare cells and this row's.
        const cell_kind table_kind = table.kind == cell_kind::bits
                                         ? narrowest_kind(table.rare.lowest, table.rare.highest)
                                         : table.kind;
        const cell_kind kind = std::max(row_kind, table_kind);
        if (kind != table.kind) convert_table(table, kind);
        switch (table.kind) {
            case cell_kind::bits: assert(false); break;
            case cell_kind::int8: append_cells(table.cells8, alleles, snps); break;
            case cell_kind::int16: append_cells(table.cells16, alleles, snps); break;
            case cell_kind::int32: append_cells(table.cells32, alleles, snps); break;
        }
    }
    ++table.haplotype_count;
}

}  // namespace corvane
