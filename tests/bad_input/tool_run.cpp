// fork + exec with the limits applied in the child, so the test process itself stays unlimited.
#include "tool_run.hpp"

#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../test_support.hpp"

namespace corvane::testing {

tool_outcome run_tool(const std::string& program, const std::vector<std::string>& arguments,
                      const tool_limits& limits) {
    scratch_dir streams;
    const std::string out_path = streams.file("stdout"), err_path = streams.file("stderr");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
        if (!limits.directory.empty() && chdir(limits.directory.c_str()) != 0) _exit(126);
        if (limits.memory_kib > 0) {
            const rlim_t bytes = static_cast<rlim_t>(limits.memory_kib) * 1024;
            const struct rlimit ceiling = {bytes, bytes};
            if (setrlimit(RLIMIT_AS, &ceiling) != 0) _exit(126);
        }
        signal(SIGALRM, SIG_DFL);
        alarm(limits.seconds);  // survives exec: the default action ends the tool
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int wait_status = 0;
    while (waitpid(child, &wait_status, 0) < 0 && errno == EINTR) {
    }
    tool_outcome outcome;
    if (WIFEXITED(wait_status)) {
        outcome.status = WEXITSTATUS(wait_status);
    } else {
        outcome.status = 128 + WTERMSIG(wait_status);
        outcome.timed_out = WTERMSIG(wait_status) == SIGALRM;
    }
    outcome.out = read_file(out_path);
    outcome.err = read_file(err_path);
    return outcome;
}

}  // namespace corvane::testing
