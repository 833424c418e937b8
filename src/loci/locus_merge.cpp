// Groups sorted intervals by overlap, picks each group's peak and ranks the peaks.
#include "loci/locus_merge.hpp"

#include <algorithm>

namespace corvane {

namespace {

void rank_loci(const result_rows& rows, std::vector<locus>& loci) {
    std::vector<double> peaks(loci.size());
    for (size_t k = 0; k < loci.size(); ++k) peaks[k] = length_key(rows.intervals[loci[k].peak].genetic);
    std::vector<double> sorted = peaks;
    std::sort(sorted.begin(), sorted.end());
    const double total = static_cast<double>(loci.size());
    for (size_t k = 0; k < loci.size(); ++k) {
        const auto not_longer = std::upper_bound(sorted.begin(), sorted.end(), peaks[k]) - sorted.begin();
        loci[k].rank = static_cast<int32_t>(sorted.size() - static_cast<size_t>(not_longer)) + 1;
        loci[k].percentile = static_cast<double>(not_longer) / total;
    }
}

}  // namespace

std::vector<locus> merge_loci(const result_rows& rows, int64_t gap, const interval_filter& filter) {
    std::vector<size_t> order;
    for (size_t k = 0; k < rows.intervals.size(); ++k) {
        if (keeps_interval(filter, rows.intervals[k])) order.push_back(k);
    }
    // By chromosome (first appearance), then position; file order breaks the remaining ties.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const result_interval& x = rows.intervals[a];
        const result_interval& y = rows.intervals[b];
        if (x.chr != y.chr) return x.chr < y.chr;
        if (x.start != y.start) return x.start < y.start;
        return x.end < y.end;
    });
    std::vector<locus> loci;
    for (const size_t k : order) {
        const result_interval& row = rows.intervals[k];
        if (!loci.empty() && loci.back().chr == row.chr && int64_t{row.start} - loci.back().end <= gap) {
            locus& current = loci.back();
            current.end = std::max(current.end, row.end);
            ++current.interval_count;
            if (length_key(row.genetic) > length_key(rows.intervals[current.peak].genetic)) current.peak = k;
            continue;
        }
        locus next;
        next.chr = row.chr;
        next.number = !loci.empty() && loci.back().chr == row.chr ? loci.back().number + 1 : 1;
        next.start = row.start;
        next.end = row.end;
        next.interval_count = 1;
        next.peak = k;
        loci.push_back(next);
    }
    rank_loci(rows, loci);
    return loci;
}

}  // namespace corvane
