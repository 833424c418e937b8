// Tail counts per frequency, their sum of logs, p-values against the null's own sums, BH q-values.
#include "loci/combined_statistic.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace corvane {

namespace {

// Per locus and frequency the length key of its longest interval; -inf when it has none there.
std::vector<double> longest_lengths(const cell_loci& loci, const result_rows& rows) {
    std::vector<double> lengths(loci.longest.size(), -std::numeric_limits<double>::infinity());
    for (size_t k = 0; k < loci.longest.size(); ++k) {
        if (loci.longest[k] != no_interval) lengths[k] = length_key(rows.intervals[loci.longest[k]].genetic);
    }
    return lengths;
}

// Per frequency the reference loci's lengths, increasing.
std::vector<std::vector<double>> sorted_by_frequency(const std::vector<double>& lengths, size_t frequency_count) {
    std::vector<std::vector<double>> sorted(frequency_count);
    for (size_t frequency = 0; frequency < frequency_count; ++frequency) {
        for (size_t k = frequency; k < lengths.size(); k += frequency_count) sorted[frequency].push_back(lengths[k]);
        std::sort(sorted[frequency].begin(), sorted[frequency].end());
    }
    return sorted;
}

// c = the reference loci whose length is at least `length`, plus one for the locus itself unless it
// is one of them (`in_reference`).
std::vector<int64_t> tail_counts(const std::vector<std::vector<double>>& reference, const std::vector<double>& lengths,
                                 bool in_reference) {
    const size_t frequency_count = reference.size();
    std::vector<int64_t> counts(lengths.size());
    for (size_t k = 0; k < lengths.size(); ++k) {
        const std::vector<double>& sorted = reference[k % frequency_count];
        const auto shorter = std::lower_bound(sorted.begin(), sorted.end(), lengths[k]) - sorted.begin();
        counts[k] = static_cast<int64_t>(sorted.size()) - shorter + (in_reference ? 0 : 1);
    }
    return counts;
}

// T = sum over the frequencies, in increasing order, of -ln(c / (n + 1)).
std::vector<double> sums_of_logs(const std::vector<int64_t>& counts, size_t frequency_count, size_t reference_count) {
    std::vector<double> statistics(counts.size() / frequency_count, 0.0);
    const double denominator = static_cast<double>(reference_count + 1);
    for (size_t k = 0; k < counts.size(); ++k) {
        statistics[k / frequency_count] += -std::log(static_cast<double>(counts[k]) / denominator);
    }
    return statistics;
}

// (1 + k) / (1 + n), k the null loci whose statistic is at least the observed one (within the tolerance).
std::vector<double> p_values(const std::vector<double>& statistics, std::vector<double> null_statistics) {
    std::sort(null_statistics.begin(), null_statistics.end());
    const double null_count = static_cast<double>(null_statistics.size());
    std::vector<double> p;
    for (const double statistic : statistics) {
        const auto below = std::lower_bound(null_statistics.begin(), null_statistics.end(),
                                            statistic - statistic_tie_tolerance) - null_statistics.begin();
        p.push_back((1.0 + null_count - static_cast<double>(below)) / (1.0 + null_count));
    }
    return p;
}

// Benjamini-Hochberg: with the m p-values ascending, q_(j) = min over l >= j of p_(l) m / l, at most 1.
std::vector<double> q_values(const std::vector<double>& p) {
    std::vector<size_t> order(p.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return p[a] < p[b]; });
    const double m = static_cast<double>(p.size());
    std::vector<double> q(p.size());
    double running = 1.0;
    for (size_t rank = p.size(); rank >= 1; --rank) {
        const size_t k = order[rank - 1];
        running = std::min(running, p[k] * m / static_cast<double>(rank));
        q[k] = running;
    }
    return q;
}

void rank_by_statistic(const std::vector<double>& statistics, std::vector<locus>& loci) {
    std::vector<double> sorted = statistics;
    std::sort(sorted.begin(), sorted.end());
    const double total = static_cast<double>(loci.size());
    for (size_t k = 0; k < loci.size(); ++k) {
        const auto not_above =
            std::upper_bound(sorted.begin(), sorted.end(), statistics[k] + statistic_tie_tolerance) - sorted.begin();
        loci[k].rank = static_cast<int32_t>(sorted.size() - static_cast<size_t>(not_above)) + 1;
        loci[k].percentile = static_cast<double>(not_above) / total;
    }
}

}  // namespace

locus_statistics score_loci(cell_loci& observed, const result_rows& observed_rows, const cell_loci* null,
                            const result_rows* null_rows) {
    const size_t frequency_count = observed.frequencies.size();
    const std::vector<double> lengths = longest_lengths(observed, observed_rows);
    locus_statistics scored;
    std::vector<int64_t> counts;
    if (null != nullptr) {
        const std::vector<double> null_lengths = longest_lengths(*null, *null_rows);
        const auto reference = sorted_by_frequency(null_lengths, frequency_count);
        counts = tail_counts(reference, lengths, false);
        scored.statistic = sums_of_logs(counts, frequency_count, null->loci.size());
        const std::vector<double> null_statistics =
            sums_of_logs(tail_counts(reference, null_lengths, true), frequency_count, null->loci.size());
        scored.p_value = p_values(scored.statistic, null_statistics);
        scored.q_value = q_values(scored.p_value);
    } else {
        counts = tail_counts(sorted_by_frequency(lengths, frequency_count), lengths, true);
        scored.statistic = sums_of_logs(counts, frequency_count, observed.loci.size());
    }
    for (size_t k = 0; k < observed.loci.size(); ++k) {
        uint32_t peak = 0, highest = 0;
        bool any = false;
        for (uint32_t frequency = 0; frequency < frequency_count; ++frequency) {
            if (observed.longest_at(k, frequency) == no_interval) continue;
            // The smallest tail count; a later (higher) frequency wins ties.
            if (!any || counts[k * frequency_count + frequency] <= counts[k * frequency_count + peak]) peak = frequency;
            highest = frequency;
            any = true;
        }
        scored.peak_frequency.push_back(peak);
        scored.highest_frequency.push_back(highest);
        observed.loci[k].peak = observed.longest_at(k, peak);
    }
    rank_by_statistic(scored.statistic, observed.loci);
    return scored;
}

}  // namespace corvane
