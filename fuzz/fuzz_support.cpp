// In-memory files and stream capture for the fuzz targets (Linux: memfd_create, dup2).
#include "fuzz_support.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <sanitizer/common_interface_defs.h>
#include <sys/mman.h>
#include <unistd.h>

namespace corvane::fuzzing {

namespace {

int saved_out = -1, saved_err = -1;
int capture_out = -1, capture_err = -1;

// The standard error the fuzzer started with: sanitizer reports and our own failures go there even
// while the target's streams are captured.
int report_fd() {
    static const int fd = [] {
        const int copy = dup(2);
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(copy)));
        return copy;
    }();
    return fd;
}

std::string read_whole_fd(int fd) {
    std::string bytes;
    char buffer[4096];
    off_t offset = 0;
    for (;;) {
        const ssize_t got = pread(fd, buffer, sizeof buffer, offset);
        if (got <= 0) break;
        bytes.append(buffer, static_cast<size_t>(got));
        offset += got;
    }
    return bytes;
}

void reset_fd(int fd) {
    if (ftruncate(fd, 0) != 0) fail("cannot truncate a memory file");
    lseek(fd, 0, SEEK_SET);
}

}  // namespace

memory_file make_memory_file(const char* name) {
    memory_file file;
    file.fd = memfd_create(name, 0);
    if (file.fd < 0) fail("memfd_create failed");
    file.path = "/proc/self/fd/" + std::to_string(file.fd);
    return file;
}

void fill_memory_file(const memory_file& file, std::string_view bytes) {
    reset_fd(file.fd);
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = pwrite(file.fd, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
        if (put <= 0) fail("cannot fill a memory file");
        written += static_cast<size_t>(put);
    }
}

void begin_capture() {
    report_fd();
    std::fflush(stdout);
    std::fflush(stderr);
    if (capture_out < 0) {
        capture_out = memfd_create("captured-stdout", 0);
        capture_err = memfd_create("captured-stderr", 0);
    }
    reset_fd(capture_out);
    reset_fd(capture_err);
    saved_out = dup(1);
    saved_err = dup(2);
    dup2(capture_out, 1);
    dup2(capture_err, 2);
}

captured_streams end_capture() {
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(saved_out, 1);
    dup2(saved_err, 2);
    close(saved_out);
    close(saved_err);
    saved_out = saved_err = -1;
    return {read_whole_fd(capture_out), read_whole_fd(capture_err)};
}

std::string file_bytes_or_absent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<absent>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void fail(const std::string& what) {
    dprintf(report_fd(), "corvane fuzz check failed: %s\n", what.c_str());
    std::abort();
}

}  // namespace corvane::fuzzing
