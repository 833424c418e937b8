// Prints the help and the version of a tool, and tells a request for them from a command line.
#include "common/help_and_version.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/message.hpp"
#include "common/version.hpp"

namespace corvane {

info_request info_request_of(std::string_view argument) {
    if (argument == "--help" || argument == "-h") return info_request::help;
    if (argument == "--version") return info_request::version;
    return info_request::none;
}

run_status print_info(info_request request, std::string_view help_text) {
    if (request == info_request::help) {
        std::fwrite(help_text.data(), 1, help_text.size(), stdout);
    } else {
        const std::string_view version = program_version();
        std::printf("%s %.*s\n", program_name(), static_cast<int>(version.size()), version.data());
    }
    errno = 0;
    // A help piped into a closed reader or written to a full disk is a failed run, not a silent one.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        print_message(message_kind::tool, "cannot write to standard output: %s\n",
                      errno != 0 ? std::strerror(errno) : "write error");
        return run_status::output_failed;
    }
    return run_status::help_shown;
}

std::optional<run_status> answer_help_or_version(int argc, const char* const* argv, std::string_view help_text) {
    if (argc != 2) return std::nullopt;
    const info_request request = info_request_of(argv[1]);
    if (request == info_request::none) return std::nullopt;
    return print_info(request, help_text);
}

}  // namespace corvane
