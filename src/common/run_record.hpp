// The run record (a ".log" beside the outputs) of corvane-prepare and corvane-loci: what a run read,
// was asked, counted and wrote, what it cost and how it ended, one fact per line in the layout every
// tool of the family writes (corvane-plot too), gathered as the run goes and written at its end.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/run_status.hpp"

namespace corvane {

// An input file; `facts` are "key=value" fields after its size and time ("haplotypes=758").
struct record_input {
    std::string path;
    std::vector<std::string> facts;
};

// An option of the tool: its value in effect (several for an option given more than once, none for
// a list left empty) and whether the command line gave it or it is the default.
struct record_parameter {
    std::string name;
    std::vector<std::string> values;
    bool given = false;
};

struct run_record {
    std::string tool;
    std::vector<std::string> command;  // argv, the program first
    std::string folder;
    std::time_t started = 0;
    std::chrono::steady_clock::time_point clock;
    std::vector<record_input> inputs;
    std::vector<record_parameter> parameters;
    std::vector<std::pair<std::string, int64_t>> counts;
    std::vector<std::string> outputs;
    std::string path;      // where the record goes; empty while unknown
    bool written = true;   // false once its name was found to be an input or an output of the run
};

// How a run ended, as its record says: the exit status, one word and, for a failed run, the message it
// printed.
struct run_ending {
    int exit_status = 0;
    std::string word;
    std::string message;
};

// A record of the running tool (program_name), begun now with the command line `argv`.
run_record start_run_record(int argc, const char* const* argv);

// Adds an input; the same path again adds its facts to the line it has (a panel's H and S, known once
// it is read).
void add_record_input(run_record& record, const std::string& path, const std::vector<std::string>& facts = {});
void add_record_count(run_record& record, std::string name, int64_t value);

// Whether a run that ended with `status` writes its record: every run that got past its command
// line (not --help, --version or a wrong command line).
bool writes_run_record(run_status status);

// The ending of a run that ended with `status`; a failed run's message is the last one it printed.
run_ending ending_of(run_status status);

// Names where the record goes. A name that is one of the run's inputs or outputs would replace it:
// that is said once, as a warning, and no record is written.
void place_run_record(run_record& record, const std::string& path, const std::vector<std::string>& outputs);

// The record's text for a run that ended as `ending`: inputs in the order they stand on the command
// line, each with its size and time of modification as they are now, then the cost of the run so far.
std::string run_record_text(const run_record& record, const run_ending& ending);

// Writes the record under a temporary name beside record.path and renames it. A record that cannot
// be written is a warning on standard error; it never changes how the run ended.
void write_run_record(const run_record& record, const run_ending& ending);

// `word` as a POSIX shell reads it back: as it is when it holds only characters no shell treats
// specially, else in single quotes.
std::string shell_quoted(std::string_view word);

}  // namespace corvane
