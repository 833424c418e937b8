// Legend row conversions and checks, for every legend reader.
#include "input/legend/legend_rows.hpp"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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

int32_t legend_physical_position(const std::string& field) {
    // atoi without its undefined behaviour out of range: strtol, then the low 32 bits.
    return static_cast<int32_t>(std::strtol(field.c_str(), nullptr, 10));
}

run_status check_legend_row(const std::string& path, int64_t line_number, size_t field_count) {
    if (field_count >= 4) return run_status::run_ok;
    print_message(message_kind::place, "%s:%lld: expected at least 4 fields (chr, id, cM, bp), found %zu\n",
                  path.c_str(), static_cast<long long>(line_number), field_count);
    return run_status::legend_row_short;
}

run_status check_legend_row_count(const std::string& path, int64_t row_count, int32_t snp_count) {
    if (row_count >= snp_count) return run_status::run_ok;
    print_message(message_kind::tool, "%s: %lld SNP rows after the header, but the genotype table has %d SNPs\n",
                  path.c_str(), static_cast<long long>(row_count), snp_count);
    return run_status::legend_too_short;
}

}  // namespace corvane
