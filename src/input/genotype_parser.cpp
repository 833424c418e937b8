// Hand-written allele scanner: one pass over large chunks, every token checked.
#include "input/genotype_parser.hpp"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "common/counted.hpp"
#include "common/field_split.hpp"
#include "common/line_reader.hpp"
#include "common/message.hpp"

namespace corvane {

namespace {

// The token as the user can read it: printable bytes as they are, others as \xNN, long ones cut.
std::string printable_token(std::string_view token) {
    constexpr size_t shown = 40;
    std::string text;
    for (size_t i = 0; i < token.size() && i < shown; ++i) {
        const unsigned char c = static_cast<unsigned char>(token[i]);
        if (c >= 0x20 && c < 0x7f) {
            text.push_back(static_cast<char>(c));
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        }
    }
    if (token.size() > shown) text += "...";
    return text;
}

// Alleles are separated by any C white space: blank, tab, vertical tab, form feed, CR (and LF, which
// never reaches a line).
bool is_separator(char c) { return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t'; }
// The separators of nearly every panel, all the loop over single-digit alleles tests for; any other
// white space takes the checked path.
bool is_blank_or_tab(char c) { return c == ' ' || c == '\t'; }

// Panels are nearly all single digits with a blank or tab after each: takes those two bytes at a
// time, while they last and the row has room, and leaves everything else to the checked path. The
// loop tests one bound per pair, and stays a small loop of its own wherever the code around it moves.
inline const char* take_single_digit_alleles(const char* p, const char* end, int32_t* cells, int64_t expected,
                                             int64_t& count) {
    const int64_t pairs = std::min<int64_t>(expected - count, (end - p) / 2);
    const char* const stop = p + 2 * pairs;
    int32_t* cell = cells + count;
    while (p < stop && static_cast<unsigned char>(p[0] - '0') < 10 && is_blank_or_tab(p[1])) {
        *cell++ = p[0] - '0';
        p += 2;
    }
    count = cell - cells;
    return p;
}

// "VCF" or "BCF" when the first line (decompressed, if the file was) starts as those files do: the
// file format line of a VCF, or the magic bytes of BCF 2.
const char* variant_file_format(std::string_view first_line) {
    if (first_line.starts_with("##fileformat=VCF")) return "VCF";
    if (first_line.starts_with(std::string_view("BCF\x02", 4))) return "BCF";
    return nullptr;
}

run_status report_line_error(const line_reader& reader, const char* what) {
    print_message(message_kind::place, "%s:%lld: %s\n", reader.path.c_str(), static_cast<long long>(reader.line_number), what);
    return run_status::genotype_malformed;
}

// Parses one line into `alleles` (sized S). Reports and returns genotype_malformed on any fault.
run_status parse_haplotype_line(const line_reader& reader, std::string_view line, std::vector<int32_t>& alleles) {
    const char* p = line.data();
    const char* end = p + line.size();
    if (end > p && end[-1] == '\r') --end;
    if (p == end) return report_line_error(reader, "empty line");

    const int64_t expected = static_cast<int64_t>(alleles.size());
    int32_t* const cells = alleles.data();
    int64_t count = 0;
    char message[160];
    for (;;) {
        p = take_single_digit_alleles(p, end, cells, expected, count);
        while (p < end && is_separator(*p)) ++p;
        if (p == end) break;
        const char* token = p;
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        const char* digits = p;
        uint64_t value = 0;
        constexpr uint64_t beyond_range = uint64_t{1} << 32;
        while (p < end && static_cast<unsigned char>(*p - '0') < 10) {
            if (value < beyond_range) value = value * 10 + static_cast<unsigned>(*p - '0');
            ++p;
        }
        const bool whole = p > digits && (p == end || is_separator(*p));
        while (p < end && !is_separator(*p)) ++p;
        const std::string_view text(token, static_cast<size_t>(p - token));
        if (!whole) {
            std::snprintf(message, sizeof message, "allele %lld is not an integer: \"%s\"",
                          static_cast<long long>(count + 1), printable_token(text).c_str());
            return report_line_error(reader, message);
        }
        const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
        if (value > limit) {
            std::snprintf(message, sizeof message, "allele %lld is outside the 32-bit integer range: \"%s\"",
                          static_cast<long long>(count + 1), printable_token(text).c_str());
            return report_line_error(reader, message);
        }
        if (count < expected) {
            cells[count] =
                negative ? static_cast<int32_t>(-static_cast<int64_t>(value)) : static_cast<int32_t>(value);
        }
        ++count;
    }
    if (count != expected) {
        std::snprintf(message, sizeof message, "expected %s, found %lld", counted(expected, "allele", "alleles").c_str(),
                      static_cast<long long>(count));
        return report_line_error(reader, message);
    }
    return run_status::run_ok;
}

}  // namespace

run_status parse_genotype_text(const std::string& path, const snp_count_sink& on_snp_count,
                               const haplotype_sink& on_haplotype) {
    line_reader reader;
    if (!open_line_reader(reader, path)) return run_status::genotype_missing;

    std::string_view line;
    line_result got = read_line(reader, line);
    if (got == line_result::read_error) return run_status::input_unreadable;
    if (got == line_result::end_of_file) {
        print_message(message_kind::place, "%s:1: empty file: no haplotypes\n", path.c_str());
        return run_status::genotype_malformed;
    }

    if (const char* format = variant_file_format(line)) {
        print_message(message_kind::place,
                      "%s: a %s file, not a genotype file; convert it first with corvane-prepare --vcf %s --chr NAME "
                      "--map MAP --out PREFIX, which writes PREFIX.hapbits and PREFIX.legend\n",
                      path.c_str(), format, path.c_str());
        return run_status::genotype_malformed;
    }
    std::vector<int32_t> alleles;
    {
        field_list fields;
        split_line(fields, line);
        alleles.resize(fields.size());
    }
    run_status status = on_snp_count(static_cast<int32_t>(alleles.size()));
    if (status != run_status::run_ok) return status;

    while (got == line_result::line) {
        status = parse_haplotype_line(reader, line, alleles);
        if (status != run_status::run_ok) return status;
        status = on_haplotype(alleles);
        if (status != run_status::run_ok) return status;
        got = read_line(reader, line);
    }
    return got == line_result::read_error ? run_status::input_unreadable : run_status::run_ok;
}

}  // namespace corvane
