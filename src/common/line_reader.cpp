// Chunked line reader over plain reads, with zlib's inflate for gzip and BGZF files.
#include "common/line_reader.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "common/message.hpp"

namespace corvane {

namespace {

// The buffer starts small (files are opened once per region by the reference legend lookup) and doubles
// while a line does not fit, up to a limit that no real panel comes near: a file without line ends
// (binary data, /dev/zero) must end in a message, not in all the memory of the machine.
constexpr size_t initial_buffer_bytes = size_t{1} << 16;
constexpr size_t largest_read_bytes = size_t{1} << 22;
constexpr size_t packed_chunk_bytes = size_t{1} << 18;

void report_read_error(const line_reader& reader, const char* reason) {
    if (reader.read_error_names_line) {
        print_message(message_kind::tool, "%s: cannot read after line %lld: %s\n", reader.path.c_str(),
                      static_cast<long long>(reader.line_number), reason);
    } else {
        print_message(message_kind::tool, "%s: cannot read: %s\n", reader.path.c_str(), reason);
    }
}

// Up to `room` bytes straight from the file: the count, 0 at its end, -1 after reporting an error.
long read_file_bytes(const line_reader& reader, void* into, size_t room) {
    for (;;) {
        const ssize_t got = ::read(reader.fd, into, room);
        if (got >= 0) return static_cast<long>(got);
        if (errno == EINTR) continue;
        report_read_error(reader, std::strerror(errno));
        return -1;
    }
}

// Tops up the compressed bytes waiting for inflate, keeping those not yet consumed. False on an error.
bool read_packed(line_reader& reader) {
    z_stream& stream = reader.inflater;
    const size_t kept = stream.avail_in;
    std::memmove(reader.packed.data(), stream.next_in, kept);
    const long got = read_file_bytes(reader, reader.packed.data() + kept, reader.packed.size() - kept);
    if (got < 0) return false;
    if (got == 0) reader.file_ended = true;
    stream.next_in = reader.packed.data();
    stream.avail_in = static_cast<uInt>(kept + static_cast<size_t>(got));
    return true;
}

// Unpacks up to `room` bytes of the gzip members: the count, 0 at the end of the last member, -1 after
// reporting an error. zlib's own reader stops quietly at bytes after a member that are not another
// member; here they are an error, so a gzip file with other data appended is never read in part.
long read_unpacked(line_reader& reader, char* into, size_t room) {
    z_stream& stream = reader.inflater;
    for (;;) {
        if (reader.member_ended) {
            while (stream.avail_in < 2 && !reader.file_ended) {
                if (!read_packed(reader)) return -1;
            }
            if (stream.avail_in == 0) return 0;
            if (stream.avail_in < 2 || stream.next_in[0] != 0x1f || stream.next_in[1] != 0x8b) {
                print_message(message_kind::tool, "%s: data after the end of the compressed stream\n",
                              reader.path.c_str());
                return -1;
            }
            inflateReset(&stream);
            reader.member_ended = false;
        }
        if (stream.avail_in == 0) {
            if (reader.file_ended) {
                report_read_error(reader, "compressed data ends early (truncated file)");
                return -1;
            }
            if (!read_packed(reader)) return -1;
            continue;
        }
        stream.next_out = reinterpret_cast<Bytef*>(into);
        stream.avail_out = static_cast<uInt>(room);
        const int result = inflate(&stream, Z_NO_FLUSH);
        const size_t produced = room - stream.avail_out;
        if (result == Z_STREAM_END) {
            reader.member_ended = true;
        } else if (result != Z_OK) {
            report_read_error(reader, stream.msg != nullptr ? stream.msg : zError(result));
            return -1;
        }
        if (produced > 0) return static_cast<long>(produced);
    }
}

// The first bytes tell a gzip file (1f 8b) from plain text; they are read into `into` and, for a gzip
// file, moved to the compressed side.
long read_first_bytes(line_reader& reader, char* into, size_t room) {
    size_t got = 0;
    while (got < 2) {
        const long more = read_file_bytes(reader, into + got, room - got);
        if (more < 0) return -1;
        if (more == 0) break;
        got += static_cast<size_t>(more);
    }
    reader.format_known = true;
    const bool gzip = got >= 2 && static_cast<unsigned char>(into[0]) == 0x1f && static_cast<unsigned char>(into[1]) == 0x8b;
    if (!gzip) return static_cast<long>(got);
    if (inflateInit2(&reader.inflater, 16 + MAX_WBITS) != Z_OK) {
        report_read_error(reader, "not enough memory to unpack the file");
        return -1;
    }
    reader.inflater_ready = true;
    reader.compressed = true;
    reader.packed.resize(std::max(packed_chunk_bytes, got));
    std::memcpy(reader.packed.data(), into, got);
    reader.inflater.next_in = reader.packed.data();
    reader.inflater.avail_in = static_cast<uInt>(got);
    return read_unpacked(reader, into, room);
}

// Up to `room` bytes of the file's text: the count, 0 at its end, -1 after reporting an error.
long read_text(line_reader& reader, char* into, size_t room) {
    if (!reader.format_known) return read_first_bytes(reader, into, room);
    if (reader.compressed) return read_unpacked(reader, into, room);
    return read_file_bytes(reader, into, room);
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
            print_message(message_kind::place, "%s:%lld: line longer than %zu MiB; is this a text file?\n", reader.path.c_str(),
                          static_cast<long long>(reader.line_number + 1), max_line_bytes >> 20);
            return false;
        }
        reader.buffer.resize(reader.buffer.empty() ? initial_buffer_bytes : 2 * reader.buffer.size());
    }
    const size_t room = std::min(reader.buffer.size() - reader.end, largest_read_bytes);
    const long got = read_text(reader, reader.buffer.data() + reader.end, room);
    if (got < 0) return false;
    if (got == 0) reader.at_eof = true;
    reader.end += static_cast<size_t>(got);
    return true;
}

}  // namespace

line_reader::~line_reader() {
    if (inflater_ready) inflateEnd(&inflater);
    if (fd >= 0) ::close(fd);
}

bool open_line_reader(line_reader& reader, const std::string& path) {
    reader.path = path;
    reader.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return reader.fd >= 0;
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
