// What the counts that group rows by equal windows share: the hash of a window's words, and stamps
// that tell this round's scratch entries from earlier rounds' without clearing them.
#pragma once

#include <cstdint>

namespace corvane {

// Mixes one more word of a window into its hash. The top bits depend on every bit mixed in so far,
// so they pick a slot.
inline uint64_t hash_mix(uint64_t hash, uint64_t word) {
    hash = (hash ^ word) * 0x9e3779b97f4a7c15ull;
    return hash ^ (hash >> 31);
}

// Starts a new round: scratch entries count as this round's only while they hold its stamp. When
// the stamp wraps around to 0, `clear_entries` clears them once.
template <typename clear_function>
void start_new_round(uint32_t& stamp, clear_function&& clear_entries) {
    if (++stamp == 0) {
        clear_entries();
        stamp = 1;
    }
}

}  // namespace corvane
