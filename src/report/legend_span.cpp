// The plain legend lookup: the legend is read from the top for every region.
#include "report/legend_span.hpp"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "input/line_reader.hpp"

namespace corvane {

run_status open_legend(line_reader& reader, const std::string& path) {
    if (open_line_reader(reader, path)) return run_status::run_ok;
    std::printf("Input legend file not found: %s\n", path.c_str());
    std::fflush(stdout);
    return run_status::legend_missing;
}

float legend_genetic_position(const std::string& field) {
    const double value = std::atof(field.c_str());
    // Beyond float's range the conversion is undefined; such positions are infinite.
    if (value > FLT_MAX) return INFINITY;
    if (value < -FLT_MAX) return -INFINITY;
    return static_cast<float>(value);
}

int32_t legend_physical_position(const std::string& field) {
    // atoi without its undefined behaviour out of range: strtol, then the low 32 bits.
    return static_cast<int32_t>(std::strtol(field.c_str(), nullptr, 10));
}

run_status check_legend_row(const std::string& path, int64_t line_number, const field_list& fields) {
    if (fields.size() >= 4) return run_status::run_ok;
    std::fprintf(stderr, "%s:%lld: expected at least 4 fields (chr, id, cM, bp), found %zu\n", path.c_str(),
                 static_cast<long long>(line_number), fields.size());
    return run_status::legend_row_short;
}

run_status check_legend_row_count(const std::string& path, int64_t row_count, int32_t snp_count) {
    if (row_count >= snp_count) return run_status::run_ok;
    std::fprintf(stderr, "corvane: %s: %lld SNP rows after the header, but the genotype table has %d SNPs\n",
                 path.c_str(), static_cast<long long>(row_count), snp_count);
    return run_status::legend_too_short;
}

region_row make_region_row(const field_list& start_fields, const field_list& end_fields, region found) {
    region_row row;
    row.chr = end_fields[0];
    row.startpos = legend_physical_position(start_fields[3]);
    row.endpos = legend_physical_position(end_fields[3]);
    row.genetic_dist = legend_genetic_position(end_fields[2]) - legend_genetic_position(start_fields[2]);
    // Positions are 32-bit; their difference wraps like the 32-bit subtraction it stands for.
    row.physical_dist = static_cast<int32_t>(static_cast<uint32_t>(row.endpos) - static_cast<uint32_t>(row.startpos));
    row.n_snp = found.end - found.start + 1;
    return row;
}

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
    if (status == run_status::run_ok) status = check_legend_row(path, start_line, start_fields);
    if (status == run_status::run_ok) status = check_legend_row(path, end_line, end_fields);
    if (status == run_status::run_ok) row = make_region_row(start_fields, end_fields, found);
    return status;
}

}  // namespace corvane
