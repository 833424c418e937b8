// The carrier set of a window: equal windows grouped by hash (checked word by word), then distances.
#include "search/carrier_search.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <numeric>

#include "input/bit_words.hpp"
#include "search/cpu_features.hpp"
#include "search/window_grouping.hpp"

namespace corvane {

namespace {

// Space reused by every window: the rows' windows as keys and the open-addressing groups of equal
// keys, each kept as its first row and its size. A slot belongs to the current window only when
// its stamp is the current one, so the table is never cleared between windows.
struct carrier_scratch {
    struct slot {
        uint64_t first_word = 0;  // the group's first key word, compared before any other
        uint32_t stamp = 0;
        int32_t first_row = 0;
        int32_t count = 0;
    };
    std::vector<slot> slots;
    std::vector<uint32_t> used;  // the slots of the current window's groups
    uint32_t stamp = 0;
    int slot_bits = 0;
    std::vector<uint64_t> keys;
    std::vector<uint64_t> block;
};

uint64_t key_hash(const uint64_t* key, size_t stride) {
    uint64_t hash = 0;
    for (size_t k = 0; k < stride; ++k) hash = hash_mix(hash, key[k]);
    return hash;
}

// Groups rows 0..H-1 by their window, given each row's window as `stride` words at keys[row * stride].
// Returns the first row of the most common window; `before(a, b)` says whether the window of row a
// comes before that of row b in byte order, for ties.
template <typename order>
int32_t most_common_row(const std::vector<uint64_t>& keys, size_t stride, int32_t rows, order&& before,
                        carrier_scratch& groups) {
    int bits = 4;
    while ((size_t{1} << bits) < 2 * static_cast<size_t>(rows)) ++bits;
    const auto clear_slots = [&] { groups.slots.assign(size_t{1} << bits, carrier_scratch::slot{}); };
    if (groups.slot_bits != bits) {
        // A table of another size: its slots start empty, and so does the first round.
        clear_slots();
        groups.slot_bits = bits;
        groups.stamp = 0;
    }
    start_new_round(groups.stamp, clear_slots);
    const uint32_t stamp = groups.stamp;
    const size_t mask = (size_t{1} << bits) - 1;
    groups.used.clear();
    for (int32_t row = 0; row < rows; ++row) {
        const uint64_t* key = keys.data() + static_cast<size_t>(row) * stride;
        size_t at = static_cast<size_t>(key_hash(key, stride) >> (64 - bits));
        for (;; at = (at + 1) & mask) {
            carrier_scratch::slot& slot = groups.slots[at];
            if (slot.stamp != stamp) {
                slot = {key[0], stamp, row, 0};
                groups.used.push_back(static_cast<uint32_t>(at));
                break;
            }
            if (slot.first_word != key[0]) continue;
            const uint64_t* other = keys.data() + static_cast<size_t>(slot.first_row) * stride;
            size_t k = 1;
            while (k < stride && other[k] == key[k]) ++k;
            if (k == stride) break;
        }
        ++groups.slots[at].count;
    }
    const carrier_scratch::slot* best = &groups.slots[groups.used[0]];
    for (const uint32_t at : groups.used) {
        const carrier_scratch::slot& group = groups.slots[at];
        if (group.count > best->count || (group.count == best->count && before(group.first_row, best->first_row))) {
            best = &group;
        }
    }
    return best->first_row;
}

// Appends the rows whose window is close enough to the core row's. For 0/1 alleles the squared
// distance is the mismatch count, so the cut-off is the mismatch allowance.
CORVANE_WITH_POPCOUNT
void add_bit_carriers(const std::vector<uint64_t>& keys, size_t stride, int32_t rows, int32_t core_row, int32_t width,
                      std::vector<int32_t>& carriers) {
    const int64_t allowed = mismatch_allowance(width);
    const uint64_t* core = keys.data() + static_cast<size_t>(core_row) * stride;
    carriers.resize(static_cast<size_t>(rows));
    size_t found = 0;
    for (int32_t row = 0; row < rows; ++row) {
        const uint64_t* key = keys.data() + static_cast<size_t>(row) * stride;
        int64_t mismatches = 0;
        for (size_t k = 0; k < stride; ++k) mismatches += std::popcount(key[k] ^ core[k]);
        carriers[found] = row;
        found += mismatches <= allowed ? 1 : 0;
    }
    carriers.resize(found);
}

// The carriers of `window` on a block of copied words: word w of every row lies at
// block[w * rows + row], and the block holds one word past the window's last.
carrier_set bit_carriers(const uint64_t* block, int32_t rows, snp_window window, carrier_scratch& scratch) {
    const int32_t width = window.hi - window.lo + 1;
    const size_t stride = words_for_bits(width);
    const unsigned shift = static_cast<unsigned>(window.lo % 64);
    const size_t first_word = static_cast<size_t>(window.lo / 64);
    const uint64_t last_mask = width % 64 == 0 ? ~uint64_t{0} : (uint64_t{1} << (width % 64)) - 1;
    const size_t row_count = static_cast<size_t>(rows);
    // Each row's window, shifted to start at bit 0.
    std::vector<uint64_t>& keys = scratch.keys;
    keys.resize(row_count * stride);
    for (size_t k = 0; k < stride; ++k) {
        const uint64_t* words = block + (first_word + k) * row_count;
        const uint64_t* next = words + row_count;
        const uint64_t mask = k + 1 == stride ? last_mask : ~uint64_t{0};
        for (size_t row = 0; row < row_count; ++row) {
            const uint64_t word = shift == 0 ? words[row] : (words[row] >> shift) | (next[row] << (64 - shift));
            keys[row * stride + k] = word & mask;
        }
    }
    // A 0 sorts before a 1, so at the first differing SNP the window holding 0 comes first.
    const auto before = [&](int32_t a, int32_t b) {
        const uint64_t* key_a = keys.data() + static_cast<size_t>(a) * stride;
        const uint64_t* key_b = keys.data() + static_cast<size_t>(b) * stride;
        for (size_t k = 0; k < stride; ++k) {
            const uint64_t differ = key_a[k] ^ key_b[k];
            if (differ != 0) return zero_where_first_differing(key_a[k], differ);
        }
        return false;
    };
    carrier_set found;
    found.core_row = most_common_row(keys, stride, rows, before, scratch);
    add_bit_carriers(keys, stride, rows, found.core_row, width, found.carrier_rows);
    return found;
}

template <typename cell>
carrier_set value_carriers(const fast_genotype_matrix& table, snp_window window, carrier_scratch& scratch) {
    const std::vector<cell>& cells = table_cells<cell>(table);
    const int32_t rows = table.haplotype_count;
    const int32_t width = window.hi - window.lo + 1;
    const auto window_of = [&](int32_t row) {
        return cells.data() + static_cast<size_t>(row) * static_cast<size_t>(table.snp_count) + window.lo;
    };
    // Windows are grouped by the low byte of each allele, as the reference path's strings are: eight
    // bytes to a key word, in order, zero-padded.
    const size_t stride = (static_cast<size_t>(width) + 7) / 8;
    std::vector<uint64_t>& keys = scratch.keys;
    keys.assign(static_cast<size_t>(rows) * stride, 0);
    for (int32_t row = 0; row < rows; ++row) {
        const cell* alleles = window_of(row);
        unsigned char* bytes = reinterpret_cast<unsigned char*>(keys.data() + static_cast<size_t>(row) * stride);
        for (int32_t k = 0; k < width; ++k) bytes[k] = window_string_byte(alleles[k]);
    }
    const auto before = [&](int32_t a, int32_t b) {
        return std::memcmp(keys.data() + static_cast<size_t>(a) * stride, keys.data() + static_cast<size_t>(b) * stride,
                           static_cast<size_t>(width)) < 0;
    };
    carrier_set found;
    found.core_row = most_common_row(keys, stride, rows, before, scratch);
    const cell* core = window_of(found.core_row);
    for (int32_t row = 0; row < rows; ++row) {
        const cell* alleles = window_of(row);
        // Summed in the reference path's order, so the double comes out the same.
        double distance = 0.0;
        for (int32_t k = 0; k < width; ++k) {
            distance += static_cast<double>(squared_difference(alleles[k], core[k]));
        }
        if (is_carrier(distance, width)) found.carrier_rows.push_back(row);
    }
    return found;
}

carrier_set value_carriers_of(const fast_genotype_matrix& table, snp_window window, carrier_scratch& scratch) {
    switch (table.kind) {
        case cell_kind::int8: return value_carriers<int8_t>(table, window, scratch);
        case cell_kind::int16: return value_carriers<int16_t>(table, window, scratch);
        case cell_kind::int32: return value_carriers<int32_t>(table, window, scratch);
        case cell_kind::bits: break;
    }
    assert(false);
    return {};
}

// Words of a row copied for one batch of windows: with all rows' copies a few hundred kilobytes, they
// stay in cache while the batch's windows are read from them.
constexpr size_t batch_words = 16;

}  // namespace

void find_carriers_of_windows(const fast_genotype_matrix& table, const std::vector<snp_window>& windows,
                              const std::function<void(size_t, carrier_set&)>& visit) {
    for ([[maybe_unused]] const snp_window window : windows) {
        assert(0 <= window.lo && window.lo < window.hi && window.hi < table.snp_count && table.haplotype_count > 0);
    }
    // Bits stand for the alleles only without rare cells beside them (see load_panel).
    assert(!table.has_rare_cells());
    carrier_scratch scratch;
    if (table.kind != cell_kind::bits) {
        for (size_t k = 0; k < windows.size(); ++k) {
            carrier_set found = value_carriers_of(table, windows[k], scratch);
            visit(k, found);
        }
        return;
    }
    std::vector<size_t> order(windows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return windows[a].lo < windows[b].lo; });
    const size_t rows = static_cast<size_t>(table.haplotype_count);
    for (size_t first = 0; first < order.size();) {
        // The batch: windows by their first SNP while the words they read (one past the last word
        // of each, which the table always holds) fit batch_words, or the one window that does not.
        const size_t first_word = static_cast<size_t>(windows[order[first]].lo / 64);
        size_t end_word = static_cast<size_t>(windows[order[first]].hi / 64) + 2;
        size_t last = first + 1;
        for (; last < order.size(); ++last) {
            const size_t needed = std::max(end_word, static_cast<size_t>(windows[order[last]].hi / 64) + 2);
            if (needed - first_word > batch_words) break;
            end_word = needed;
        }
        assert(end_word <= table.words_per_row);
        // Word by word, so that a window reads each of its words for all rows in one sweep.
        const size_t width = end_word - first_word;
        scratch.block.resize(rows * width);
        for (size_t r = 0; r < rows; ++r) {
            const uint64_t* words = table.bit_row(static_cast<int32_t>(r)) + first_word;
            for (size_t w = 0; w < width; ++w) scratch.block[w * rows + r] = words[w];
        }
        const int32_t shift = static_cast<int32_t>(first_word * 64);
        for (size_t k = first; k < last; ++k) {
            const snp_window window = windows[order[k]];
            carrier_set found =
                bit_carriers(scratch.block.data(), table.haplotype_count, {window.lo - shift, window.hi - shift}, scratch);
            visit(order[k], found);
        }
        first = last;
    }
}

carrier_set find_carriers(const fast_genotype_matrix& table, snp_window window) {
    carrier_set found;
    find_carriers_of_windows(table, {window}, [&](size_t, carrier_set& carriers) { found = std::move(carriers); });
    return found;
}

}  // namespace corvane
