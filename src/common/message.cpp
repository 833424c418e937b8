// The one place that knows whether a progress line stands on the terminal when a message is printed.
#include "common/message.hpp"

#include <cstdarg>
#include <cstdio>

namespace corvane {

namespace {

// One process, one standard error: the line's state is the process's.
bool progress_line_shown = false;

}  // namespace

void note_progress_line_shown() { progress_line_shown = true; }

void clear_progress_line() {
    if (!progress_line_shown) return;
    // The line is drawn with the cursor back at its start, so clearing to the end of the line wipes it.
    std::fputs("\033[K", stderr);
    std::fflush(stderr);
    progress_line_shown = false;
}

void print_message(const char* format, ...) {
    clear_progress_line();
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
}

}  // namespace corvane
