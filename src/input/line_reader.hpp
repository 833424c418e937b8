// Reads a text file line by line in large chunks; plain, gzip and BGZF files alike. Every text input
// of every tool (genotypes, legends, maps, sample lists) goes through it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

namespace corvane {

// An open input file. Compression is recognised from the content, not the name.
struct line_reader {
    gzFile file = nullptr;
    std::string path;
    std::vector<char> buffer;
    size_t begin = 0;       // first unread byte in buffer
    size_t end = 0;         // one past the last byte read into buffer
    size_t scanned = 0;     // bytes from begin already searched for a newline
    bool at_eof = false;
    int64_t line_number = 0;  // 1-based number of the line last returned
    bool read_error_names_line = false;  // "cannot read after line N" rather than "cannot read"

    line_reader() = default;
    line_reader(const line_reader&) = delete;
    line_reader& operator=(const line_reader&) = delete;
    ~line_reader();
};

// Longest line the reader accepts (a million alleles take about 2 MiB).
constexpr size_t max_line_bytes = size_t{1} << 28;

enum class line_result { line, end_of_file, read_error };

// False when the file cannot be opened; errno then says why.
bool open_line_reader(line_reader& reader, const std::string& path);

// The next line without its newline; a last line without a newline is returned too. The view stays
// valid until the next call. A CR before the newline is kept. On a read error the message
// "PROGRAM: PATH: cannot read: REASON" (or, for a line beyond max_line_bytes, "PATH:LINE: line longer
// than ...") has already been printed on standard error.
line_result read_line(line_reader& reader, std::string_view& line);

}  // namespace corvane
