// Runs a built tool in a child process with a deadline, an optional memory ceiling and captured streams.
#pragma once

#include <string>
#include <vector>

namespace corvane::testing {

struct tool_limits {
    unsigned seconds = 60;               // killed by SIGALRM after this long: a hang fails the test
    unsigned long long memory_kib = 0;   // address-space ceiling (as `ulimit -v`); 0 leaves it alone
    std::string directory;               // working directory of the child; empty keeps ours
};

struct tool_outcome {
    int status = -1;          // exit status, or 128 + signal number
    bool timed_out = false;   // ended by the deadline
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` (argv[0] is `program`), standard input from /dev/null.
tool_outcome run_tool(const std::string& program, const std::vector<std::string>& arguments,
                      const tool_limits& limits = {});

}  // namespace corvane::testing
