// A single updating progress line on standard error, shown only when standard error is a terminal.
#pragma once

#include <chrono>
#include <cstdint>

namespace corvane {

// How often a progress line on a terminal is redrawn at most.
inline constexpr auto redraw_interval = std::chrono::milliseconds(250);

struct scan_progress {
    bool shown_on_terminal = false;
    int32_t snp_count = 0;
    const char* count_path = "";
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point last_drawn;
};

// Starts timing the scan; the line is drawn only if standard error is a terminal. `count_path` names
// the way the windows are counted (a string that outlives the scan), so a slow path shows.
scan_progress start_progress(int32_t snp_count, const char* count_path);

// Notes that the scan has covered the SNPs before `next_focal` and found `regions` regions so far.
// Redraws at most a few times a second, so calling it once per region costs a clock read.
void note_progress(scan_progress& progress, int32_t next_focal, int64_t regions);

// Wipes the line, so that the terminal is left as it was. A message printed with print_message while
// the line is shown wipes it too.
void end_progress(scan_progress& progress);

// The text of the line, e.g. "corvane: 45.0% of 1813 SNPs, 12 regions, 0:03 elapsed, about 0:04 left,
// 0/1 bits" (the count path last, left out when empty).
void format_progress(char* text, int size, int32_t next_focal, int32_t snp_count, int64_t regions,
                     double elapsed_seconds, const char* count_path);

// A duration as M:SS, or H:MM:SS from an hour on.
void format_duration(char* text, int size, double seconds);

}  // namespace corvane
