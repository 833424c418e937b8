// Legend row conversions and checks, for every legend reader.
#include "input/legend/legend_rows.hpp"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/counted.hpp"
#include "common/line_reader.hpp"
#include "common/message.hpp"

namespace corvane {

run_status open_legend(line_reader& reader, const std::string& path) {
    if (open_line_reader(reader, path)) return run_status::run_ok;
    print_message(message_kind::notice, "Input legend file not found: %s\n", path.c_str());
    std::fflush(stdout);
    return run_status::legend_missing;
}

float legend_genetic_position(const std::string& field) {
    const double value = std::atof(field.c_str());
    // Narrowed as a C cast rounds to nearest: up to half a unit in the last place above FLT_MAX
    // rounds down to FLT_MAX, from there on to infinity. Spelled out, because the cast itself is
    // undefined outside float's range.
    constexpr double rounds_to_infinity = 0x1.ffffffp127;  // FLT_MAX + half its last place
    if (std::fabs(value) >= rounds_to_infinity) return std::signbit(value) ? -INFINITY : INFINITY;
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

bool legend_physical_position(const std::string& field, int32_t& physical) {
    // atoi without its undefined behaviour out of range: strtol, whose value (or ERANGE) shows it.
    errno = 0;
    const long value = std::strtol(field.c_str(), nullptr, 10);
    if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return false;
    physical = static_cast<int32_t>(value);
    return true;
}

run_status check_legend_row(const std::string& path, int64_t line_number, size_t field_count) {
    if (field_count >= 4) return run_status::run_ok;
    print_message(message_kind::place, "%s:%lld: expected at least 4 fields (chr, id, cM, bp), found %zu\n",
                  path.c_str(), static_cast<long long>(line_number), field_count);
    return run_status::legend_row_short;
}

run_status report_legend_bp_too_large(const std::string& path, int64_t line_number, const std::string& field) {
    // The number as atoi reads it: white space, a sign, the digits.
    size_t start = 0;
    while (start < field.size() && std::isspace(static_cast<unsigned char>(field[start]))) ++start;
    size_t end = start;
    if (end < field.size() && (field[end] == '-' || field[end] == '+')) ++end;
    while (end < field.size() && std::isdigit(static_cast<unsigned char>(field[end]))) ++end;
    const std::string number = field.substr(start, end - start);
    print_message(message_kind::place,
                  "%s:%lld: bp %.40s%s is beyond the signed 32-bit range of positions corvane handles (-2147483648 to "
                  "2147483647)\n",
                  path.c_str(), static_cast<long long>(line_number), number.c_str(), number.size() > 40 ? "..." : "");
    return run_status::legend_bp_too_large;
}

run_status check_legend_row_count(const std::string& path, int64_t row_count, int32_t snp_count) {
    if (row_count >= snp_count) return run_status::run_ok;
    print_message(message_kind::tool, "%s: %s after the header, but the genotype table has %s\n", path.c_str(),
                  counted(row_count, "SNP row", "SNP rows").c_str(), counted(snp_count, "SNP", "SNPs").c_str());
    return run_status::legend_too_short;
}

void note_longer_legend(const std::string& path, int64_t row_count, int32_t snp_count) {
    if (row_count <= snp_count) return;
    print_message(message_kind::tool,
                  "%s: %s after the header, but the genotype table has %s; the last %s not used: check that the "
                  "legend belongs to this panel\n",
                  path.c_str(), counted(row_count, "SNP row", "SNP rows").c_str(), counted(snp_count, "SNP", "SNPs").c_str(),
                  row_count - snp_count == 1 ? "row is" : (std::to_string(row_count - snp_count) + " rows are").c_str());
}

}  // namespace corvane
