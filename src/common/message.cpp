// Messages and the progress line: the one place that writes to standard error for every tool.
#include "common/message.hpp"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>

namespace corvane {

namespace {

const char* current_name = "corvane";

// One process, one standard error: the line's state is the process's. A progress line may be drawn
// from a thread of its own, so the line and every write to standard error go under one lock.
bool progress_line_shown = false;
std::mutex stderr_lock;

void clear_progress_line_locked() {
    if (!progress_line_shown) return;
    // The line is drawn with the cursor back at its start, so clearing to the end of the line wipes it.
    std::fputs("\033[K", stderr);
    std::fflush(stderr);
    progress_line_shown = false;
}

std::string last_reason;

thread_local std::vector<captured_message>* captured = nullptr;

std::mutex once_lock;
std::set<std::string> once_printed;  // the keys of print_message_once's messages printed so far

// Whether no message of `key` was printed yet; from now on one was.
bool first_of_key(const std::string& key) {
    const std::lock_guard<std::mutex> held(once_lock);
    return once_printed.insert(key).second;
}

// Writes a whole message to its stream.
void write_message(message_kind kind, const std::string& text) {
    const std::lock_guard<std::mutex> held(stderr_lock);
    if (kind == message_kind::tool || kind == message_kind::place) {
        last_reason.assign(text, 0, !text.empty() && text.back() == '\n' ? text.size() - 1 : text.size());
    }
    clear_progress_line_locked();
    // One write per message, so messages of tools sharing a log stay whole lines.
    std::FILE* stream = kind == message_kind::notice ? stdout : stderr;
    std::fwrite(text.data(), 1, text.size(), stream);
    // A notice stands before anything printed on standard error after it, as it does on a terminal.
    if (kind == message_kind::notice) std::fflush(stream);
}

}  // namespace

void set_program_name(const char* name) { current_name = name; }

const char* program_name() { return current_name; }

const std::string& last_message() { return last_reason; }

void print_message(message_kind kind, const char* format, ...) {
    const bool prefixed = kind == message_kind::tool || kind == message_kind::note;
    std::string text = prefixed ? std::string(current_name) + ": " : std::string();
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
    if (captured != nullptr) {
        captured->push_back({kind, std::move(text)});
        return;
    }
    write_message(kind, text);
}

void print_message_once(const std::string& key, const std::string& text) {
    std::string whole = std::string(current_name) + ": " + text;
    if (captured != nullptr) {
        captured->push_back({message_kind::tool, std::move(whole), key});
        return;
    }
    if (first_of_key(key)) write_message(message_kind::tool, whole);
}

void capture_messages(std::vector<captured_message>* into) { captured = into; }

void print_captured(std::span<const captured_message> messages) {
    for (const captured_message& message : messages) {
        if (message.once_key.empty() || first_of_key(message.once_key)) write_message(message.kind, message.text);
    }
}

void show_progress_line(const char* text) {
    const std::lock_guard<std::mutex> held(stderr_lock);
    // Clear to the end of the line, draw, and return to its start.
    std::fprintf(stderr, "\033[K%s\r", text);
    std::fflush(stderr);
    progress_line_shown = true;
}

void clear_progress_line() {
    const std::lock_guard<std::mutex> held(stderr_lock);
    clear_progress_line_locked();
}

}  // namespace corvane
