// Picks chosen rows out of a legend, with the columns its header names as the alleles.
#include "input/legend/legend_alleles.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "common/field_split.hpp"
#include "common/line_reader.hpp"
#include "common/message.hpp"
#include "input/legend/legend_rows.hpp"

namespace corvane {

namespace {

constexpr size_t no_column = SIZE_MAX;

// The column of the header named one of `names` (compared in lower case), else `otherwise`.
size_t column_named(const field_list& header, std::initializer_list<std::string_view> names, size_t otherwise) {
    for (size_t k = 0; k < header.size(); ++k) {
        std::string name = header[k];
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        if (std::find(names.begin(), names.end(), name) != names.end()) return k;
    }
    return otherwise;
}

}  // namespace

run_status read_legend_snp_texts(const std::string& path, const std::vector<int32_t>& snps,
                                 std::vector<legend_snp_texts>& texts) {
    texts.assign(snps.size(), legend_snp_texts{});
    line_reader reader;
    if (!open_line_reader(reader, path)) {
        print_message(message_kind::tool, "%s: cannot open: %s\n", path.c_str(), std::strerror(errno));
        return run_status::legend_missing;
    }
    std::string_view line;
    line_result got = read_line(reader, line);
    field_list fields;
    if (got == line_result::line) split_line(fields, line);
    const bool wide = fields.size() >= 6;
    const size_t ref_column = column_named(fields, {"ref", "a0", "allele0"}, wide ? 4 : no_column);
    const size_t alt_column = column_named(fields, {"alt", "a1", "allele1"}, wide ? 5 : no_column);
    size_t next = 0;
    int32_t snp = -1;
    while (next < snps.size() && got == line_result::line && (got = read_line(reader, line)) == line_result::line) {
        if (++snp < snps[next]) continue;
        split_line(fields, line);
        const run_status checked = check_legend_row(path, reader.line_number, fields.size());
        if (checked != run_status::run_ok) return checked;
        legend_snp_texts& row = texts[next];
        row.id = fields[1];
        row.cm = fields[2];
        if (!legend_physical_position(fields[3], row.bp)) {
            return report_legend_bp_too_large(path, reader.line_number, fields[3]);
        }
        if (ref_column < fields.size()) row.ref = fields[ref_column];
        if (alt_column < fields.size()) row.alt = fields[alt_column];
        // A SNP named twice takes the same row.
        while (++next < snps.size() && snps[next] == snp) texts[next] = row;
    }
    if (got == line_result::read_error) return run_status::input_unreadable;
    if (next < snps.size()) return check_legend_row_count(path, snp + 1, snps[next] + 1);
    return run_status::run_ok;
}

}  // namespace corvane
