// Chunked line reader over zlib's transparent reader (plain files pass through unchanged).
#include "input/line_reader.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "program_name.hpp"

namespace corvane {

namespace {

// The buffer starts small (files are opened once per region by the plain legend lookup) and doubles
// while a line does not fit, up to a limit that no real panel comes near: a file without line ends
// (binary data, /dev/zero) must end in a message, not in all the memory of the machine.
constexpr size_t initial_buffer_bytes = size_t{1} << 16;
constexpr size_t largest_read_bytes = size_t{1} << 22;

void report_read_error(line_reader& reader) {
    int zlib_error = Z_OK;
    const char* reason = gzerror(reader.file, &zlib_error);
    // zlib puts the path in front of its own messages; ours already carry it.
    const std::string path_prefix = reader.path + ": ";
    if (std::strncmp(reason, path_prefix.c_str(), path_prefix.size()) == 0) reason += path_prefix.size();
    if (zlib_error == Z_ERRNO) reason = std::strerror(errno);
    else if (zlib_error == Z_BUF_ERROR) reason = "compressed data ends early (truncated file)";
    if (reader.read_error_names_line) {
        std::fprintf(stderr, "%s: %s: cannot read after line %lld: %s\n", program_name(), reader.path.c_str(),
                     static_cast<long long>(reader.line_number), reason);
    } else {
        std::fprintf(stderr, "%s: %s: cannot read: %s\n", program_name(), reader.path.c_str(), reason);
    }
}

// Appends the next chunk of the file to the buffer. False on a read error or an overlong line.
bool fill_buffer(line_reader& reader) {
    if (reader.begin > 0) {
        std::memmove(reader.buffer.data(), reader.buffer.data() + reader.begin, reader.end - reader.begin);
        reader.end -= reader.begin;
        reader.begin = 0;
    }
    if (reader.end == reader.buffer.size()) {
        if (reader.end >= max_line_bytes) {
            std::fprintf(stderr, "%s:%lld: line longer than %zu MiB; is this a text file?\n", reader.path.c_str(),
                         static_cast<long long>(reader.line_number + 1), max_line_bytes >> 20);
            return false;
        }
        reader.buffer.resize(reader.buffer.empty() ? initial_buffer_bytes : 2 * reader.buffer.size());
    }
    const size_t room = std::min(reader.buffer.size() - reader.end, largest_read_bytes);
    const int got = gzread(reader.file, reader.buffer.data() + reader.end, static_cast<unsigned>(room));
    if (got < 0) {
        report_read_error(reader);
        return false;
    }
    if (got == 0) {
        int zlib_error = Z_OK;
        gzerror(reader.file, &zlib_error);
        if (zlib_error != Z_OK) {
            report_read_error(reader);
            return false;
        }
        reader.at_eof = true;
    }
    reader.end += static_cast<size_t>(got);
    return true;
}

}  // namespace

line_reader::~line_reader() {
    if (file != nullptr) gzclose(file);
}

bool open_line_reader(line_reader& reader, const std::string& path) {
    reader.path = path;
    reader.file = gzopen(path.c_str(), "rb");
    if (reader.file == nullptr) return false;
    gzbuffer(reader.file, 1u << 20);
    return true;
}

line_result read_line(line_reader& reader, std::string_view& line) {
    for (;;) {
        const char* start = reader.buffer.data() + reader.begin;
        const size_t available = reader.end - reader.begin;
        const void* newline =
            available > reader.scanned ? std::memchr(start + reader.scanned, '\n', available - reader.scanned) : nullptr;
        if (newline != nullptr) {
            const size_t length = static_cast<size_t>(static_cast<const char*>(newline) - start);
            line = std::string_view(start, length);
            reader.begin += length + 1;
            reader.scanned = 0;
            ++reader.line_number;
            return line_result::line;
        }
        reader.scanned = available;
        if (reader.at_eof) {
            if (available == 0) return line_result::end_of_file;
            line = std::string_view(start, available);
            reader.begin = reader.end;
            reader.scanned = 0;
            ++reader.line_number;
            return line_result::line;
        }
        if (!fill_buffer(reader)) return line_result::read_error;
    }
}

}  // namespace corvane
