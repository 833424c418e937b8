// Builds the (chromosome, bp) lookup of a legend.
#include "input/legend/legend_index.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/field_split.hpp"
#include "common/line_reader.hpp"
#include "common/message.hpp"
#include "input/legend/legend_rows.hpp"

namespace corvane {

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
        int32_t bp = 0;
        if (!legend_physical_position(fields[3], bp)) return report_legend_bp_too_large(path, reader.line_number, fields[3]);
        const auto [entry, added] = legend.chr_index.emplace(fields[0], static_cast<uint32_t>(legend.chr_index.size()));
        const int32_t snp = static_cast<int32_t>(legend.bp.size());
        legend.chr.push_back(entry->second);
        legend.bp.push_back(bp);
        legend.sorted.emplace_back(entry->second, legend.bp.back(), snp);
    }
    if (got == line_result::read_error) return run_status::input_unreadable;
    std::sort(legend.sorted.begin(), legend.sorted.end());
    return run_status::run_ok;
}

bool legend_has_chromosome(const legend_index& legend, const std::string& chr) {
    return legend.chr_index.count(chr) != 0;
}

}  // namespace corvane
