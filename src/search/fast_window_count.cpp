// The fast window carrier count: for bit tables by partitions of the rows into groups of equal
// windows (and, for the search's narrow windows, by column splits); for other tables by groups of rows
// found through a hash of their window.
#include "search/fast_window_count.hpp"

#include <algorithm>
#include <bit>
#include <cassert>

#include "search/cpu_features.hpp"

namespace corvane {

namespace {

constexpr uint64_t hash_multiplier = 0x9e3779b97f4a7c15ull;

// Transposed blocks of 64 SNPs kept at once: a search needs the few near its windows' ends.
constexpr int32_t kept_column_blocks = 16;

uint64_t mix(uint64_t hash, uint64_t word) {
    hash = (hash ^ word) * hash_multiplier;
    return hash ^ (hash >> 31);
}

// Starts a fresh set of groups; slots of earlier windows become empty by their stamp.
void clear_groups(window_counter& counter) {
    if (++counter.stamp == 0) {
        for (auto& slot : counter.slots) slot.stamp = 0;
        counter.stamp = 1;
    }
}

// Adds `row` (with window hash `hash`) to its group; `same(a, b)` says whether two rows' windows are
// equal. Returns the slot of the group.
template <typename equal_windows>
window_counter::slot& add_to_group(window_counter& counter, int32_t row, uint64_t hash, equal_windows&& same) {
    const size_t mask = counter.slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        window_counter::slot& slot = counter.slots[i];
        if (slot.stamp != counter.stamp) {
            slot = {hash, counter.stamp, row, 1};
            return slot;
        }
        if (slot.hash == hash && same(slot.first_row, row)) {
            ++slot.count;
            return slot;
        }
    }
}

// The exact carrier count of a bit window: its partition built afresh.
int32_t count_bit_window(const fast_genotype_matrix& table, snp_window window, window_counter& counter) {
    const window_partition nothing;
    window_partition partition;
    partition_window(table, counter.columns, nothing, window, partition, counter.partition_work);
    return count_partition_carriers(table, partition, counter.allowance[static_cast<size_t>(window.hi - window.lo + 1)],
                                    counter.partition_work);
}

// For a bit window that allows no mismatch the carrier count is the size of the largest group of
// equal rows, so only groups above the threshold matter: split the rows column by column and drop
// every part that is too small. Returns the largest group's size, or 0 when none is above.
CORVANE_WITH_POPCOUNT
int32_t largest_group_above(snp_window window, float threshold, window_counter& counter) {
    column_bits& columns = counter.columns;
    const int32_t words = columns.words_per_column;
    const size_t stride = static_cast<size_t>(words);
    counter.groups.assign(counter.row_mask.begin(), counter.row_mask.end());
    counter.group_sizes.assign(1, counter.row_count);
    for (int32_t c = window.lo; c <= window.hi; ++c) {
        const uint64_t* column = columns.column(c);
        counter.next_groups.clear();
        counter.next_group_sizes.clear();
        for (size_t g = 0; g < counter.group_sizes.size(); ++g) {
            const uint64_t* group = counter.groups.data() + g * stride;
            int32_t ones = 0;
            for (int32_t i = 0; i < words; ++i) ones += std::popcount(group[i] & column[i]);
            const int32_t zeros = counter.group_sizes[g] - ones;
            if (static_cast<float>(ones) > threshold) {
                for (int32_t i = 0; i < words; ++i) counter.next_groups.push_back(group[i] & column[i]);
                counter.next_group_sizes.push_back(ones);
            }
            if (static_cast<float>(zeros) > threshold) {
                for (int32_t i = 0; i < words; ++i) counter.next_groups.push_back(group[i] & ~column[i]);
                counter.next_group_sizes.push_back(zeros);
            }
        }
        counter.groups.swap(counter.next_groups);
        counter.group_sizes.swap(counter.next_group_sizes);
        if (counter.group_sizes.empty()) return 0;
    }
    int32_t largest = 0;
    for (const int32_t size : counter.group_sizes) largest = std::max(largest, size);
    return largest;
}

template <typename cell>
int32_t count_value_window(const fast_genotype_matrix& table, snp_window window, window_counter& counter) {
    const int32_t rows = table.haplotype_count;
    const int32_t width = window.hi - window.lo + 1;
    const cell* cells = table_cells<cell>(table).data();
    const auto row_cells = [&](int32_t r) {
        return cells + static_cast<size_t>(r) * static_cast<size_t>(table.snp_count) + window.lo;
    };
    const auto low_byte = [](cell value) { return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xffu); };

    clear_groups(counter);
    const auto same = [&](int32_t a, int32_t b) {
        const cell* x = row_cells(a);
        const cell* y = row_cells(b);
        for (int32_t k = 0; k < width; ++k) {
            if (low_byte(x[k]) != low_byte(y[k])) return false;
        }
        return true;
    };
    const auto before = [&](int32_t a, int32_t b) {
        const cell* x = row_cells(a);
        const cell* y = row_cells(b);
        for (int32_t k = 0; k < width; ++k) {
            if (low_byte(x[k]) != low_byte(y[k])) return low_byte(x[k]) < low_byte(y[k]);
        }
        return false;
    };
    const window_counter::slot* best = nullptr;
    for (int32_t r = 0; r < rows; ++r) {
        const cell* mine = row_cells(r);
        uint64_t hash = 0;
        for (int32_t k = 0; k < width; ++k) hash = mix(hash, low_byte(mine[k]));
        const window_counter::slot& group = add_to_group(counter, r, hash, same);
        if (best == nullptr || group.count > best->count ||
            (group.count == best->count && &group != best && before(group.first_row, best->first_row))) {
            best = &group;
        }
    }

    const cell* core_row = row_cells(best->first_row);
    int32_t carriers = 0;
    for (int32_t r = 0; r < rows; ++r) {
        const cell* mine = row_cells(r);
        // The sum only grows, so once the test fails on part of it, it fails on all of it.
        double distance = 0.0;
        bool carrier = true;
        for (int32_t k = 0; k < width && carrier; ++k) {
            const int64_t difference = static_cast<int64_t>(mine[k]) - core_row[k];
            const uint64_t magnitude = static_cast<uint64_t>(difference < 0 ? -difference : difference);
            distance += static_cast<double>(magnitude * magnitude);
            if ((k & 15) == 15) carrier = is_carrier(distance, width);
        }
        if (carrier && is_carrier(distance, width)) ++carriers;
    }
    return carriers;
}

}  // namespace

int32_t mismatch_allowance(int32_t width) {
    int32_t allowed = width / 50;
    while (allowed > 0 && !is_carrier(static_cast<double>(allowed), width)) --allowed;
    while (allowed < width && is_carrier(static_cast<double>(allowed + 1), width)) ++allowed;
    return allowed;
}

void prepare_window_counter(const fast_genotype_matrix& table, window_counter& counter) {
    counter = window_counter{};
    counter.allowance.resize(static_cast<size_t>(table.snp_count) + 1);
    for (int32_t width = 1; width <= table.snp_count; ++width) {
        counter.allowance[static_cast<size_t>(width)] = mismatch_allowance(width);
    }
    if (table.kind == cell_kind::bits) {
        prepare_column_bits(table, kept_column_blocks, counter.columns);
        counter.row_count = table.haplotype_count;
        counter.row_mask.assign(static_cast<size_t>(counter.columns.words_per_column), ~uint64_t{0});
        if (table.haplotype_count % 64 != 0) counter.row_mask.back() = (uint64_t{1} << (table.haplotype_count % 64)) - 1;
    }
    size_t slots = 16;
    while (slots < 2 * static_cast<size_t>(table.haplotype_count)) slots *= 2;
    counter.slots.resize(slots);
}

int32_t count_carriers(const fast_genotype_matrix& table, snp_window window, window_counter& counter) {
    assert(window.lo >= 0 && window.lo < window.hi && window.hi < table.snp_count);
    switch (table.kind) {
        case cell_kind::bits: return count_bit_window(table, window, counter);
        case cell_kind::int8: return count_value_window<int8_t>(table, window, counter);
        case cell_kind::int16: return count_value_window<int16_t>(table, window, counter);
        case cell_kind::int32: return count_value_window<int32_t>(table, window, counter);
    }
    return 0;
}

int32_t count_carriers_above(const fast_genotype_matrix& table, snp_window window, float threshold,
                             window_counter& counter) {
    assert(window.lo >= 0 && window.lo < window.hi && window.hi < table.snp_count);
    const int32_t width = window.hi - window.lo + 1;
    // The column test keeps at most H / (threshold + 1) groups; past a few dozen, the partition of
    // the rows below is cheaper.
    if (table.kind == cell_kind::bits && counter.allowance[static_cast<size_t>(width)] == 0 &&
        (static_cast<double>(threshold) + 1.0) * 32.0 >= static_cast<double>(table.haplotype_count)) {
        return largest_group_above(window, threshold, counter);
    }
    if (table.kind == cell_kind::bits) {
        // A search's other windows extend the last one that passed: grow that window's partition.
        partition_window(table, counter.columns, counter.passed, window, counter.trial, counter.partition_work);
        const int32_t carriers = count_partition_carriers(table, counter.trial, counter.allowance[static_cast<size_t>(width)],
                                                          counter.partition_work);
        if (static_cast<float>(carriers) <= threshold) return 0;
        std::swap(counter.passed, counter.trial);
        return carriers;
    }
    const int32_t carriers = count_carriers(table, window, counter);
    return static_cast<float>(carriers) > threshold ? carriers : 0;
}

}  // namespace corvane
