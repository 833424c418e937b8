// Progress line: elapsed time, share of SNPs scanned and a linear estimate of the time left.
#include "report/progress.hpp"

#include <cstdio>

#include <unistd.h>

#include "common/message.hpp"

namespace corvane {

void format_duration(char* text, int size, double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    if (whole >= 3600) std::snprintf(text, static_cast<size_t>(size), "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else std::snprintf(text, static_cast<size_t>(size), "%ld:%02ld", whole / 60, whole % 60);
}

scan_progress start_progress(int32_t snp_count, const char* count_path) {
    scan_progress progress;
    progress.count_path = count_path;
    progress.shown_on_terminal = isatty(STDERR_FILENO) == 1;
    progress.snp_count = snp_count;
    progress.started = std::chrono::steady_clock::now();
    progress.last_drawn = progress.started - redraw_interval;  // the first region draws at once
    return progress;
}

void format_progress(char* text, int size, int32_t next_focal, int32_t snp_count, int64_t regions,
                     double elapsed_seconds, const char* count_path) {
    const double share = snp_count > 0 ? static_cast<double>(next_focal) / snp_count : 1.0;
    const double clipped = share < 0.0 ? 0.0 : share > 1.0 ? 1.0 : share;
    char elapsed[32], left[32];
    format_duration(elapsed, sizeof elapsed, elapsed_seconds);
    if (clipped > 0.0) {
        format_duration(left, sizeof left, elapsed_seconds * (1.0 - clipped) / clipped);
    } else {
        std::snprintf(left, sizeof left, "?");
    }
    std::snprintf(text, static_cast<size_t>(size), "%s: %.1f%% of %d SNP%s, %lld region%s, %s elapsed, about %s left%s%s",
                  program_name(), 100.0 * clipped, snp_count, snp_count == 1 ? "" : "s", static_cast<long long>(regions),
                  regions == 1 ? "" : "s", elapsed, left, *count_path != '\0' ? ", " : "", count_path);
}

void note_progress(scan_progress& progress, int32_t next_focal, int64_t regions) {
    if (!progress.shown_on_terminal) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - progress.last_drawn < redraw_interval) return;
    progress.last_drawn = now;
    char text[160];
    format_progress(text, sizeof text, next_focal, progress.snp_count, regions,
                    std::chrono::duration<double>(now - progress.started).count(), progress.count_path);
    show_progress_line(text);
}

void end_progress(scan_progress&) { clear_progress_line(); }

}  // namespace corvane
