// Reads a genetic map file in one of the common layouts and checks the rows of one chromosome.
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "common/counted.hpp"
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
    size_t chromosome;  // field_count when the layout has no chromosome column (a map of one chromosome)
    size_t bp;
    size_t cm;
    size_t rate;  // field_count when the layout has no rate column
    const char* name;
};

layout_columns columns_of(map_layout layout) {
    switch (layout) {
        case map_layout::plink: return {4, 0, 3, 2, 4, "PLINK (chr id cM bp)"};
        case map_layout::hapmap: return {4, 0, 1, 3, 2, "HapMap (Chromosome Position(bp) Rate(cM/Mb) Map(cM))"};
        case map_layout::shapeit: return {3, 3, 0, 2, 1, "SHAPEIT/IMPUTE (position rate cM)"};
        default: return {3, 1, 0, 2, 3, "pos chr cM"};
    }
}

constexpr const char* layout_choice = "--map-layout pos-chr-cm, shapeit, plink or hapmap";

bool parse_integer(std::string_view text, int64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Any number from_chars takes, including "nan" and "inf"; finiteness is checked apart.
bool parse_number(std::string_view text, double& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}


bool names_a_rate(std::string_view header_field) {
    std::string lower(header_field);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("rate") != std::string::npos;
}

// The layout a first line shows: three fields are "pos chr cM", or SHAPEIT/IMPUTE's "position
// COMBINED_rate(cM/Mb) Genetic_Map(cM)" when the header's second column names a rate; four fields
// are HapMap when the last one is no number (the "Map(cM)" header), PLINK otherwise.
bool detect_layout(const std::vector<std::string_view>& fields, map_layout& layout) {
    double number = 0.0;
    if (fields.size() == 3) {
        const bool header = !parse_number(fields[0], number);
        layout = header && names_a_rate(fields[1]) ? map_layout::shapeit : map_layout::pos_chr_cm;
    } else if (fields.size() == 4) {
        layout = parse_number(fields[3], number) ? map_layout::plink : map_layout::hapmap;
    } else {
        return false;
    }
    return true;
}

// A chromosome column holding a number with a fraction or an exponent (a rate, a cM) shows a map of
// another layout; no chromosome is named so.
bool is_fractional_number(std::string_view text) {
    double number = 0.0;
    return parse_number(text, number) && std::isfinite(number) && text.find_first_of(".eE") != std::string_view::npos;
}

struct map_reading {
    const std::string& path;
    int64_t line_number = 0;
    int64_t other_rows = 0;    // rows of other chromosomes
    std::string other_example = "";  // the chromosome column of the first of them

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
    if (std::fabs(cm) > max_genetic_position) {
        return reading.fail("the cM position is beyond 3.40282e+38, the largest genetic position corvane reads (single "
                            "precision)");
    }
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
    map_reading reading{.path = path};
    const std::string_view wanted = without_chr_prefix(chromosome);
    std::vector<std::string_view> fields;
    std::string_view line;
    layout_columns columns{};
    bool first_line = true;
    const bool layout_given = layout != map_layout::automatic;
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
        if (columns.chromosome < columns.field_count) {
            const std::string_view named = fields[columns.chromosome];
            if (is_fractional_number(named)) {
                const std::string what = "the chromosome column of " + std::string(columns.name) + " holds the number " +
                                         std::string(named) + ": the layout may be wrong (" +
                                         (layout_given ? "as --map-layout says" : "told from the first line") +
                                         "); set it with " + layout_choice +
                                         " (shapeit: position rate cM, as SHAPEIT and IMPUTE maps have)";
                reading.fail(what.c_str());
                return run_status::bad_input;
            }
            if (without_chr_prefix(named) != wanted) {
                if (reading.other_rows++ == 0) reading.other_example = named;
                continue;
            }
        }
        if (!take_row(reading, fields, columns, map)) return run_status::bad_input;
    }
    if (map.bp.empty()) {
        if (columns.chromosome == columns.field_count) {
            print_message(message_kind::tool, "genetic map %s has no rows (read as %s)\n", path.c_str(), columns.name);
            return run_status::bad_input;
        }
        std::string others = counted(reading.other_rows, "row", "rows") + " of others";
        if (reading.other_rows > 0) others += ", such as \"" + reading.other_example + "\"";
        print_message(message_kind::tool,
                      "genetic map %s has no rows for chromosome %s (%s); the layout may be wrong: it was read as %s "
                      "(%s), with the chromosome in column %zu; set it with %s\n",
                      path.c_str(), chromosome.c_str(), others.c_str(), columns.name,
                      layout_given ? "as --map-layout says" : "told from the first line", columns.chromosome + 1,
                      layout_choice);
        return run_status::bad_input;
    }
    if (map.cm.size() == 1) {
        print_message(message_kind::tool,
                      "genetic map %s has one row for chromosome %s; a map needs at least two positions of different "
                      "cM\n",
                      path.c_str(), chromosome.c_str());
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
