// What the fuzz targets share: inputs as in-memory files, captured standard streams, a loud stop.
#pragma once

#include <string>
#include <string_view>

namespace corvane::fuzzing {

// An anonymous in-memory file reachable by path (/proc/self/fd/N), refilled for every input.
struct memory_file {
    int fd = -1;
    std::string path;
};

// Creates the file once per process; `name` only labels it.
memory_file make_memory_file(const char* name);
// Replaces the file's whole content.
void fill_memory_file(const memory_file& file, std::string_view bytes);

// What a call wrote on standard output and standard error.
struct captured_streams {
    std::string out;
    std::string err;
    bool operator==(const captured_streams&) const = default;
};

// Sends standard output and standard error to memory until end_capture.
void begin_capture();
captured_streams end_capture();

// The bytes of a file, or "<absent>" when it cannot be read.
std::string file_bytes_or_absent(const std::string& path);

// Prints `what` where the fuzzer's own reports go (not into a capture) and aborts, so libFuzzer
// keeps the input as a crash.
[[noreturn]] void fail(const std::string& what);

}  // namespace corvane::fuzzing
