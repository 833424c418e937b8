// What corvane-prepare and corvane-loci are doing, on standard error while they run: on a terminal
// the scan's progress line, redrawn; elsewhere (a cluster job's log, a pipe) a plain line every few
// seconds; nothing for a run of under a few seconds, and never anything on standard output.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace corvane {

// The progress of one run. A thread of its own draws it on time, so a step that reports nothing for
// a while (a large panel loading) still shows in a job's log.
struct work_progress {
    bool on_terminal = false;
    std::chrono::steady_clock::duration terminal_after{};  // the terminal line waits this long
    std::chrono::steady_clock::duration plain_every{};     // a plain line after this long, then as often
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point last_drawn;
    std::mutex lock;
    std::string text;     // what the run is doing now, without the tool's name and the time
    double share = -1.0;  // how much of it is done, 0 to 1; below 0 when nobody can tell
    bool stopping = false;
    std::condition_variable wake;
    std::thread drawer;

    work_progress() = default;
    work_progress(const work_progress&) = delete;
    work_progress& operator=(const work_progress&) = delete;
    // Ends the progress (end_work_progress) if it is still running.
    ~work_progress();
};

// The environment variable, for tests, that sets both waits to its number of seconds (0: at once).
inline constexpr const char* progress_seconds_variable = "CORVANE_PROGRESS_SECONDS";

// Starts timing the run and the thread that draws its progress.
void start_work_progress(work_progress& progress);

// Says what the run is doing now (e.g. "reading in.vcf.gz: 21:10,230,000"), and how much of it is
// done when `share` is 0 to 1 (the line then adds the time left). Drawn at once when a line is due.
void say_progress(work_progress& progress, const std::string& text, double share = -1.0);

// Stops the thread and wipes the terminal line, so the terminal is left as it was.
void end_work_progress(work_progress& progress);

// The line drawn after "TOOL: ": "TEXT, 0:05 elapsed" (", about 0:06 left" added with a share).
std::string work_progress_text(const std::string& text, double share, double elapsed_seconds);

// A count with a comma between each group of three digits: 1,234,567.
std::string grouped_digits(long long value);

}  // namespace corvane
