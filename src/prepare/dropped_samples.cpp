// Ranks a panel's samples by the calls that had its sites skipped, and says which stand out.
#include "prepare/dropped_samples.hpp"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "common/message.hpp"

namespace corvane {

namespace {

int64_t sites_of(const site_counts& counts) {
    return std::accumulate(counts.skipped.begin(), counts.skipped.end(), counts.kept + counts.below_min_maf);
}

void report_one_rule(const bcf_hdr_t* header, const panel_target& target, const site_counts& counts,
                     bad_site_kind kind, const std::vector<int64_t>& calls, const std::string& populations_path) {
    const int64_t dropped = counts.skipped[static_cast<int>(kind)];
    const int64_t sites = sites_of(counts);
    if (sites == 0 || static_cast<double>(dropped) <= notable_drop_share * static_cast<double>(sites)) return;
    std::vector<size_t> order(calls.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return calls[a] > calls[b]; });
    constexpr size_t named_at_most = 5;
    std::string named;
    for (size_t i = 0; i < order.size() && i < named_at_most && calls[order[i]] > 0; ++i) {
        named += (i > 0 ? ", " : "") + std::string(header->samples[target.samples[order[i]]]) + " " +
                 std::to_string(calls[order[i]]);
    }
    const bool missing = kind == bad_site_kind::missing;
    const std::string panel = target.name.empty() ? "" : target.name + ": ";
    const std::string how = populations_path.empty() ? "give --samples FILE with the samples to keep"
                                                     : "take them out of " + populations_path;
    print_message(message_kind::note,
                  "%s%lld of %lld sites (%.1f%%) were skipped for %s genotype; the samples with most %s calls there: "
                  "%s; to leave them out, %s\n",
                  panel.c_str(), static_cast<long long>(dropped), static_cast<long long>(sites),
                  100.0 * static_cast<double>(dropped) / static_cast<double>(sites),
                  missing ? "a missing" : "an unphased", missing ? "missing" : "unphased", named.c_str(), how.c_str());
}

}  // namespace

std::vector<sample_faulty_calls> faulty_calls_by_sample(const bcf_hdr_t* header, const panel_target& target,
                                                        const panel_result& panel) {
    std::vector<sample_faulty_calls> calls;
    for (size_t i = 0; i < target.samples.size(); ++i) {
        calls.push_back({header->samples[target.samples[i]], panel.missing_calls[i], panel.unphased_calls[i]});
    }
    return calls;
}

void report_samples_behind_drops(const bcf_hdr_t* header, const panel_target& target, const panel_result& panel,
                                 const std::string& populations_path) {
    report_one_rule(header, target, panel.counts, bad_site_kind::missing, panel.missing_calls, populations_path);
    report_one_rule(header, target, panel.counts, bad_site_kind::unphased, panel.unphased_calls, populations_path);
}

}  // namespace corvane
