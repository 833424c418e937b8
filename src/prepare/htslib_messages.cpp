// Takes the place of htslib's log function, so its diagnostics go out through print_message.
#include "prepare/htslib_messages.hpp"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

#include <htslib/hts_log.h>

#include "common/message.hpp"

namespace corvane {

namespace {

// A message without its " at CHR:POS": htslib warns once per header about a tag the header does not
// declare, naming the record where it met it. Readers of the parts of a chromosome each have their
// own header, so the warning comes from each; the first in file order stands for all.
std::string message_key(std::string_view text) {
    const size_t at = text.find(" at ");
    if (at == std::string_view::npos) return std::string(text);
    const size_t place = at + 4;
    const size_t colon = text.find(':', place);
    const size_t space = text.find(' ', place);
    if (colon == std::string_view::npos || (space != std::string_view::npos && space < colon)) {
        return std::string(text);
    }
    size_t digits = colon + 1;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == colon + 1) return std::string(text);
    return std::string(text.substr(0, at)).append(text.substr(digits));
}

char severity_letter(htsLogLevel severity) {
    switch (severity) {
        case HTS_LOG_ERROR: return 'E';
        case HTS_LOG_WARNING: return 'W';
        case HTS_LOG_INFO: return 'I';
        case HTS_LOG_DEBUG: return 'D';
        case HTS_LOG_TRACE: return 'T';
        default: return '*';
    }
}

}  // namespace

void report_htslib_messages() { hts_set_log_level(HTS_LOG_WARNING); }

}  // namespace corvane

// htslib calls its log function through the dynamic linker, so this definition in the executable
// takes its place (htslib has no hook of its own). It keeps htslib's "[W::where] what" form, which
// is what users search for, behind the tool's name.
extern "C" void hts_log(enum htsLogLevel severity, const char* context, const char* format, ...) {
    const int saved_errno = errno;
    if (severity <= hts_get_log_level()) {
        va_list arguments;
        va_start(arguments, format);
        char body[1024];
        std::vsnprintf(body, sizeof body, format, arguments);
        va_end(arguments);
        const std::string text = std::string("[") + corvane::severity_letter(severity) + "::" + context + "] " + body;
        corvane::print_message_once(corvane::message_key(text), text + "\n");
    }
    errno = saved_errno;
}
