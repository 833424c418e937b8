// Reads a text input (map or sample list) line by line through htslib: plain, gzip or BGZF alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <htslib/hts.h>
#include <htslib/kstring.h>

namespace corvane {

struct text_lines {
    std::string path;
    htsFile* file = nullptr;
    kstring_t line{};
    int64_t line_number = 0;  // 1-based number of the line last returned

    text_lines() = default;
    text_lines(const text_lines&) = delete;
    text_lines& operator=(const text_lines&) = delete;
    ~text_lines();
};

// Opens `path`; on failure reports "corvane-prepare: cannot open WHAT PATH: REASON" and returns false.
bool open_text_lines(text_lines& lines, const std::string& path, const char* what);

enum class text_line_result { line, end_of_file, read_error };

// The next line without its newline (and without a CR before it). The view stays valid until the next
// call. A read error (e.g. corrupt compressed data) is reported before read_error is returned.
text_line_result next_text_line(text_lines& lines, std::string_view& line);

}  // namespace corvane
