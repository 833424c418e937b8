// Builds the (chromosome, bp) lookup of a legend and matches result rows against it.
#include "loci/legend_index.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/field_split.hpp"
#include "common/line_reader.hpp"
#include "common/message.hpp"
#include "report/legend_row.hpp"

namespace corvane {

namespace {

run_status mismatch(const result_rows& rows, const result_interval& row, const std::string& what) {
    print_message(message_kind::place, "%s: %s\n", row_location(rows, row).c_str(), what.c_str());
    return run_status::bad_input;
}

}  // namespace

run_status read_legend_index(const std::string& path, legend_index& legend) {
    legend = legend_index{};
    legend.path = path;
    line_reader reader;
    if (!open_line_reader(reader, path)) {
        print_message(message_kind::tool, "%s: cannot open: %s\n", path.c_str(), std::strerror(errno));
        return run_status::legend_missing;
    }
    std::string_view line;
    line_result got = read_line(reader, line);  // the header
    field_list fields;
    while (got == line_result::line && (got = read_line(reader, line)) == line_result::line) {
        split_line(fields, line);
        const run_status checked = check_legend_row(path, reader.line_number, fields.size());
        if (checked != run_status::run_ok) return checked;
        const auto [entry, added] = legend.chr_index.emplace(fields[0], static_cast<uint32_t>(legend.chr_index.size()));
        const int32_t snp = static_cast<int32_t>(legend.bp.size());
        legend.chr.push_back(entry->second);
        legend.bp.push_back(legend_physical_position(fields[3]));
        legend.sorted.emplace_back(entry->second, legend.bp.back(), snp);
    }
    if (got == line_result::read_error) return run_status::input_unreadable;
    std::sort(legend.sorted.begin(), legend.sorted.end());
    return run_status::run_ok;
}

bool legend_has_chromosome(const legend_index& legend, const std::string& chr) {
    return legend.chr_index.count(chr) != 0;
}

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
