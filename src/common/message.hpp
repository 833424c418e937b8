// Messages on standard error, printed so that they never mix with a progress line on the terminal.
#pragma once

namespace corvane {

// Prints a message on standard error like fprintf; a progress line standing on the terminal is
// cleared first, so no characters of it are left after a shorter message.
void print_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Called by the progress line when it is drawn: from then on a message clears it first.
void note_progress_line_shown();

// Clears the progress line when one stands on the terminal; nothing otherwise.
void clear_progress_line();

}  // namespace corvane
