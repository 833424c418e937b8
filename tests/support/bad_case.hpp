// One bad-input case run against both scan tools, with the checks every case shares, and the helpers
// of checking what a refused run left behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/fixtures.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {

struct bad_case {
    std::vector<std::string> arguments;  // everything after argv[0]
    std::vector<std::string> inputs;     // paths whose bytes (or absence, or directory) must not change
    std::string output;                  // removed before each tool's run unless it existed before the case
    run_limits limits = {.seconds = 60};  // a hang fails the case
    bool same_messages = true;  // false where the text depends on the tool's memory layout
};

struct case_outcome {
    int status = -1;
    bool timed_out = false;
    std::string out;
    std::string err;
    bool output_exists = false;
    std::string output;  // the output file's bytes after the run
};

// `-hap G -legend L -freq F -out O`
std::vector<std::string> scan_arguments(const std::string& genotypes, const std::string& legend,
                                        const std::string& frequency, const std::string& output);

// A scan of `genotypes` and `legend` into `output`, both inputs watched.
bad_case scan_case(const std::string& genotypes, const std::string& legend, const std::string& frequency,
                   const std::string& output);

// Runs the case with corvane and, when it is built, corvane-reference. Expects (gtest) that no input
// changed, that no run hung, and that the reference agrees with corvane on status, standard output,
// standard error and output bytes. Returns corvane's outcome.
case_outcome run_bad_case(const bad_case& to_run);

// Another process holding an exclusive lock (flock) on `path` from construction to destruction, as a
// run writing that file does. The lock is held before the constructor returns.
struct held_lock {
    int pid = -1;
    int release = -1;  // closing it ends the holder
    explicit held_lock(const std::string& path);
    ~held_lock();
    held_lock(const held_lock&) = delete;
    held_lock& operator=(const held_lock&) = delete;
};


}  // namespace corvane::testing
