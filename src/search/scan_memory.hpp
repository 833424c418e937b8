// The one message both scan drivers give when the region search runs out of memory.
#pragma once

#include <cstdio>

#include "run_status.hpp"

namespace corvane {

inline run_status report_scan_out_of_memory() {
    std::fprintf(stderr, "corvane: not enough memory for the region search\n");
    return run_status::out_of_memory;
}

}  // namespace corvane
