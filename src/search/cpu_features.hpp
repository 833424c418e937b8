// Lets the hot counting loops use the processor's popcount instruction where it has one.
#pragma once

// x86-64 processors before about 2008 lack POPCNT, so the loops are compiled twice and the loader
// picks the version this processor runs; elsewhere the compiler's own choice stands.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define CORVANE_WITH_POPCOUNT __attribute__((target_clones("popcnt", "default")))
#else
#define CORVANE_WITH_POPCOUNT
#endif
