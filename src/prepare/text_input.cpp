// Line reading over htslib's hts_getline, which decompresses gzip and BGZF transparently.
#include "prepare/text_lines.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace corvane {

text_lines::~text_lines() {
    if (file != nullptr) hts_close(file);
    ks_free(&line);
}

bool open_text_lines(text_lines& lines, const std::string& path, const char* what) {
    lines.path = path;
    struct stat info {};
    // htslib would open a directory and fail only on the first read.
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fprintf(stderr, "corvane-prepare: cannot open %s %s: %s\n", what, path.c_str(), std::strerror(EISDIR));
        return false;
    }
    errno = 0;
    lines.file = hts_open(path.c_str(), "r");
    if (lines.file == nullptr) {
        std::fprintf(stderr, "corvane-prepare: cannot open %s %s: %s\n", what, path.c_str(),
                     errno != 0 ? std::strerror(errno) : "unreadable file");
        return false;
    }
    return true;
}

text_line_result next_text_line(text_lines& lines, std::string_view& line) {
    errno = 0;
    const int got = hts_getline(lines.file, '\n', &lines.line);
    if (got == -1) return text_line_result::end_of_file;
    if (got < 0) {
        std::fprintf(stderr, "corvane-prepare: %s: cannot read after line %lld: %s\n", lines.path.c_str(),
                     static_cast<long long>(lines.line_number),
                     errno != 0 ? std::strerror(errno) : "corrupt or truncated compressed data");
        return text_line_result::read_error;
    }
    ++lines.line_number;
    line = std::string_view(lines.line.s != nullptr ? lines.line.s : "", lines.line.l);
    if (line.ends_with('\r')) line.remove_suffix(1);
    return text_line_result::line;
}

}  // namespace corvane
