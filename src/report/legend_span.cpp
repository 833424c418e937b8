// The plain legend lookup: the legend is read from the top for every region.
#include "report/legend_span.hpp"

#include <string_view>

#include "common/field_split.hpp"
#include "common/line_reader.hpp"
#include "report/legend_row.hpp"

namespace corvane {

namespace {

legend_position position_of(const field_list& fields) {
    return {legend_genetic_position(fields[2]), legend_physical_position(fields[3])};
}

}  // namespace

run_status lookup_legend_span(const std::string& path, region found, int32_t snp_count, region_row& row) {
    line_reader reader;
    if (const run_status opened = open_legend(reader, path); opened != run_status::run_ok) return opened;
    std::string_view line;
    line_result got = read_line(reader, line);  // the header
    field_list start_fields, end_fields;
    int64_t start_line = 0, end_line = 0;
    int64_t row_count = 0;
    while (got == line_result::line) {
        got = read_line(reader, line);
        if (got != line_result::line) break;
        if (row_count == found.start) {
            split_line(start_fields, line);
            start_line = reader.line_number;
        }
        if (row_count == found.end) {
            split_line(end_fields, line);
            end_line = reader.line_number;
        }
        ++row_count;
    }
    if (got == line_result::read_error) return run_status::input_unreadable;

    run_status status = check_legend_row_count(path, row_count, snp_count);
    if (status == run_status::run_ok) status = check_legend_row(path, start_line, start_fields.size());
    if (status == run_status::run_ok) status = check_legend_row(path, end_line, end_fields.size());
    if (status == run_status::run_ok) {
        row = region_row_between(end_fields[0], position_of(start_fields), position_of(end_fields), found);
    }
    return status;
}

}  // namespace corvane
