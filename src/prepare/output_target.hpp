// An output file written under a temporary name beside its final name, renamed only when complete.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include <htslib/bgzf.h>

#include "common/run_status.hpp"

namespace corvane {

struct output_target {
    std::string final_path;
    std::string temporary_path;  // empty once renamed or removed
    std::FILE* plain = nullptr;
    BGZF* packed = nullptr;
    bool failed = false;         // a write failed and has been reported

    output_target() = default;
    output_target(const output_target&) = delete;
    output_target& operator=(const output_target&) = delete;
    // Closes and removes the temporary file unless it was committed.
    ~output_target();
};

// Creates a temporary file in the directory of `final_path`, written through BGZF when `packed`.
// Reports and returns output_failed on failure.
run_status open_output(output_target& target, const std::string& final_path, bool packed);

// Writes `text`; after a failure (reported once) further writes do nothing and return output_failed.
run_status write_output(output_target& target, std::string_view text);

// Flushes and closes the temporary file; output_failed (reported) if its last bytes could not be written.
run_status close_output(output_target& target);

// Renames the closed temporary file to the final name; output_failed (reported) on failure.
run_status commit_output(output_target& target);

// Removes the file now under the final name (undoing a commit when a later one failed).
void withdraw_output(output_target& target);

}  // namespace corvane
