// An output written under a temporary name beside its final name and renamed only when complete.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "common/run_status.hpp"

namespace corvane {

struct staged_output {
    std::string final_path;
    std::string temporary_path;  // empty once renamed or removed
    std::FILE* stream = nullptr;
    bool failed = false;         // a write failed and has been reported

    staged_output() = default;
    staged_output(const staged_output&) = delete;
    staged_output& operator=(const staged_output&) = delete;
    // Closes and removes the temporary file unless it was renamed.
    ~staged_output();
};

// Creates the temporary file; output_failed (reported) when it cannot.
run_status open_staged(staged_output& output, const std::string& final_path);

// Appends `text`; after a failure (reported once) further writes do nothing.
run_status write_staged(staged_output& output, std::string_view text);

// Flushes and closes the temporary file: a failure to write its last bytes is a failed run.
run_status close_staged(staged_output& output);

// Renames the closed temporary file to its final name.
run_status commit_staged(staged_output& output);

}  // namespace corvane
