// Seeds, cuts and cells per chromosome; the longest interval of each cell at each frequency.
#include "loci/cell_loci.hpp"

#include <algorithm>
#include <iterator>
#include <map>

namespace corvane {

namespace {

// Rows grouped by chromosome, then frequency, in the order read within each group: group g holds
// order[first[g] .. first[g + 1]).
struct row_groups {
    size_t frequency_count = 0;
    std::vector<size_t> first;
    std::vector<size_t> order;

    size_t begin(uint32_t chr, size_t frequency) const { return first[chr * frequency_count + frequency]; }
    size_t end(uint32_t chr, size_t frequency) const { return first[chr * frequency_count + frequency + 1]; }
};

// One counting sort of the kept rows by (chromosome, frequency): tables come in the order given,
// so each group keeps that order.
row_groups group_rows(const frequency_table_set& set, const interval_filter& filter) {
    const result_rows& rows = set.rows;
    row_groups groups;
    groups.frequency_count = set.frequencies.size();
    groups.first.assign(rows.chr_names.size() * groups.frequency_count + 1, 0);
    const auto each_kept_row = [&](auto&& visit) {
        size_t row = 0;
        for (size_t table = 0; table < rows.tables.size(); ++table) {
            const size_t frequency = set.table_frequency[table];
            for (; row < rows.tables[table].row_end; ++row) {
                if (keeps_interval(filter, rows.intervals[row])) visit(row, rows.intervals[row].chr * groups.frequency_count + frequency);
            }
        }
    };
    each_kept_row([&](size_t, size_t group) { ++groups.first[group + 1]; });
    for (size_t g = 1; g < groups.first.size(); ++g) groups.first[g] += groups.first[g - 1];
    groups.order.resize(groups.first.back());
    std::vector<size_t> next(groups.first.begin(), groups.first.end() - 1);
    each_kept_row([&](size_t row, size_t group) { groups.order[next[group]++] = row; });
    return groups;
}

// Longer first, then the first by start, end and the order read.
bool comes_first(const result_rows& rows, size_t a, size_t b) {
    const result_interval& x = rows.intervals[a];
    const result_interval& y = rows.intervals[b];
    const double key_x = length_key(x.genetic), key_y = length_key(y.genetic);
    if (key_x != key_y) return key_x > key_y;
    if (x.start != y.start) return x.start < y.start;
    if (x.end != y.end) return x.end < y.end;
    return a < b;
}

bool near(int64_t a_start, int64_t a_end, int64_t b_start, int64_t b_end, int64_t gap) {
    return b_start - a_end <= gap && a_start - b_end <= gap;
}

// The seeds of one chromosome, by start (disjoint, so also by end).
std::vector<std::pair<int32_t, int32_t>> take_seeds(const result_rows& rows, std::vector<size_t> candidates,
                                                    int64_t gap) {
    std::sort(candidates.begin(), candidates.end(), [&](size_t a, size_t b) { return comes_first(rows, a, b); });
    std::map<int32_t, int32_t> seeds;  // start -> end
    for (const size_t row : candidates) {
        const result_interval& interval = rows.intervals[row];
        // Seeds are disjoint and more than `gap` apart, so only the neighbours by start can be near.
        const auto after = seeds.lower_bound(interval.start);
        bool clash = after != seeds.end() && near(after->first, after->second, interval.start, interval.end, gap);
        if (!clash && after != seeds.begin()) {
            const auto before = std::prev(after);
            clash = near(before->first, before->second, interval.start, interval.end, gap);
        }
        if (!clash) seeds.emplace_hint(after, interval.start, interval.end);
    }
    return {seeds.begin(), seeds.end()};
}

}  // namespace

cell_loci form_cell_loci(const frequency_table_set& set, const interval_filter& filter, int64_t gap) {
    const result_rows& rows = set.rows;
    const size_t frequency_count = set.frequencies.size();
    const row_groups groups = group_rows(set, filter);
    cell_loci found;
    found.frequencies = set.frequencies;
    for (uint32_t chr = 0; chr < rows.chr_names.size(); ++chr) {
        size_t partition = 0;
        while (partition < frequency_count && groups.begin(chr, partition) == groups.end(chr, partition)) ++partition;
        if (partition == frequency_count) continue;
        const auto seeds = take_seeds(rows,
                                      std::vector<size_t>(groups.order.begin() + static_cast<ptrdiff_t>(groups.begin(chr, partition)),
                                                          groups.order.begin() + static_cast<ptrdiff_t>(groups.end(chr, partition))),
                                      gap);
        // Twice the bp halfway between neighbouring seeds.
        std::vector<int64_t> cuts;
        for (size_t j = 1; j < seeds.size(); ++j) cuts.push_back(int64_t{seeds[j - 1].second} + seeds[j].first);
        const size_t first_locus = found.loci.size();
        for (size_t j = 0; j < seeds.size(); ++j) {
            locus cell;
            cell.chr = chr;
            cell.number = static_cast<int32_t>(j + 1);
            cell.start = std::numeric_limits<int32_t>::max();
            cell.end = std::numeric_limits<int32_t>::min();
            found.loci.push_back(cell);
        }
        found.longest.resize(found.loci.size() * frequency_count, no_interval);
        for (size_t frequency = 0; frequency < frequency_count; ++frequency) {
            for (size_t g = groups.begin(chr, frequency); g < groups.end(chr, frequency); ++g) {
                const size_t row = groups.order[g];
                const result_interval& interval = rows.intervals[row];
                const size_t cell = first_locus + static_cast<size_t>(std::lower_bound(cuts.begin(), cuts.end(),
                                                                                       int64_t{interval.start} + interval.end) -
                                                                      cuts.begin());
                locus& holder = found.loci[cell];
                ++holder.interval_count;
                holder.start = std::min(holder.start, interval.start);
                holder.end = std::max(holder.end, interval.end);
                size_t& longest = found.longest[cell * frequency_count + frequency];
                if (longest == no_interval || comes_first(rows, row, longest)) longest = row;
            }
        }
    }
    return found;
}

}  // namespace corvane
