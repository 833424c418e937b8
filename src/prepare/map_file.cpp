// Reads a genetic map file in one of the common layouts and checks the rows of one chromosome.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "common/message.hpp"
#include "common/word_split.hpp"
#include "prepare/chromosome_name.hpp"
#include "prepare/genetic_map.hpp"
#include "prepare/text_input.hpp"

namespace corvane {

namespace {

// Where each layout keeps its columns.
struct layout_columns {
    size_t field_count;
    size_t chromosome;
    size_t bp;
    size_t cm;
    size_t rate;  // field_count when the layout has no rate column
    const char* name;
};

layout_columns columns_of(map_layout layout) {
    switch (layout) {
        case map_layout::plink: return {4, 0, 3, 2, 4, "PLINK (chr id cM bp)"};
        case map_layout::hapmap: return {4, 0, 1, 3, 2, "HapMap (Chromosome Position(bp) Rate(cM/Mb) Map(cM))"};
        default: return {3, 1, 0, 2, 3, "pos chr cM"};
    }
}

bool parse_integer(std::string_view text, int64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Any number from_chars takes, including "nan" and "inf"; finiteness is checked apart.
bool parse_number(std::string_view text, double& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}


// The layout a first line shows: three fields are "pos chr cM"; four fields are HapMap when the last
// one is no number (the "Map(cM)" header), PLINK otherwise.
bool detect_layout(const std::vector<std::string_view>& fields, map_layout& layout) {
    double number = 0.0;
    if (fields.size() == 3) layout = map_layout::pos_chr_cm;
    else if (fields.size() == 4) layout = parse_number(fields[3], number) ? map_layout::plink : map_layout::hapmap;
    else return false;
    return true;
}

struct map_reading {
    const std::string& path;
    int64_t line_number = 0;
    int64_t other_rows = 0;  // rows of other chromosomes

    bool fail(const char* what) const {
        print_message(message_kind::place, "%s:%lld: %s\n", path.c_str(), static_cast<long long>(line_number), what);
        return false;
    }
};

// Takes one data row of the chosen chromosome into `map`, checking it against the row before.
bool take_row(map_reading& reading, const std::vector<std::string_view>& fields, const layout_columns& columns,
              genetic_map& map) {
    int64_t bp = 0;
    double cm = 0.0;
    double rate = 0.0;
    if (!parse_integer(fields[columns.bp], bp)) return reading.fail("the bp position is not a whole number");
    if (bp < 0) return reading.fail("the bp position is negative");
    if (!parse_number(fields[columns.cm], cm)) return reading.fail("the cM position is not a number");
    if (!std::isfinite(cm)) return reading.fail("the cM position is not a finite number");
    if (columns.rate < columns.field_count) {
        if (!parse_number(fields[columns.rate], rate)) return reading.fail("the rate (cM/Mb) is not a number");
        if (!std::isfinite(rate)) return reading.fail("the rate (cM/Mb) is not a finite number");
    }
    if (!map.bp.empty()) {
        char message[200];
        if (bp == map.bp.back()) {
            std::snprintf(message, sizeof message, "position %lld is repeated; map positions must increase",
                          static_cast<long long>(bp));
            return reading.fail(message);
        }
        if (bp < map.bp.back()) {
            std::snprintf(message, sizeof message,
                          "position %lld comes after %lld; map rows must be in increasing position order",
                          static_cast<long long>(bp), static_cast<long long>(map.bp.back()));
            return reading.fail(message);
        }
        if (cm < map.cm.back()) {
            std::snprintf(message, sizeof message, "cM %g is below the %g of the row before; cM must not decrease",
                          cm, map.cm.back());
            return reading.fail(message);
        }
    }
    map.bp.push_back(bp);
    map.cm.push_back(cm);
    return true;
}

}  // namespace

run_status read_genetic_map(const std::string& path, map_layout layout, const std::string& chromosome, genetic_map& map) {
    map = genetic_map{};
    line_reader reader;
    if (open_text_input(reader, path, "genetic map") != run_status::run_ok) return run_status::bad_input;
    map_reading reading{path};
    const std::string_view wanted = without_chr_prefix(chromosome);
    std::vector<std::string_view> fields;
    std::string_view line;
    layout_columns columns{};
    bool first_line = true;
    for (;;) {
        const line_result result = read_line(reader, line);
        if (result == line_result::read_error) return run_status::bad_input;
        if (result == line_result::end_of_file) break;
        reading.line_number = reader.line_number;
        split_words(line, fields);
        if (fields.empty() || fields[0].starts_with('#')) continue;
        if (first_line) {
            first_line = false;
            if (layout == map_layout::automatic && !detect_layout(fields, layout)) {
                reading.fail("cannot tell the map layout: expected 3 columns (pos chr cM) or 4 (PLINK "
                                    "chr id cM bp, or HapMap with its header line)");
                return run_status::bad_input;
            }
            columns = columns_of(layout);
            int64_t bp = 0;
            // A first line without a position in the bp column is the header.
            if (fields.size() == columns.field_count && !parse_integer(fields[columns.bp], bp)) continue;
        }
        if (fields.size() != columns.field_count) {
            char message[200];
            std::snprintf(message, sizeof message, "expected %zu columns (%s), found %zu", columns.field_count,
                          columns.name, fields.size());
            reading.fail(message);
            return run_status::bad_input;
        }
        if (without_chr_prefix(fields[columns.chromosome]) != wanted) {
            ++reading.other_rows;
            continue;
        }
        if (!take_row(reading, fields, columns, map)) return run_status::bad_input;
    }
    if (map.bp.empty()) {
        print_message(message_kind::tool, "genetic map %s has no rows for chromosome %s (%lld rows of others)\n",
                      path.c_str(), chromosome.c_str(), static_cast<long long>(reading.other_rows));
        return run_status::bad_input;
    }
    if (map.cm.front() == map.cm.back()) {
        print_message(message_kind::tool,
                      "genetic map %s: all %zu rows for chromosome %s have the same cM (%g); such a map gives no "
                      "genetic distances\n",
                      path.c_str(), map.cm.size(), chromosome.c_str(), map.cm.front());
        return run_status::bad_input;
    }
    set_extrapolation_rates(map);
    return run_status::run_ok;
}

}  // namespace corvane
