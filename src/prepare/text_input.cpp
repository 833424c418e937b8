// Opening a text input of corvane-prepare: a directory is refused here, as it cannot be read as text.
#include "prepare/text_input.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#include "common/message.hpp"

namespace corvane {

run_status open_text_input(line_reader& reader, const std::string& path, const char* what) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        print_message(message_kind::tool, "cannot open %s %s: %s\n", what, path.c_str(), std::strerror(EISDIR));
        return run_status::bad_input;
    }
    errno = 0;
    if (!open_line_reader(reader, path)) {
        print_message(message_kind::tool, "cannot open %s %s: %s\n", what, path.c_str(),
                      errno != 0 ? std::strerror(errno) : "unreadable file");
        return run_status::bad_input;
    }
    reader.read_error_names_line = true;
    return run_status::run_ok;
}

}  // namespace corvane
