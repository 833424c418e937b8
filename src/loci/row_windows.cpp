// Matches result rows against a legend's (chromosome, bp) lookup.
#include "loci/row_windows.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "common/message.hpp"

namespace corvane {

namespace {

run_status mismatch(const result_rows& rows, size_t row, const std::string& what) {
    print_message(message_kind::place, "%s: %s\n", row_location(rows, row).c_str(), what.c_str());
    return run_status::bad_input;
}

// The legend's runs of SNPs that row `row_index` may name, first to last, handed to `visit` until it
// returns true; how many it was handed. -1 when the chromosome or startpos is not in the legend.
template <typename visitor>
int32_t visit_row_windows(const legend_index& legend, const result_rows& rows, size_t row_index, visitor&& visit) {
    const result_interval& row = rows.intervals[row_index];
    const auto named = legend.chr_index.find(rows.chr_names[row.chr]);
    if (named == legend.chr_index.end()) return -1;
    const auto first = std::lower_bound(legend.sorted.begin(), legend.sorted.end(),
                                        std::make_tuple(named->second, row.start, int32_t{0}));
    if (first == legend.sorted.end() || std::get<0>(*first) != named->second || std::get<1>(*first) != row.start) {
        return -1;
    }
    // Several SNPs may share a position: a run starts at one of them and has its n.snp-th SNP at endpos.
    int32_t visited = 0;
    for (auto at = first; at != legend.sorted.end() && std::get<0>(*at) == named->second &&
                          std::get<1>(*at) == row.start; ++at) {
        const int64_t hi = int64_t{std::get<2>(*at)} + row.snps - 1;
        if (hi >= static_cast<int64_t>(legend.bp.size()) || legend.bp[static_cast<size_t>(hi)] != row.end ||
            legend.chr[static_cast<size_t>(hi)] != named->second) {
            continue;
        }
        ++visited;
        if (visit(snp_window{std::get<2>(*at), static_cast<int32_t>(hi)})) break;
    }
    return visited;
}

}  // namespace

run_status find_row_window(const legend_index& legend, const result_rows& rows, size_t row_index, snp_window& window) {
    const int32_t found = visit_row_windows(legend, rows, row_index, [&](snp_window run) {
        window = run;
        return true;
    });
    if (found > 0) return run_status::run_ok;
    const result_interval& row = rows.intervals[row_index];
    const std::string& chr = rows.chr_names[row.chr];
    if (legend.chr_index.find(chr) == legend.chr_index.end()) {
        return mismatch(rows, row_index, "chromosome " + chr + " is not in the legend " + legend.path);
    }
    if (found < 0) {
        return mismatch(rows, row_index, "startpos " + std::to_string(row.start) + " is not a position of chromosome " + chr +
                                       " in the legend " + legend.path);
    }
    return mismatch(rows, row_index, "no run of " + std::to_string(row.snps) + " legend rows from bp " +
                                   std::to_string(row.start) + " to bp " + std::to_string(row.end) + " of chromosome " +
                                   chr + " in the legend " + legend.path);
}

std::vector<snp_window> all_row_windows(const legend_index& legend, const result_rows& rows, size_t row_index) {
    std::vector<snp_window> windows;
    visit_row_windows(legend, rows, row_index, [&](snp_window run) {
        windows.push_back(run);
        return false;
    });
    return windows;
}

}  // namespace corvane
