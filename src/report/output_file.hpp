// The result table: creation, header line, one row per region, every failed write reported.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/run_status.hpp"
#include "report/region_row.hpp"

namespace corvane {

struct output_file {
    std::FILE* stream = nullptr;
    std::string path;
    std::string created_file;  // the file this run created (a link's target), or empty if it existed

    output_file() = default;
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;
    ~output_file();
};

// Creates the output file, or opens and truncates it. The file is locked (flock) before anything is
// truncated or written, and stays locked until it is closed: when another run holds the lock, reports
// "output file PATH is locked by another run writing it" and returns output_failed with the file
// untouched. Where the file system offers no locks the run goes on without one. Reports and returns
// output_failed when the file cannot be created.
run_status create_output(output_file& output, const std::string& path);

// "chr", "startpos", "endpos", "genetic_dist", "physical_dist", "n.snp", tab-separated.
run_status write_header_row(output_file& output);

// One tab-separated row; the genetic distance printed like printf's "%g". Flushed at once so an
// interrupted run leaves every row found so far.
run_status write_region_row(output_file& output, const region_row& row);

// Closes the file and removes what this run created: when the output path is a link that pointed
// nowhere, the file created at its target, not the user's link. A file that existed is left alone.
void discard_output(output_file& output);

// Closes the file; a failure to write its last bytes is a failed run.
run_status close_output(output_file& output);

}  // namespace corvane
