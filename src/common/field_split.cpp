// Quote-aware field splitter shared by the genotype and legend readers.
#include "common/field_split.hpp"

#include <cstdint>

namespace corvane {

void _csvline_populate(field_list& fields, std::string_view line, char delimiter) {
    fields.clear();
    const int32_t length = static_cast<int32_t>(line.size());
    bool in_quotes = false;
    std::string field;
    for (int32_t pos = 0; pos < length && line[pos] != '\0'; ++pos) {
        const char c = line[pos];
        if (!in_quotes && field.empty() && c == '"') {
            in_quotes = true;
        } else if (in_quotes && c == '"') {
            if (pos + 1 < length && line[pos + 1] == '"') {
                field.push_back('"');
                ++pos;
            } else {
                in_quotes = false;
            }
        } else if (!in_quotes && c == delimiter) {
            fields.push_back(std::move(field));
            field.clear();
        } else if (!in_quotes && (c == '\r' || c == '\n')) {
            fields.push_back(std::move(field));
            return;
        } else {
            field.push_back(c);
        }
    }
    fields.push_back(std::move(field));
}

void split_line(field_list& fields, std::string_view line) {
    _csvline_populate(fields, line, '\t');
    if (fields.size() == 1) _csvline_populate(fields, line, ' ');
}

}  // namespace corvane
