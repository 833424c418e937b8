// Reads the legend once into a compact table.
#include "input/legend/legend_table.hpp"

#include <string_view>

#include "common/field_split.hpp"
#include "common/line_reader.hpp"

namespace corvane {

namespace {

run_status check_entry(const legend_table& table, int32_t snp) {
    const legend_entry& entry = table.entries[static_cast<size_t>(snp)];
    const run_status checked = check_legend_row(table.path, legend_line_of_snp(snp), entry.field_count);
    if (checked != run_status::run_ok || !entry.bp_too_large) return checked;
    return report_legend_bp_too_large(table.path, legend_line_of_snp(snp), table.bp_beyond_range.at(snp));
}

}  // namespace

run_status read_legend_table(const std::string& path, int32_t snp_count, legend_table& table) {
    table = legend_table{};
    table.path = path;
    line_reader reader;
    if (const run_status opened = open_legend(reader, path); opened != run_status::run_ok) return opened;
    std::string_view line;
    line_result got = read_line(reader, line);  // the header
    field_list fields;
    int64_t row_count = 0;
    while (got == line_result::line) {
        got = read_line(reader, line);
        if (got != line_result::line) break;
        if (row_count < snp_count) {
            split_line(fields, line);
            legend_entry entry;
            entry.field_count = static_cast<uint8_t>(fields.size() < 4 ? fields.size() : 4);
            if (fields.size() >= 4) {
                if (table.chr_names.empty() || table.chr_names.back() != fields[0]) table.chr_names.push_back(fields[0]);
                entry.chr = static_cast<uint32_t>(table.chr_names.size() - 1);
                entry.genetic = legend_genetic_position(fields[2]);
                if (!legend_physical_position(fields[3], entry.physical)) {
                    entry.bp_too_large = true;
                    table.bp_beyond_range.emplace(static_cast<int32_t>(row_count), fields[3]);
                }
            }
            table.entries.push_back(entry);
        }
        ++row_count;
    }
    if (got == line_result::read_error) return run_status::input_unreadable;
    note_longer_legend(path, row_count, snp_count);
    return check_legend_row_count(path, row_count, snp_count);
}

run_status legend_table_span(const legend_table& table, int32_t first, int32_t last, legend_span& span) {
    run_status status = check_entry(table, first);
    if (status == run_status::run_ok) status = check_entry(table, last);
    if (status != run_status::run_ok) return status;
    const legend_entry& start = table.entries[static_cast<size_t>(first)];
    const legend_entry& end = table.entries[static_cast<size_t>(last)];
    span = {table.chr_names[end.chr], {start.genetic, start.physical}, {end.genetic, end.physical}};
    return run_status::run_ok;
}

}  // namespace corvane
