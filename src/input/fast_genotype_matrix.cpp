// Builds the fast path's genotype table: packs bits while every allele is 0 or 1, widens when not.
#include "input/fast_genotype_matrix.hpp"

#include <algorithm>
#include <cassert>
#include <limits>
#include <new>
#include <span>

#include "input/table_loading.hpp"

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

// Re-holds every row loaded so far as `kind`, which is at least as wide as the current kind.
void convert_table(fast_genotype_matrix& table, cell_kind kind) {
    const size_t snps = static_cast<size_t>(table.snp_count);
    const size_t rows = static_cast<size_t>(table.haplotype_count);
    if (table.kind == cell_kind::bits) {
        std::vector<int8_t> cells(rows * snps);
        for (size_t r = 0; r < rows; ++r) {
            const uint64_t* words = table.bit_row(static_cast<int32_t>(r));
            for (size_t c = 0; c < snps; ++c) cells[r * snps + c] = static_cast<int8_t>((words[c / 64] >> (c % 64)) & 1u);
        }
        decltype(table.bits)().swap(table.bits);
        table.cells8 = std::move(cells);
        table.kind = cell_kind::int8;
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
    const size_t snps = static_cast<size_t>(table.snp_count);
    const size_t first = table.bits.size();
    table.bits.resize(first + table.words_per_row);
    uint64_t* words = table.bits.data() + first;
    size_t c = 0;
    for (size_t w = 0; c + 64 <= snps; ++w, c += 64) {
        uint64_t word = 0;
        for (size_t i = 0; i < 64; ++i) word |= static_cast<uint64_t>(alleles[c + i]) << i;
        words[w] = word;
    }
    uint64_t word = 0;
    for (size_t i = 0; c + i < snps; ++i) word |= static_cast<uint64_t>(alleles[c + i]) << i;
    if (c < snps) words[c / 64] = word;
}

template <typename cell>
void append_cells(std::vector<cell>& cells, const int32_t* alleles, size_t snps) {
    const size_t first = cells.size();
    cells.resize(first + snps);
    for (size_t c = 0; c < snps; ++c) cells[first + c] = static_cast<cell>(alleles[c]);
}

}  // namespace

int32_t fast_genotype_matrix::at(int32_t row, int32_t column) const {
    const size_t index = static_cast<size_t>(row) * static_cast<size_t>(snp_count) + static_cast<size_t>(column);
    switch (kind) {
        case cell_kind::bits:
            return static_cast<int32_t>((bit_row(row)[column / 64] >> (column % 64)) & 1u);
        case cell_kind::int8: return cells8[index];
        case cell_kind::int16: return cells16[index];
        case cell_kind::int32: return cells32[index];
    }
    return 0;
}

void append_haplotype(fast_genotype_matrix& table, const int32_t* alleles) {
    const size_t snps = static_cast<size_t>(table.snp_count);
    // One pass finds both whether the row is 0/1 and the range a wider kind would need.
    uint32_t beyond_bit = 0;
    for (size_t c = 0; c < snps; ++c) beyond_bit |= static_cast<uint32_t>(alleles[c]) & ~1u;
    if (beyond_bit == 0 && table.kind == cell_kind::bits) {
        pack_row(table, alleles);
    } else {
        const auto [low, high] = std::minmax_element(alleles, alleles + snps);
        const cell_kind row_kind = snps == 0 ? cell_kind::int8 : narrowest_kind(*low, *high);
        const cell_kind kind = std::max(row_kind, table.kind == cell_kind::bits ? cell_kind::int8 : table.kind);
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

run_status load_fast_genotype_matrix(const std::string& path, fast_genotype_matrix& table) {
    table = fast_genotype_matrix{};
    const auto take_snp_count = [&](int32_t snp_count) {
        table.snp_count = snp_count;
        table.words_per_row = (static_cast<size_t>(snp_count) + 63) / 64 + 1;
        return run_status::run_ok;
    };
    const auto take_haplotype = [&](std::span<const int32_t> alleles) {
        assert(alleles.size() == static_cast<size_t>(table.snp_count));
        append_haplotype(table, alleles.data());
    };
    return load_genotype_table(path, table, take_snp_count, take_haplotype);
}

}  // namespace corvane
