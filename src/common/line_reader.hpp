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
    int fd = -1;
    std::string path;
    std::vector<char> buffer;
    size_t begin = 0;       // first unread byte in buffer
    size_t end = 0;         // one past the last byte read into buffer
    size_t scanned = 0;     // bytes from begin already searched for a newline
    bool at_eof = false;
    int64_t line_number = 0;  // 1-based number of the line last returned
    bool read_error_names_line = false;  // "cannot read after line N" rather than "cannot read"

    // Compressed files: the file's bytes not yet unpacked, and the state of the member being unpacked.
    bool format_known = false;  // false until the first bytes have told plain from gzip
    bool compressed = false;
    std::vector<unsigned char> packed;
    bool file_ended = false;    // the file itself has no more bytes
    bool member_ended = false;  // the last member read is complete; another may follow
    z_stream inflater{};
    bool inflater_ready = false;

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
// valid until the next call. A CR before the newline is kept. Concatenated gzip members (`cat a.gz
// b.gz`, BGZF blocks) read as one file. On a read error the message has already been printed on
// standard error: "PROGRAM: PATH: cannot read: REASON" (an I/O error, corrupt or truncated compressed
// data), "PROGRAM: PATH: data after the end of the compressed stream" (bytes after the last gzip member
// that do not start another), or "PATH:LINE: line longer than ..." (a line beyond max_line_bytes).
line_result read_line(line_reader& reader, std::string_view& line);

}  // namespace corvane
