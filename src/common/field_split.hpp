// Splits one text line into fields: quote-aware, tab first, single blank as fallback.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

using field_list = std::vector<std::string>;

// Populates `fields` with the fields of one CSV-style `line` split at `delimiter` (the name says as
// much: a CSV line, its fields populated), replacing what `fields` held. A double quote opens a
// quoted stretch only as the first byte of a field; an unquoted CR or LF ends the line; a NUL byte
// ends it.
void _csvline_populate(field_list& fields, std::string_view line, char delimiter);

// Splits at tabs; when that gives one field, splits at single blanks instead.
void split_line(field_list& fields, std::string_view line);

}  // namespace corvane
