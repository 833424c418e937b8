// Result table reading: the header, then six checked fields per row.
#include "loci/result_table.hpp"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

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
// numbers (hexadecimal, beyond float's range) are no scan's.
length_reading parse_genetic(std::string_view text, double& value) {
    for (const std::string_view special : {"inf", "-inf", "nan", "-nan"}) {
        if (text == special) {
            value = text.ends_with("inf") ? (text[0] == '-' ? -INFINITY : INFINITY) : NAN;
            return length_reading::scans_own;
        }
    }
    const std::string copy(text);
    if (copy.empty() || std::isspace(static_cast<unsigned char>(copy[0]))) return length_reading::not_a_number;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size()) return length_reading::not_a_number;
    if (errno == ERANGE || copy.find_first_not_of("0123456789.eE+-") != std::string::npos) {
        return length_reading::not_scans;
    }
    // Beyond float's range the scan would have written inf, or 0.
    const float narrowed = static_cast<float>(value);
    const bool in_range = std::fabs(value) <= FLT_MAX && (narrowed != 0.0f || value == 0.0);
    return in_range ? length_reading::scans_own : length_reading::not_scans;
}

run_status row_fault(const std::string& path, int64_t line, const std::string& what) {
    print_message(message_kind::place, "%s:%lld: %s\n", path.c_str(), static_cast<long long>(line), what.c_str());
    return run_status::bad_input;
}

run_status read_row(const std::string& path, int64_t line_number, std::string_view line, result_rows& rows) {
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
    row.genetic_text = std::string(fields[3]);
    const std::string chr(fields[0]);
    const auto [entry, added] = rows.chr_index.emplace(chr, static_cast<uint32_t>(rows.chr_names.size()));
    if (added) rows.chr_names.push_back(chr);
    row.chr = entry->second;
    row.file = static_cast<uint32_t>(rows.paths.size() - 1);
    row.line = line_number;
    rows.intervals.push_back(std::move(row));
    return run_status::run_ok;
}

}  // namespace

run_status read_result_table(const std::string& path, result_rows& rows) {
    line_reader reader;
    if (!open_line_reader(reader, path)) {
        print_message(message_kind::tool, "%s: cannot open: %s\n", path.c_str(), std::strerror(errno));
        return run_status::input_unreadable;
    }
    rows.paths.push_back(path);
    std::string_view line;
    line_result got = line_result::line;
    while ((got = read_line(reader, line)) == line_result::line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line == result_header) continue;
        if (reader.line_number == 1) {
            return row_fault(path, 1, "expected the result header line (tab-separated): chr startpos endpos "
                                      "genetic_dist physical_dist n.snp");
        }
        if (line.empty()) return row_fault(path, reader.line_number, "empty line");
        const run_status status = read_row(path, reader.line_number, line, rows);
        if (status != run_status::run_ok) return status;
    }
    if (got == line_result::read_error) return run_status::input_unreadable;
    if (reader.line_number == 0) {
        return row_fault(path, 1, "empty file; expected the result header line (tab-separated): chr startpos "
                                  "endpos genetic_dist physical_dist n.snp");
    }
    return run_status::run_ok;
}

std::string row_location(const result_rows& rows, const result_interval& row) {
    return rows.paths[row.file] + ":" + std::to_string(row.line);
}

}  // namespace corvane
