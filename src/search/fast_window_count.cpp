// The fast window carrier count. A 0/1 table is held as bits and counted through partitions of its
// rows into groups of equal windows (a narrow window of the search by column splits instead); the
// rare cells of other codes beside the bits correct that count where a window holds them. A table
// over the codes 0 to 3 is counted on two bit planes the same way; a table with other allele codes
// through hashed groups of its rows.
#include "search/fast_window_count.hpp"

#include <cassert>
#include <optional>
#include <utility>

#include "search/partition_carriers.hpp"

namespace corvane {

namespace {

// Transposed blocks of 64 SNPs kept at once: a search needs the few near its windows' ends.
constexpr int32_t kept_column_blocks = 16;

int32_t allowance_of(const table_caches& caches, snp_window window) {
    return caches.allowance[static_cast<size_t>(window.hi - window.lo + 1)];
}

// The column splits keep at most H / (threshold + 1) groups; past a few dozen, the partition of the
// rows is cheaper.
bool suits_column_splits(const fast_genotype_matrix& table, const table_caches& caches, snp_window window,
                         float threshold) {
    return allowance_of(caches, window) == 0 &&
           (static_cast<double>(threshold) + 1.0) * 32.0 >= static_cast<double>(table.haplotype_count);
}

// fast_count_carriers_above on the two planes: the same column splits and partitions on plane columns.
int32_t count_two_planes_above(table_caches& caches, snp_window window, float threshold, search_state& search,
                               count_scratch& scratch) {
    const snp_window planes_window = plane_window(window);
    if (suits_column_splits(caches.planes, caches, window, threshold)) {
        return largest_group_above(caches.columns, caches.all_rows, caches.row_count, planes_window, threshold,
                                   scratch.narrow);
    }
    partition_window(caches.planes, caches.columns, search.passed, planes_window, scratch.trial, scratch.partition);
    const int32_t carriers = count_two_plane_carriers(caches.planes, scratch.trial, allowance_of(caches, window));
    if (static_cast<float>(carriers) <= threshold) return 0;
    std::swap(search.passed, scratch.trial);
    return carriers;
}

}  // namespace

void prepare_window_counter(const fast_genotype_matrix& table, window_counter& counter) {
    counter = window_counter{};
    table_caches& caches = counter.caches;
    caches.allowance.resize(static_cast<size_t>(table.snp_count) + 1);
    for (int32_t width = 1; width <= table.snp_count; ++width) {
        caches.allowance[static_cast<size_t>(width)] = mismatch_allowance(width);
    }
    if (make_two_plane_table(table, caches.planes)) caches.path = count_path::two_planes;
    else if (table.kind != cell_kind::bits) caches.path = count_path::values;
    else caches.path = table.has_rare_cells() ? count_path::bits_with_rare : count_path::bits;
    const fast_genotype_matrix& bits = caches.path == count_path::two_planes ? caches.planes : table;
    if (caches.path != count_path::values) {
        prepare_column_bits(bits, kept_column_blocks, caches.columns);
        caches.row_count = table.haplotype_count;
        caches.all_rows.assign(static_cast<size_t>(caches.columns.words_per_column), ~uint64_t{0});
        if (table.haplotype_count % 64 != 0) caches.all_rows.back() = (uint64_t{1} << (table.haplotype_count % 64)) - 1;
        prepare_rare_cell_count(table, caches.rare_columns, counter.scratch.rare);
    }
    prepare_value_count(table, counter.scratch.values);
}

const char* count_path_name(count_path path) {
    switch (path) {
        case count_path::bits: return "0/1 bits";
        case count_path::bits_with_rare: return "bits+rare";
        case count_path::two_planes: return "2 planes";
        case count_path::values: return "general";
    }
    return "";
}

int32_t fast_count_carriers(const fast_genotype_matrix& table, snp_window window, table_caches& caches,
                       count_scratch& scratch) {
    assert(window.lo >= 0 && window.lo < window.hi && window.hi < table.snp_count);
    const window_partition nothing;
    switch (caches.path) {
        case count_path::two_planes:
            partition_window(caches.planes, caches.columns, nothing, plane_window(window), scratch.trial,
                             scratch.partition);
            return count_two_plane_carriers(caches.planes, scratch.trial, allowance_of(caches, window));
        case count_path::values: return count_value_window(table, window, scratch.values);
        case count_path::bits:
        case count_path::bits_with_rare: break;
    }
    // The exact count of a bit window: its partition built afresh.
    partition_window(table, caches.columns, nothing, window, scratch.trial, scratch.partition);
    if (caches.path == count_path::bits_with_rare && !window_is_all_bits(caches.rare_columns, window)) {
        return count_rare_cell_carriers(table, caches.rare_columns, scratch.trial, allowance_of(caches, window),
                                        scratch.partition, scratch.rare);
    }
    return count_partition_carriers(table, scratch.trial, allowance_of(caches, window), scratch.partition);
}

int32_t fast_count_carriers_above(const fast_genotype_matrix& table, snp_window window, float threshold,
                             table_caches& caches, search_state& search, count_scratch& scratch) {
    assert(window.lo >= 0 && window.lo < window.hi && window.hi < table.snp_count);
    switch (caches.path) {
        case count_path::two_planes: return count_two_planes_above(caches, window, threshold, search, scratch);
        case count_path::values: {
            const int32_t carriers = count_value_window(table, window, scratch.values);
            return static_cast<float>(carriers) > threshold ? carriers : 0;
        }
        case count_path::bits:
        case count_path::bits_with_rare: break;
    }
    const bool all_bits = caches.path == count_path::bits || window_is_all_bits(caches.rare_columns, window);
    if (suits_column_splits(table, caches, window, threshold)) {
        // With rare cells the largest group of equal bits bounds the carriers from above: carriers
        // with no allowance have equal values, hence equal low bits.
        const int32_t largest = largest_group_above(caches.columns, caches.all_rows, caches.row_count, window,
                                                    threshold, scratch.narrow);
        if (all_bits || largest == 0) return largest;
        const std::optional<int32_t> carriers = count_rare_narrow_carriers(
            table, caches.rare_columns, scratch.narrow, caches.columns.words_per_column, window, scratch.rare);
        if (carriers) return static_cast<float>(*carriers) > threshold ? *carriers : 0;
    }
    // A search's other windows extend the last one that passed: grow that window's partition.
    partition_window(table, caches.columns, search.passed, window, scratch.trial, scratch.partition);
    const int32_t allowance = allowance_of(caches, window);
    const int32_t carriers =
        all_bits ? count_partition_carriers(table, scratch.trial, allowance, scratch.partition)
                 : count_rare_cell_carriers(table, caches.rare_columns, scratch.trial, allowance, scratch.partition,
                                            scratch.rare);
    if (static_cast<float>(carriers) <= threshold) return 0;
    std::swap(search.passed, scratch.trial);
    return carriers;
}

}  // namespace corvane
