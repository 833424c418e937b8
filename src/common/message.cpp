// Messages and the progress line: the one place that writes to standard error for every tool.
#include "common/message.hpp"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace corvane {

namespace {

const char* current_name = "corvane";

// One process, one standard error: the line's state is the process's.
bool progress_line_shown = false;

}  // namespace

void set_program_name(const char* name) { current_name = name; }

const char* program_name() { return current_name; }

void print_message(message_kind kind, const char* format, ...) {
    std::string text = kind == message_kind::tool ? std::string(current_name) + ": " : std::string();
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    if (length > 0) {
        const size_t prefix = text.size();
        text.resize(prefix + static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data() + prefix, static_cast<size_t>(length) + 1, format, again);
        text.resize(prefix + static_cast<size_t>(length));
    }
    va_end(again);
    clear_progress_line();
    // One write per message, so messages of tools sharing a log stay whole lines.
    std::FILE* stream = kind == message_kind::notice ? stdout : stderr;
    std::fwrite(text.data(), 1, text.size(), stream);
    // A notice stands before anything printed on standard error after it, as it does on a terminal.
    if (kind == message_kind::notice) std::fflush(stream);
}

void show_progress_line(const char* text) {
    // Clear to the end of the line, draw, and return to its start.
    std::fprintf(stderr, "\033[K%s\r", text);
    std::fflush(stderr);
    progress_line_shown = true;
}

void clear_progress_line() {
    if (!progress_line_shown) return;
    // The line is drawn with the cursor back at its start, so clearing to the end of the line wipes it.
    std::fputs("\033[K", stderr);
    std::fflush(stderr);
    progress_line_shown = false;
}

}  // namespace corvane
