// The one way every tool prints its messages: the running tool's name before those that have one,
// and a progress line standing on the terminal cleared first.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace corvane {

// The name the running tool puts before its messages ("corvane", "corvane-prepare"); set once by
// main, "corvane" until then.
void set_program_name(const char* name);
const char* program_name();

// How a message starts and where it goes.
enum class message_kind {
    tool,    // on standard error after "TOOL: ": about the run, or about a file as a whole
    note,    // the same as tool, for a fact of the run (counts, what was written, progress), never the
             // reason a run failed
    place,   // on standard error as written: it starts with the place it is about, "PATH:LINE: what"
    notice,  // on standard output as written: the scan's "Input ... file not found" notices
};

// Prints one message, formatted like printf. A progress line standing on the terminal is cleared
// first, so no characters of it are left after a shorter message.
void print_message(message_kind kind, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The last message of kind tool or place printed so far, without its final newline: the reason a
// failed run gave, for its run record. Empty when there was none.
const std::string& last_message();

// Prints `text` (one whole message, its line end included) after "TOOL: ", unless a message of the
// same `key` was printed before in this process: for messages that would otherwise repeat.
void print_message_once(const std::string& key, const std::string& text);

// A message kept back by capture_messages, whole as print_message would have written it; `once_key`
// is set for a message of print_message_once, which is left out if printed before when it is replayed.
struct captured_message {
    message_kind kind;
    std::string text;
    std::string once_key = "";
};

// While `into` is set, the calling thread's messages are appended to it instead of printed, so that
// work done in threads can give its messages in the order one thread would have (print_captured);
// nullptr prints again. Only the calling thread is affected.
void capture_messages(std::vector<captured_message>* into);

// Prints `messages` in order, as print_message does.
void print_captured(std::span<const captured_message> messages);

// Draws `text` as the progress line on standard error, the cursor left at its start, where the next
// message (or clear_progress_line) clears it.
void show_progress_line(const char* text);

// Clears the progress line when one stands on the terminal; nothing otherwise.
void clear_progress_line();

}  // namespace corvane
