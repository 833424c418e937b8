// Counting by groups of equal windows found through a hash: for tables with allele codes other than 0
// and 1, whose rows are not bits.
#include "search/value_window_count.hpp"

#include "search/window_grouping.hpp"

namespace corvane {

namespace {

// Starts a fresh set of groups; slots of earlier windows become empty by their stamp.
void clear_groups(value_count_scratch& scratch) {
    start_new_round(scratch.stamp, [&] {
        for (auto& slot : scratch.slots) slot.stamp = 0;
    });
}

// Adds `row` (with window hash `hash`) to its group; `same(a, b)` says whether two rows' windows are
// equal. Returns the slot of the group.
template <typename equal_windows>
value_count_scratch::slot& add_to_group(value_count_scratch& scratch, int32_t row, uint64_t hash, equal_windows&& same) {
    const size_t mask = scratch.slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        value_count_scratch::slot& slot = scratch.slots[i];
        if (slot.stamp != scratch.stamp) {
            slot = {hash, scratch.stamp, row, 1};
            return slot;
        }
        if (slot.hash == hash && same(slot.first_row, row)) {
            ++slot.count;
            return slot;
        }
    }
}

template <typename cell>
int32_t count_cells_window(const fast_genotype_matrix& table, snp_window window, value_count_scratch& scratch) {
    const int32_t rows = table.haplotype_count;
    const int32_t width = window.hi - window.lo + 1;
    const cell* cells = table_cells<cell>(table).data();
    const auto row_cells = [&](int32_t r) {
        return cells + static_cast<size_t>(r) * static_cast<size_t>(table.snp_count) + window.lo;
    };
    const auto low_byte = [](cell value) { return window_string_byte(value); };

    clear_groups(scratch);
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
    const value_count_scratch::slot* best = nullptr;
    for (int32_t r = 0; r < rows; ++r) {
        const cell* mine = row_cells(r);
        uint64_t hash = 0;
        for (int32_t k = 0; k < width; ++k) hash = hash_mix(hash, low_byte(mine[k]));
        const value_count_scratch::slot& group = add_to_group(scratch, r, hash, same);
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
            distance += static_cast<double>(squared_difference(mine[k], core_row[k]));
            if ((k & 15) == 15) carrier = is_carrier(distance, width);
        }
        if (carrier && is_carrier(distance, width)) ++carriers;
    }
    return carriers;
}

}  // namespace

void prepare_value_count(const fast_genotype_matrix& table, value_count_scratch& scratch) {
    scratch = value_count_scratch{};
    size_t slots = 16;
    while (slots < 2 * static_cast<size_t>(table.haplotype_count)) slots *= 2;
    scratch.slots.resize(slots);
}

int32_t count_value_window(const fast_genotype_matrix& table, snp_window window, value_count_scratch& scratch) {
    switch (table.kind) {
        case cell_kind::int8: return count_cells_window<int8_t>(table, window, scratch);
        case cell_kind::int16: return count_cells_window<int16_t>(table, window, scratch);
        case cell_kind::int32: return count_cells_window<int32_t>(table, window, scratch);
        case cell_kind::bits: break;
    }
    return 0;
}

}  // namespace corvane
