// Command line, option checks and output creation: everything a run does before reading input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

#include "common/message.hpp"
#include "common/run_status.hpp"
#include "report/output_file.hpp"

namespace corvane {

// The four values of the command line.
struct scan_settings {
    std::string genotype_path;
    std::string legend_path;
    float frequency = 0.0f;
    std::string output_path;
};

// Takes `argc`/`argv` (labels at 1, 3, 5, 7, values at 2, 4, 6, 8) into `settings`. Reports a wrong
// argument count (usage_error) or a frequency that is not a number in (0, 1) (bad_frequency).
run_status parse_command_line(int argc, const char* const* argv, scan_settings& settings);

// The command line, then an output path that names the genotype or legend file (also through
// links) is refused, then the output is created and its header line written.
run_status start_run(int argc, const char* const* argv, scan_settings& settings, output_file& output);

// Refuses a frequency that leaves no carrier count able to pass for `haplotype_count` haplotypes.
run_status check_threshold(const scan_settings& settings, int32_t haplotype_count);

// A whole run around a scan, the same for both drivers: setup, loading the table with
// `load(path, table)`, the threshold check, `scan(table, settings, output)`, closing the output.
// Running out of memory during the scan is reported as such, never a crash.
template <typename table_type, typename load_function, typename scan_function>
run_status run_program(int argc, const char* const* argv, scan_settings& settings, load_function&& load,
                       scan_function&& scan) {
    output_file output;
    run_status status = start_run(argc, argv, settings, output);
    if (status != run_status::run_ok) return status;
    table_type table;
    status = load(settings.genotype_path, table);
    if (status == run_status::run_ok) status = check_threshold(settings, table.haplotype_count);
    if (status == run_status::run_ok) {
        try {
            status = scan(table, settings, output);
        } catch (const std::bad_alloc&) {
            print_message(message_kind::tool, "not enough memory for the region search\n");
            status = run_status::out_of_memory;
        }
    }
    const run_status closed = close_output(output);
    return status == run_status::run_ok ? closed : status;
}

// Prints what `main` owes the user for `status` and returns the process exit status.
int finish_run(run_status status, const scan_settings& settings);

}  // namespace corvane
