// The progress of corvane-prepare and corvane-loci, drawn by a thread of its own on time, and by the
// run itself when it says something new and a line is due.
#include "report/work_progress.hpp"

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "common/message.hpp"
#include "report/progress.hpp"

namespace corvane {

namespace {

using clock_type = std::chrono::steady_clock;

// On a terminal the line shows once the run is half a second old; elsewhere the first plain line comes
// when it has run five seconds, then one every five seconds (the times corvane-plot keeps too).
constexpr auto terminal_wait = std::chrono::milliseconds(500);
constexpr auto plain_wait = std::chrono::seconds(5);

// The waits the test variable asks for, when it holds a number of seconds.
bool test_wait(clock_type::duration& wait) {
    const char* text = std::getenv(progress_seconds_variable);
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (*end != '\0' || !(seconds >= 0.0) || seconds > 3600.0) return false;
    wait = std::chrono::duration_cast<clock_type::duration>(std::chrono::duration<double>(seconds));
    return true;
}

// Draws the line when one is due; the caller holds progress.lock.
void draw_if_due(work_progress& progress) {
    if (progress.text.empty()) return;
    const auto now = clock_type::now();
    const auto since_drawn = now - progress.last_drawn;
    if (progress.on_terminal) {
        if (now - progress.started < progress.terminal_after || since_drawn < redraw_interval) return;
    } else if (since_drawn < progress.plain_every) {
        return;
    }
    progress.last_drawn = now;
    const std::string line = work_progress_text(progress.text, progress.share,
                                                std::chrono::duration<double>(now - progress.started).count());
    if (progress.on_terminal) show_progress_line((std::string(program_name()) + ": " + line).c_str());
    else print_message(message_kind::note, "%s\n", line.c_str());
}

void draw_on_time(work_progress& progress) {
    clock_type::duration tick = redraw_interval;
    if (!progress.on_terminal && progress.plain_every < tick) tick = progress.plain_every;
    if (tick < std::chrono::milliseconds(10)) tick = std::chrono::milliseconds(10);
    std::unique_lock<std::mutex> held(progress.lock);
    while (!progress.stopping) {
        progress.wake.wait_for(held, tick);
        if (!progress.stopping) draw_if_due(progress);
    }
}

}  // namespace

work_progress::~work_progress() { end_work_progress(*this); }

void start_work_progress(work_progress& progress) {
    progress.on_terminal = isatty(STDERR_FILENO) == 1;
    progress.terminal_after = terminal_wait;
    progress.plain_every = plain_wait;
    clock_type::duration wait{};
    if (test_wait(wait)) progress.terminal_after = progress.plain_every = wait;
    progress.started = clock_type::now();
    // A terminal line is redrawn at most so often; a plain line waits its whole interval first.
    progress.last_drawn = progress.on_terminal ? progress.started - redraw_interval : progress.started;
    progress.stopping = false;
    progress.drawer = std::thread(draw_on_time, std::ref(progress));
}

void say_progress(work_progress& progress, const std::string& text, double share) {
    const std::lock_guard<std::mutex> held(progress.lock);
    progress.text = text;
    progress.share = share;
    if (progress.drawer.joinable()) draw_if_due(progress);
}

void end_work_progress(work_progress& progress) {
    if (!progress.drawer.joinable()) return;
    {
        const std::lock_guard<std::mutex> held(progress.lock);
        progress.stopping = true;
    }
    progress.wake.notify_all();
    progress.drawer.join();
    clear_progress_line();
}

std::string work_progress_text(const std::string& text, double share, double elapsed_seconds) {
    char elapsed[32];
    format_duration(elapsed, sizeof elapsed, elapsed_seconds);
    std::string line = text + ", " + elapsed + " elapsed";
    if (share > 0.0 && share <= 1.0) {
        char left[32];
        format_duration(left, sizeof left, elapsed_seconds * (1.0 - share) / share);
        line += std::string(", about ") + left + " left";
    }
    return line;
}

std::string grouped_digits(long long value) {
    const std::string written = std::to_string(value);
    const size_t first = written[0] == '-' ? 1 : 0;
    std::string text = written.substr(0, first);
    for (size_t k = first; k < written.size(); ++k) {
        if (k > first && (written.size() - k) % 3 == 0) text += ',';
        text += written[k];
    }
    return text;
}

}  // namespace corvane
