// The legend read from the top, two of its rows split.
#include "input/legend/legend_span.hpp"

#include <string_view>

#include "common/field_split.hpp"
#include "common/line_reader.hpp"

namespace corvane {

namespace {

legend_position position_of(const field_list& fields) {
    return {legend_genetic_position(fields[2]), legend_physical_position(fields[3])};
}

}  // namespace

run_status read_legend_span(const std::string& path, int32_t first, int32_t last, int32_t snp_count,
                            legend_span& span) {
    line_reader reader;
    if (const run_status opened = open_legend(reader, path); opened != run_status::run_ok) return opened;
    std::string_view line;
    line_result got = read_line(reader, line);  // the header
    field_list first_fields, last_fields;
    int64_t first_line = 0, last_line = 0;
    int64_t row_count = 0;
    while (got == line_result::line) {
        got = read_line(reader, line);
        if (got != line_result::line) break;
        if (row_count == first) {
            split_line(first_fields, line);
            first_line = reader.line_number;
        }
        if (row_count == last) {
            split_line(last_fields, line);
            last_line = reader.line_number;
        }
        ++row_count;
    }
    if (got == line_result::read_error) return run_status::input_unreadable;

    run_status status = check_legend_row_count(path, row_count, snp_count);
    if (status == run_status::run_ok) status = check_legend_row(path, first_line, first_fields.size());
    if (status == run_status::run_ok) status = check_legend_row(path, last_line, last_fields.size());
    if (status == run_status::run_ok) span = {last_fields[0], position_of(first_fields), position_of(last_fields)};
    return status;
}

}  // namespace corvane
