// The list of temporary files and the signal handler that removes them: only async-signal-safe
// calls in the handler (unlink, sigaction, sigprocmask, raise), and the list a fixed array.
#include "common/signal_cleanup.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include <unistd.h>

namespace corvane {

namespace {

constexpr int handled_signals[] = {SIGTERM, SIGHUP, SIGINT};

// A slot's path is written while the slot is free and read by the handler only while it is taken.
struct temporary_slot {
    std::atomic<bool> taken{false};
    char path[PATH_MAX] = {};
};

constexpr int slot_count = 256;
temporary_slot slots[slot_count];

// While signals are held, a signal that reaches another thread (htslib's workers) waits here for
// the holder to release them.
std::atomic<int> holds{0};
std::atomic<int> waiting_signal{0};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the handler reads the slots without locks");

extern "C" void remove_temporaries_and_end(int signal_number) {
    if (holds.load() > 0) {
        waiting_signal.store(signal_number);
        return;
    }
    for (temporary_slot& slot : slots) {
        if (slot.taken.load()) unlink(slot.path);
    }
    struct sigaction default_action = {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal_number, &default_action, nullptr);
    sigset_t only_this;
    sigemptyset(&only_this);
    sigaddset(&only_this, signal_number);
    sigprocmask(SIG_UNBLOCK, &only_this, nullptr);
    raise(signal_number);
}

sigset_t handled_set() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal_number : handled_signals) sigaddset(&set, signal_number);
    return set;
}

}  // namespace

void remove_temporaries_on_signals() {
    for (const int signal_number : handled_signals) {
        struct sigaction before = {};
        if (sigaction(signal_number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        struct sigaction action = {};
        action.sa_handler = remove_temporaries_and_end;
        action.sa_mask = handled_set();  // one handler at a time
        action.sa_flags = SA_RESTART;    // a signal that waits must not cut another thread's read short
        sigaction(signal_number, &action, nullptr);
    }
}

void note_temporary(const std::string& path) {
    if (path.size() >= PATH_MAX) return;
    const held_signals held;
    for (temporary_slot& slot : slots) {
        if (slot.taken.load()) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.taken.store(true);
        return;
    }
}

void forget_temporary(const std::string& path) {
    const held_signals held;
    for (temporary_slot& slot : slots) {
        if (slot.taken.load() && path == slot.path) {
            slot.taken.store(false);
            return;
        }
    }
}

held_signals::held_signals() {
    const sigset_t set = handled_set();
    sigprocmask(SIG_BLOCK, &set, &before);
    holds.fetch_add(1);
}

held_signals::~held_signals() {
    const int error = errno;  // the caller's, e.g. of a failed creation
    if (holds.fetch_sub(1) == 1) {
        if (const int signal_number = waiting_signal.exchange(0); signal_number != 0) raise(signal_number);
    }
    // A signal held back in this thread is handled here.
    sigprocmask(SIG_SETMASK, &before, nullptr);
    errno = error;
}

}  // namespace corvane
