// Matches result rows against a legend's (chromosome, bp) lookup.
#include "loci/row_windows.hpp"

#include <algorithm>
#include <string>

#include "common/message.hpp"

namespace corvane {

namespace {

run_status mismatch(const result_rows& rows, const result_interval& row, const std::string& what) {
    print_message(message_kind::place, "%s: %s\n", row_location(rows, row).c_str(), what.c_str());
    return run_status::bad_input;
}

}  // namespace

run_status find_row_window(const legend_index& legend, const result_rows& rows, const result_interval& row,
                           snp_window& window) {
    const std::string& chr = rows.chr_names[row.chr];
    const auto named = legend.chr_index.find(chr);
    if (named == legend.chr_index.end()) {
        return mismatch(rows, row, "chromosome " + chr + " is not in the legend " + legend.path);
    }
    const auto first = std::lower_bound(legend.sorted.begin(), legend.sorted.end(),
                                        std::make_tuple(named->second, row.start, int32_t{0}));
    if (first == legend.sorted.end() || std::get<0>(*first) != named->second || std::get<1>(*first) != row.start) {
        return mismatch(rows, row, "startpos " + std::to_string(row.start) + " is not a position of chromosome " + chr +
                                       " in the legend " + legend.path);
    }
    // Several SNPs may share a position: the row's start is the one whose n.snp-th SNP lies at endpos.
    int32_t lo = -1;
    for (auto at = first; at != legend.sorted.end() && std::get<0>(*at) == named->second &&
                          std::get<1>(*at) == row.start; ++at) {
        const int64_t hi = int64_t{std::get<2>(*at)} + row.snps - 1;
        if (hi < static_cast<int64_t>(legend.bp.size()) && legend.bp[static_cast<size_t>(hi)] == row.end &&
            legend.chr[static_cast<size_t>(hi)] == named->second) {
            lo = std::get<2>(*at);
            break;
        }
    }
    if (lo < 0) {
        return mismatch(rows, row, "no run of " + std::to_string(row.snps) + " legend rows from bp " +
                                       std::to_string(row.start) + " to bp " + std::to_string(row.end) +
                                       " of chromosome " + chr + " in the legend " + legend.path);
    }
    window = {lo, lo + row.snps - 1};
    return run_status::run_ok;
}

}  // namespace corvane
