// The legend read from the top, two of its rows split.
#include "input/legend/legend_span.hpp"

#include <string_view>

#include "common/field_split.hpp"
#include "common/line_reader.hpp"

namespace corvane {

namespace {

// The checks of one row a region uses, then its positions.
run_status take_row(const std::string& path, int64_t line_number, const field_list& fields, legend_position& position) {
    const run_status checked = check_legend_row(path, line_number, fields.size());
    if (checked != run_status::run_ok) return checked;
    if (!legend_physical_position(fields[3], position.physical)) {
        return report_legend_bp_too_large(path, line_number, fields[3]);
    }
    position.genetic = legend_genetic_position(fields[2]);
    return run_status::run_ok;
}

}  // namespace

run_status read_legend_span(const std::string& path, int32_t first, int32_t last, int32_t snp_count,
                            legend_span& span, bool note_longer) {
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
    if (note_longer) note_longer_legend(path, row_count, snp_count);
    legend_position start, end;
    if (status == run_status::run_ok) status = take_row(path, first_line, first_fields, start);
    if (status == run_status::run_ok) status = take_row(path, last_line, last_fields, end);
    if (status == run_status::run_ok) span = {last_fields[0], start, end};
    return status;
}

}  // namespace corvane
