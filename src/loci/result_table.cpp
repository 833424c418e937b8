// Result table reading: the header, then six checked fields per row, parsed without copies.
#include "loci/result_table.hpp"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/line_reader.hpp"
#include "common/message.hpp"

namespace corvane {

namespace {

constexpr int field_count = 6;
const char* const field_names[field_count] = {"chr", "startpos", "endpos", "genetic_dist", "physical_dist", "n.snp"};

// The tab-separated fields of `line`; false when there are not exactly `field_count`.
bool split_tabs(std::string_view line, std::string_view (&fields)[field_count], int& found) {
    found = 0;
    size_t from = 0;
    for (;;) {
        const size_t tab = line.find('\t', from);
        const std::string_view field = line.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from);
        if (found < field_count) fields[found] = field;
        ++found;
        if (tab == std::string_view::npos) break;
        from = tab + 1;
    }
    return found == field_count;
}

enum class count_reading { whole, beyond_range, not_whole };

// A whole decimal integer in [0, 2^31 - 1]: the range of positions and counts corvane writes.
count_reading parse_count(std::string_view text, int32_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return count_reading::not_whole;
    if (text.size() > 10) return count_reading::beyond_range;
    int64_t total = 0;
    for (const char c : text) total = total * 10 + (c - '0');
    if (total > INT32_MAX) return count_reading::beyond_range;
    value = static_cast<int32_t>(total);
    return count_reading::whole;
}

enum class length_reading { scans_own, not_scans, not_a_number };

// A genetic length as the scan writes it: printf's %g of a single-precision float, so decimal
// digits with an optional exponent, within float's range, or inf, -inf, nan (also -nan). Other
// numbers (hexadecimal, beyond float's range) are no scan's. from_chars reads the common spellings
// without a copy (a null of many replicates is millions of rows); strtod the rest it also takes.
length_reading parse_genetic(std::string_view text, double& value) {
    for (const std::string_view special : {"inf", "-inf", "nan", "-nan"}) {
        if (text == special) {
            value = text.ends_with("inf") ? (text[0] == '-' ? -INFINITY : INFINITY) : NAN;
            return length_reading::scans_own;
        }
    }
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return length_reading::not_a_number;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || stop != text.data() + text.size()) {
        const std::string copy(text);
        char* end = nullptr;
        errno = 0;
        value = std::strtod(copy.c_str(), &end);
        if (end != copy.c_str() + copy.size()) return length_reading::not_a_number;
        if (errno == ERANGE) return length_reading::not_scans;
    }
    if (text.find_first_not_of("0123456789.eE+-") != std::string_view::npos) return length_reading::not_scans;
    // Beyond float's range the scan would have written inf, or 0.
    const float narrowed = static_cast<float>(value);
    const bool in_range = std::fabs(value) <= FLT_MAX && (narrowed != 0.0f || value == 0.0);
    return in_range ? length_reading::scans_own : length_reading::not_scans;
}

run_status row_fault(const std::string& path, int64_t line, const std::string& what) {
    print_message(message_kind::place, "%s:%lld: %s\n", path.c_str(), static_cast<long long>(line), what.c_str());
    return run_status::bad_input;
}

// The index of chromosome `name`, added when new; the table's runs grow when it differs from the
// row before.
uint32_t chromosome_of(std::string_view name, int64_t line_number, result_rows& rows, table_read& table) {
    if (!table.runs.empty() && rows.chr_names[table.runs.back().chr] == name) return table.runs.back().chr;
    const auto [entry, added] = rows.chr_index.emplace(std::string(name), static_cast<uint32_t>(rows.chr_names.size()));
    if (added) rows.chr_names.emplace_back(name);
    table.runs.push_back({entry->second, line_number});
    return entry->second;
}

run_status read_row(const std::string& path, int64_t line_number, std::string_view line, result_rows& rows,
                    table_read& table) {
    std::string_view fields[field_count];
    int found = 0;
    if (!split_tabs(line, fields, found)) {
        return row_fault(path, line_number,
                         "expected 6 tab-separated fields, found " + std::to_string(found));
    }
    if (fields[0].empty()) return row_fault(path, line_number, "empty chromosome name");
    int32_t numbers[field_count] = {};
    for (const int k : {1, 2, 4, 5}) {
        const count_reading read = parse_count(fields[k], numbers[k]);
        if (read == count_reading::not_whole) {
            return row_fault(path, line_number, std::string(field_names[k]) + " is not a whole number: \"" +
                                                    std::string(fields[k]) + "\"");
        }
        if (read == count_reading::beyond_range) {
            return row_fault(path, line_number, std::string(field_names[k]) + " " + std::string(fields[k]) +
                                                    " is beyond 2147483647, the largest value corvane writes there "
                                                    "(positions are signed 32-bit)");
        }
    }
    result_interval row;
    row.start = numbers[1];
    row.end = numbers[2];
    row.snps = numbers[5];
    if (row.end < row.start) {
        return row_fault(path, line_number, "endpos " + std::to_string(row.end) + " is before startpos " +
                                                std::to_string(row.start));
    }
    if (numbers[4] != row.end - row.start) {
        return row_fault(path, line_number, "physical_dist " + std::to_string(numbers[4]) + " is not endpos - startpos");
    }
    if (row.snps < 2) return row_fault(path, line_number, "n.snp is below 2; corvane intervals hold at least 2 SNPs");
    const length_reading length = parse_genetic(fields[3], row.genetic);
    if (length == length_reading::not_a_number) {
        return row_fault(path, line_number, "genetic_dist is not a number: \"" + std::string(fields[3]) + "\"");
    }
    if (length == length_reading::not_scans) {
        return row_fault(path, line_number, "genetic_dist " + std::string(fields[3]) +
                                                " is no length corvane writes (it writes decimal numbers within "
                                                "single precision, inf, -inf or nan); is this table a corvane scan's?");
    }
    row.chr = chromosome_of(fields[0], line_number, rows, table);
    rows.intervals.push_back(row);
    if (rows.keep_origins) {
        rows.lines.push_back(line_number);
        rows.texts.append(fields[3]);
        rows.text_ends.push_back(rows.texts.size());
    }
    return run_status::run_ok;
}

}  // namespace

run_status read_result_table(const std::string& path, result_rows& rows) {
    line_reader reader;
    if (!open_line_reader(reader, path)) {
        print_message(message_kind::tool, "%s: cannot open: %s\n", path.c_str(), std::strerror(errno));
        return run_status::input_unreadable;
    }
    rows.tables.push_back({path, rows.intervals.size(), {}});
    table_read& table = rows.tables.back();
    std::string_view line;
    line_result got = line_result::line;
    run_status status = run_status::run_ok;
    while (status == run_status::run_ok && (got = read_line(reader, line)) == line_result::line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line == result_header) continue;
        if (reader.line_number == 1) {
            status = row_fault(path, 1, "expected the result header line (tab-separated): chr startpos endpos "
                                        "genetic_dist physical_dist n.snp");
        } else if (line.empty()) {
            status = row_fault(path, reader.line_number, "empty line");
        } else {
            status = read_row(path, reader.line_number, line, rows, table);
        }
    }
    table.row_end = rows.intervals.size();
    if (status != run_status::run_ok) return status;
    if (got == line_result::read_error) return run_status::input_unreadable;
    if (reader.line_number == 0) {
        return row_fault(path, 1, "empty file; expected the result header line (tab-separated): chr startpos "
                                  "endpos genetic_dist physical_dist n.snp");
    }
    return run_status::run_ok;
}

size_t table_of_row(const result_rows& rows, size_t row) {
    const auto after = std::upper_bound(rows.tables.begin(), rows.tables.end(), row,
                                        [](size_t k, const table_read& table) { return k < table.row_end; });
    return static_cast<size_t>(after - rows.tables.begin());
}

std::string row_location(const result_rows& rows, size_t row) {
    return rows.tables[table_of_row(rows, row)].path + ":" + std::to_string(rows.lines[row]);
}

std::string_view genetic_text(const result_rows& rows, size_t row) {
    const uint64_t begin = row == 0 ? 0 : rows.text_ends[row - 1];
    return std::string_view(rows.texts).substr(begin, rows.text_ends[row] - begin);
}

}  // namespace corvane
