// Scratch files and child processes for the tests.
#include "support/test_support.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

namespace corvane::testing {

scratch_dir::scratch_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

scratch_dir::~scratch_dir() {
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path, ignored);
}

std::string scratch_dir::file(const std::string& name) const { return path + "/" + name; }

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> directory_names(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> directory_contents(const std::string& directory) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        contents[entry.path().filename().string()] = entry.is_directory() ? "<folder>" : read_file(entry.path().string());
    }
    return contents;
}

std::vector<std::string> names_starting_with(const std::string& directory, const std::string& prefix) {
    std::vector<std::string> names;
    for (const std::string& name : directory_names(directory)) {
        if (name.starts_with(prefix)) names.push_back(name);
    }
    return names;
}

std::string read_gzip_file(const std::string& path) {
    gzFile file = gzopen(path.c_str(), "rb");
    if (file == nullptr) throw std::runtime_error("cannot open " + path);
    std::string bytes;
    char buffer[1 << 16];
    int got = 0;
    while ((got = gzread(file, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(got));
    gzclose(file);
    return bytes;
}

namespace {

// fork + exec with the limits applied in the child, so the test process itself stays unlimited.
pid_t start_program(const std::string& program, const std::vector<std::string>& arguments, const run_limits& limits,
                    const std::string& out_path, const std::string& err_path) {
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
        // The tools start as from a shell, whatever the test runner ignores.
        for (const int signal_number : {SIGTERM, SIGHUP, SIGINT}) signal(signal_number, SIG_DFL);
        signal(SIGALRM, SIG_DFL);
        alarm(limits.seconds);  // survives exec: the default action ends the program
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return child;
}

run_result wait_for_program(pid_t child, const std::string& out_path, const std::string& err_path) {
    int wait_status = 0;
    while (waitpid(child, &wait_status, 0) < 0 && errno == EINTR) {
    }
    run_result result;
    if (WIFEXITED(wait_status)) {
        result.status = WEXITSTATUS(wait_status);
    } else {
        result.status = 128 + WTERMSIG(wait_status);
        result.timed_out = WTERMSIG(wait_status) == SIGALRM;
    }
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

}  // namespace

run_result run_program(const std::string& program, const std::vector<std::string>& arguments,
                       const run_limits& limits) {
    scratch_dir streams;
    const std::string out_path = streams.file("stdout"), err_path = streams.file("stderr");
    return wait_for_program(start_program(program, arguments, limits, out_path, err_path), out_path, err_path);
}

run_result run_program_until_signalled(const std::string& program, const std::vector<std::string>& arguments,
                                       int signal_number, const std::function<bool()>& ready,
                                       const run_limits& limits) {
    scratch_dir streams;
    const std::string out_path = streams.file("stdout"), err_path = streams.file("stderr");
    const pid_t child = start_program(program, arguments, limits, out_path, err_path);
    // Asked until it holds or the child has ended; the child's own deadline bounds the wait.
    for (;;) {
        if (ready()) {
            kill(child, signal_number);
            break;
        }
        siginfo_t ended = {};
        if (waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == child) break;
        usleep(10000);
    }
    return wait_for_program(child, out_path, err_path);
}

run_result run_scan_tool(const std::string& program, const std::string& genotypes, const std::string& legend,
                       const std::string& frequency, const std::string& output) {
    return run_program(program, {"-hap", genotypes, "-legend", legend, "-freq", frequency, "-out", output});
}

}  // namespace corvane::testing
