// Helpers for tests: scratch files and running the built tools with captured streams.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace corvane::testing {

// A fresh directory under the system's temporary folder, removed with its contents at destruction.
struct scratch_dir {
    std::string path;
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    // path + "/" + name
    std::string file(const std::string& name) const;
};

void write_file(const std::string& path, const std::string& bytes);
// The sorted names in `directory`, to show that a refused run created nothing; and those of them
// that start with `prefix` (outputs and any temporary left beside them).
std::vector<std::string> directory_names(const std::string& directory);
// Each name in `directory` with the bytes of its file ("<folder>" for a folder), to show that a
// refused run left every older file as it was.
std::map<std::string, std::string> directory_contents(const std::string& directory);
std::vector<std::string> names_starting_with(const std::string& directory, const std::string& prefix);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
// The decompressed bytes of a gzip file.
std::string read_gzip_file(const std::string& path);

struct run_limits {
    unsigned seconds = 0;                // killed by SIGALRM after this long (0: no deadline)
    unsigned long long memory_kib = 0;   // address-space ceiling (as `ulimit -v`); 0 leaves it alone
    std::string directory = "";          // working directory of the child; empty keeps ours
};

struct run_result {
    int status = -1;          // exit status, or 128 + signal number
    bool timed_out = false;   // ended by the deadline
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` (not including argv[0]), standard input from /dev/null: the one
// way every test starts a built tool.
run_result run_program(const std::string& program, const std::vector<std::string>& arguments,
                       const run_limits& limits = {});

// Runs `program` as run_program does and sends it `signal_number` as soon as `ready()` holds (asked
// every 10 ms while it runs; set a deadline in `limits`).
run_result run_program_until_signalled(const std::string& program, const std::vector<std::string>& arguments,
                                       int signal_number, const std::function<bool()>& ready,
                                       const run_limits& limits);

// Runs corvane as `corvane -hap G -legend L -freq F -out O`.
run_result run_scan_tool(const std::string& program, const std::string& genotypes, const std::string& legend,
                       const std::string& frequency, const std::string& output);

}  // namespace corvane::testing
