// Temporary files that a run ended by SIGTERM, SIGHUP or SIGINT removes before it ends.
#pragma once

#include <string>

#include <signal.h>

namespace corvane {

// Installs the handler for SIGTERM, SIGHUP and SIGINT (a signal the run was started ignoring, as
// under nohup, stays ignored): it removes every temporary file noted and not yet forgotten, then
// ends the process by the same signal, so the caller sees how it ended.
void remove_temporaries_on_signals();

// Puts `path` on the fixed list the handler removes (at most a few hundred at a time; a path beyond
// those, or longer than a path can be, is left off the list and only removed the ordinary way).
void note_temporary(const std::string& path);
// Takes `path` off that list: it has been renamed to its final name or removed.
void forget_temporary(const std::string& path);

// Holds back the three signals from construction to destruction, for a step that must not be cut
// in the middle (putting several outputs under their final names); one that came meanwhile is
// handled when they are released.
struct held_signals {
    sigset_t before;
    held_signals();
    ~held_signals();
    held_signals(const held_signals&) = delete;
    held_signals& operator=(const held_signals&) = delete;
};

}  // namespace corvane
