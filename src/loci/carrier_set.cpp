// The carrier set of a window: equal windows grouped by hash (checked cell by cell), then distances.
#include "loci/carrier_set.hpp"

#include <bit>
#include <cassert>
#include <cstring>
#include <string_view>

namespace corvane {

namespace {

// Equal windows of the table, each group kept as its first row and its size.
struct window_groups {
    struct slot {
        uint64_t hash = 0;
        int32_t first_row = -1;
        int32_t count = 0;
    };
    std::vector<slot> slots;
};

uint64_t mix(uint64_t hash, uint64_t value) {
    hash ^= value + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
    return hash * 0xff51afd7ed558ccdull;
}

// Groups rows 0..H-1 by their window, given each row's window as `stride` comparable words at
// keys[row * stride]. Returns the slot of the most common window; `before(a, b)` says whether the
// window of row a comes before that of row b in byte order, for ties.
template <typename word, typename order>
int32_t most_common_row(const std::vector<word>& keys, size_t stride, int32_t rows, order&& before) {
    size_t capacity = 16;
    while (capacity < 2 * static_cast<size_t>(rows)) capacity *= 2;
    window_groups groups;
    groups.slots.resize(capacity);
    const auto key = [&](int32_t row) { return keys.data() + static_cast<size_t>(row) * stride; };
    int32_t best = -1;
    for (int32_t row = 0; row < rows; ++row) {
        uint64_t hash = 0x51ed270b27e3a5c1ull;
        for (size_t k = 0; k < stride; ++k) hash = mix(hash, static_cast<uint64_t>(key(row)[k]));
        size_t at = hash & (capacity - 1);
        for (;; at = (at + 1) & (capacity - 1)) {
            window_groups::slot& slot = groups.slots[at];
            if (slot.first_row < 0) {
                slot = {hash, row, 0};
                break;
            }
            if (slot.hash == hash && std::memcmp(key(slot.first_row), key(row), stride * sizeof(word)) == 0) break;
        }
        window_groups::slot& slot = groups.slots[at];
        ++slot.count;
        if (best < 0) {
            best = static_cast<int32_t>(at);
            continue;
        }
        const window_groups::slot& leader = groups.slots[static_cast<size_t>(best)];
        if (slot.count > leader.count ||
            (slot.count == leader.count && &slot != &leader && before(slot.first_row, leader.first_row))) {
            best = static_cast<int32_t>(at);
        }
    }
    return groups.slots[static_cast<size_t>(best)].first_row;
}

carrier_set bit_carriers(const allele_table& table, snp_window window) {
    const int32_t rows = table.haplotype_count;
    const int32_t width = window.hi - window.lo + 1;
    const size_t stride = (static_cast<size_t>(width) + 63) / 64;
    const unsigned shift = static_cast<unsigned>(window.lo % 64);
    const size_t first_word = static_cast<size_t>(window.lo / 64);
    const uint64_t last_mask = width % 64 == 0 ? ~uint64_t{0} : (uint64_t{1} << (width % 64)) - 1;
    // Each row's window, shifted to start at bit 0; the table's zero word after every row makes the
    // word after the last one always readable.
    std::vector<uint64_t> keys(static_cast<size_t>(rows) * stride);
    for (int32_t row = 0; row < rows; ++row) {
        const uint64_t* words = table.bit_row(row) + first_word;
        uint64_t* key = keys.data() + static_cast<size_t>(row) * stride;
        for (size_t k = 0; k < stride; ++k) {
            key[k] = shift == 0 ? words[k] : (words[k] >> shift) | (words[k + 1] << (64 - shift));
        }
        key[stride - 1] &= last_mask;
    }
    // A 0 sorts before a 1, so at the first differing SNP the window holding 0 comes first.
    const auto before = [&](int32_t a, int32_t b) {
        const uint64_t* key_a = keys.data() + static_cast<size_t>(a) * stride;
        const uint64_t* key_b = keys.data() + static_cast<size_t>(b) * stride;
        for (size_t k = 0; k < stride; ++k) {
            const uint64_t differ = key_a[k] ^ key_b[k];
            if (differ != 0) return (key_a[k] & (differ & -differ)) == 0;
        }
        return false;
    };
    carrier_set found;
    found.core_row = most_common_row(keys, stride, rows, before);
    const uint64_t* core = keys.data() + static_cast<size_t>(found.core_row) * stride;
    for (int32_t row = 0; row < rows; ++row) {
        const uint64_t* key = keys.data() + static_cast<size_t>(row) * stride;
        int64_t mismatches = 0;
        for (size_t k = 0; k < stride; ++k) mismatches += std::popcount(key[k] ^ core[k]);
        // For 0/1 alleles the squared distance is the mismatch count.
        if (is_carrier(static_cast<double>(mismatches), width)) found.carrier_rows.push_back(row);
    }
    return found;
}

template <typename cell>
carrier_set value_carriers(const allele_table& table, snp_window window) {
    const std::vector<cell>& cells = table_cells<cell>(table);
    const int32_t rows = table.haplotype_count;
    const int32_t width = window.hi - window.lo + 1;
    const size_t stride = static_cast<size_t>(width);
    const auto window_of = [&](int32_t row) {
        return cells.data() + static_cast<size_t>(row) * static_cast<size_t>(table.snp_count) + window.lo;
    };
    // Windows are grouped by the low byte of each allele, as the plain path's strings are.
    std::vector<unsigned char> keys(static_cast<size_t>(rows) * stride);
    for (int32_t row = 0; row < rows; ++row) {
        const cell* alleles = window_of(row);
        for (size_t k = 0; k < stride; ++k) {
            keys[static_cast<size_t>(row) * stride + k] = static_cast<unsigned char>(static_cast<uint32_t>(alleles[k]) & 0xffu);
        }
    }
    const auto before = [&](int32_t a, int32_t b) {
        return std::memcmp(keys.data() + static_cast<size_t>(a) * stride, keys.data() + static_cast<size_t>(b) * stride,
                           stride) < 0;
    };
    carrier_set found;
    found.core_row = most_common_row(keys, stride, rows, before);
    const cell* core = window_of(found.core_row);
    for (int32_t row = 0; row < rows; ++row) {
        const cell* alleles = window_of(row);
        // Summed in the plain path's order, so the double comes out the same.
        double distance = 0.0;
        for (size_t k = 0; k < stride; ++k) {
            const int64_t difference = static_cast<int64_t>(alleles[k]) - core[k];
            const uint64_t magnitude = static_cast<uint64_t>(difference < 0 ? -difference : difference);
            distance += static_cast<double>(magnitude * magnitude);
        }
        if (is_carrier(distance, width)) found.carrier_rows.push_back(row);
    }
    return found;
}

}  // namespace

carrier_set find_carriers(const allele_table& table, snp_window window) {
    assert(0 <= window.lo && window.lo < window.hi && window.hi < table.snp_count && table.haplotype_count > 0);
    switch (table.kind) {
        case cell_kind::bits: return bit_carriers(table, window);
        case cell_kind::int8: return value_carriers<int8_t>(table, window);
        case cell_kind::int16: return value_carriers<int16_t>(table, window);
        case cell_kind::int32: return value_carriers<int32_t>(table, window);
    }
    return {};
}

}  // namespace corvane
