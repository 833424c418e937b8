// Runs a bad-input case against each scan tool and compares what they did.
#include "support/bad_case.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace corvane::testing {

namespace {

struct tool_path {
    const char* name;
    const char* path;
};

std::vector<tool_path> scan_tools() {
    std::vector<tool_path> tools = {{"corvane", CORVANE_EXE}};
#ifdef CORVANE_REFERENCE_EXE
    tools.push_back({"corvane-reference", CORVANE_REFERENCE_EXE});
#endif
    return tools;
}

// What a path holds, as far as a run could change it.
struct path_state {
    bool exists = false;
    bool directory = false;
    std::string bytes;
    bool operator==(const path_state&) const = default;
};

path_state state_of(const std::string& path) {
    path_state state;
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    state.exists = !error && std::filesystem::exists(status);
    state.directory = state.exists && std::filesystem::is_directory(status);
    if (state.exists && std::filesystem::is_regular_file(status)) state.bytes = read_file(path);
    return state;
}

case_outcome run_one(const tool_path& tool, const bad_case& to_run, bool output_existed) {
    std::vector<path_state> before;
    for (const std::string& input : to_run.inputs) before.push_back(state_of(input));
    std::error_code ignored;
    if (!output_existed && !to_run.output.empty()) std::filesystem::remove(to_run.output, ignored);

    const run_result ran = run_program(tool.path, to_run.arguments, to_run.limits);
    EXPECT_FALSE(ran.timed_out) << tool.name << " did not finish within " << to_run.limits.seconds << " s";
    EXPECT_LT(ran.status, 128) << tool.name << " was killed by signal " << ran.status - 128 << "\n" << ran.err;
    for (size_t i = 0; i < to_run.inputs.size(); ++i) {
        EXPECT_TRUE(state_of(to_run.inputs[i]) == before[i]) << tool.name << " changed input " << to_run.inputs[i];
    }

    case_outcome outcome;
    outcome.status = ran.status;
    outcome.timed_out = ran.timed_out;
    outcome.out = ran.out;
    outcome.err = ran.err;
    if (!to_run.output.empty()) {
        const path_state output = state_of(to_run.output);
        outcome.output_exists = output.exists;
        outcome.output = output.bytes;
    }
    return outcome;
}

}  // namespace

std::vector<std::string> scan_arguments(const std::string& genotypes, const std::string& legend,
                                        const std::string& frequency, const std::string& output) {
    return {"-hap", genotypes, "-legend", legend, "-freq", frequency, "-out", output};
}

bad_case scan_case(const std::string& genotypes, const std::string& legend, const std::string& frequency,
                   const std::string& output) {
    bad_case to_run;
    to_run.arguments = scan_arguments(genotypes, legend, frequency, output);
    to_run.inputs = {genotypes, legend};
    to_run.output = output;
    return to_run;
}

case_outcome run_bad_case(const bad_case& to_run) {
    // A link that points nowhere exists too: it is the user's, and a case may be about it.
    std::error_code error;
    const bool output_existed =
        !to_run.output.empty() && std::filesystem::exists(std::filesystem::symlink_status(to_run.output, error));
    const std::vector<tool_path> tools = scan_tools();
    const case_outcome first = run_one(tools[0], to_run, output_existed);
    for (size_t t = 1; t < tools.size(); ++t) {
        const case_outcome other = run_one(tools[t], to_run, output_existed);
        const std::string pair = std::string(tools[t].name) + " against " + tools[0].name;
        EXPECT_EQ(other.status, first.status) << pair;
        if (to_run.same_messages) {
            EXPECT_EQ(other.out, first.out) << pair;
            EXPECT_EQ(other.err, first.err) << pair;
        }
        EXPECT_EQ(other.output_exists, first.output_exists) << pair;
        EXPECT_TRUE(other.output == first.output) << pair << ": output files differ";
    }
    return first;
}

held_lock::held_lock(const std::string& path) {
    int locked[2], released[2];
    if (pipe2(locked, O_CLOEXEC) != 0 || pipe2(released, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipe for the lock holder";
        return;
    }
    pid = fork();
    if (pid == 0) {
        close(locked[0]);
        close(released[1]);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0666);
        const char held = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
        if (write(locked[1], &held, 1) != 1) _exit(1);
        char ignored;
        while (read(released[0], &ignored, 1) > 0) {
        }
        _exit(0);
    }
    close(locked[1]);
    close(released[0]);
    release = released[1];
    char held = 'n';
    // The holder answers once it holds the lock: no waiting on time.
    EXPECT_TRUE(read(locked[0], &held, 1) == 1 && held == 'y') << "the lock holder could not lock " << path;
    close(locked[0]);
}

held_lock::~held_lock() {
    if (release >= 0) close(release);
    if (pid > 0) waitpid(pid, nullptr, 0);
}

}  // namespace corvane::testing
