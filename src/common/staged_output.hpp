// An output written under a temporary name beside its final name and renamed only when complete,
// plain or BGZF-compressed; the outputs of one run are put under their final names all or none.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <htslib/bgzf.h>

#include "common/run_status.hpp"

namespace corvane {

enum class output_compression { none, bgzf };

struct staged_output {
    std::string final_path;
    std::string temporary_path;  // empty once renamed or removed
    std::FILE* plain = nullptr;
    BGZF* packed = nullptr;      // set instead of `plain` for a BGZF output
    bool failed = false;         // a write failed and has been reported

    staged_output() = default;
    staged_output(const staged_output&) = delete;
    staged_output& operator=(const staged_output&) = delete;
    // Closes and removes the temporary file unless it was renamed.
    ~staged_output();
};

// Refuses, before any work, a final name that cannot take an output: a folder (also at the end of a
// link), a device, pipe or socket, a folder that does not exist or cannot be written. Reported as
// "cannot create output file PATH: REASON" (output_failed).
run_status check_output_target(const std::string& final_path);

// Creates the temporary file beside `final_path`, with the permissions any new file of the user
// gets. Reports "cannot create output file PATH: REASON" and returns output_failed when it cannot.
run_status open_staged(staged_output& output, const std::string& final_path,
                       output_compression compression = output_compression::none);

// Compresses a BGZF output with `threads` threads besides the caller's.
void compress_with_threads(staged_output& output, int threads);

// Appends `text`; after a failure (reported once, "PATH: cannot write: REASON") further writes do
// nothing and return output_failed.
run_status write_staged(staged_output& output, std::string_view text);

// Writes `bytes` over the first bytes of a plain output, for a header whose numbers are known only
// once the rest is written; later writes append again.
run_status rewrite_staged_start(staged_output& output, std::string_view bytes);

// Closes every output, a failure to write its last bytes being a failed run, then renames each to its
// final name. On any failure (reported) every final name holds what it held before (the older file,
// or nothing), and no temporary file is left. A signal meanwhile waits until every name is settled.
run_status commit_staged(const std::vector<staged_output*>& outputs);

}  // namespace corvane
