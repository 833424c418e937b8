// Gathers a run's facts and writes them as its record, "key<TAB>value" a line.
#include "common/run_record.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/message.hpp"
#include "common/same_file.hpp"
#include "common/signal_cleanup.hpp"
#include "common/temporary_file.hpp"
#include "common/version.hpp"

namespace corvane {

namespace {

std::string utc_time(std::time_t seconds) {
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

double seconds_of(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

std::string two_decimals(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// One line of fields; a tab or newline inside a field (a path, a message) would split it, so it
// stands as a blank.
void append_line(std::string& text, const std::vector<std::string>& fields) {
    for (size_t k = 0; k < fields.size(); ++k) {
        if (k > 0) text += '\t';
        for (const char c : fields[k]) text += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
    }
    text += '\n';
}

// Where `path` first stands on the command line: as an argument, or as the value of --name=PATH.
size_t command_line_place(const std::vector<std::string>& command, const std::string& path) {
    for (size_t k = 1; k < command.size(); ++k) {
        const std::string& word = command[k];
        if (word == path) return k;
        if (word.starts_with("--") && word.size() > path.size() && word.ends_with(path) &&
            word[word.size() - path.size() - 1] == '=') {
            return k;
        }
    }
    return command.size();
}

std::vector<std::string> input_line(const record_input& input) {
    std::vector<std::string> fields = {"input", input.path};
    struct stat facts {};
    if (stat(input.path.c_str(), &facts) == 0) {
        fields.push_back("bytes=" + std::to_string(static_cast<long long>(facts.st_size)));
        fields.push_back("modified=" + utc_time(facts.st_mtime));
    } else {
        fields.push_back(std::string("unreadable=") + std::strerror(errno));
    }
    fields.insert(fields.end(), input.facts.begin(), input.facts.end());
    return fields;
}

void warn_unwritten(const std::string& path, const char* reason) {
    print_message(message_kind::tool, "warning: cannot write the run record %s: %s\n", path.c_str(), reason);
}

}  // namespace

run_record start_run_record(int argc, const char* const* argv) {
    run_record record;
    record.tool = program_name();
    record.command.assign(argv, argv + argc);
    std::error_code fault;
    record.folder = std::filesystem::current_path(fault).string();
    record.started = std::time(nullptr);
    record.clock = std::chrono::steady_clock::now();
    return record;
}

void add_record_input(run_record& record, const std::string& path, const std::vector<std::string>& facts) {
    if (path.empty()) return;
    for (record_input& input : record.inputs) {
        if (input.path != path) continue;
        input.facts.insert(input.facts.end(), facts.begin(), facts.end());
        return;
    }
    record.inputs.push_back({path, facts});
}

void add_record_count(run_record& record, std::string name, int64_t value) {
    record.counts.emplace_back(std::move(name), value);
}

bool writes_run_record(run_status status) {
    return status != run_status::help_shown && exit_code(status) != exit_code(run_status::usage_error);
}

run_ending ending_of(run_status status) {
    if (status == run_status::run_ok) return {0, "done", ""};
    const bool output = status == run_status::output_failed || status == run_status::same_file;
    return {exit_code(status), output ? "output failed" : "bad input", last_message()};
}

void place_run_record(run_record& record, const std::string& path, const std::vector<std::string>& outputs) {
    record.path = path;
    for (const record_input& input : record.inputs) {
        if (!names_same_file(path, input.path)) continue;
        print_message(message_kind::note, "warning: %s names an input; the run record is not written\n", path.c_str());
        record.written = false;
        return;
    }
    for (const std::string& output : outputs) {
        if (!names_same_file(path, output)) continue;
        print_message(message_kind::note, "warning: %s names an output; the run record is not written\n",
                      path.c_str());
        record.written = false;
        return;
    }
}

std::string run_record_text(const run_record& record, const run_ending& ending) {
    std::string text;
    std::string command;
    for (const std::string& word : record.command) command += (command.empty() ? "" : " ") + shell_quoted(word);
    append_line(text, {"tool", record.tool});
    append_line(text, {"version", std::string(program_version())});
    append_line(text, {"command", command});
    append_line(text, {"folder", record.folder});
    append_line(text, {"started", utc_time(record.started)});
    std::vector<const record_input*> inputs;
    for (const record_input& input : record.inputs) inputs.push_back(&input);
    std::stable_sort(inputs.begin(), inputs.end(), [&](const record_input* a, const record_input* b) {
        return command_line_place(record.command, a->path) < command_line_place(record.command, b->path);
    });
    for (const record_input* input : inputs) append_line(text, input_line(*input));
    for (const record_parameter& parameter : record.parameters) {
        std::vector<std::string> fields = {"parameter", parameter.name};
        fields.insert(fields.end(), parameter.values.begin(), parameter.values.end());
        if (parameter.values.empty()) fields.emplace_back();
        fields.emplace_back(parameter.given ? "given" : "default");
        append_line(text, fields);
    }
    for (const auto& [name, value] : record.counts) append_line(text, {"count", name, std::to_string(value)});
    for (const std::string& output : record.outputs) append_line(text, {"output", output});
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - record.clock).count();
    append_line(text, {"wall_seconds", two_decimals(wall)});
    append_line(text, {"cpu_seconds", two_decimals(seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime))});
    append_line(text, {"peak_memory_kb", std::to_string(static_cast<long long>(usage.ru_maxrss))});
    append_line(text, {"status", std::to_string(ending.exit_status), ending.word});
    if (ending.exit_status != 0) append_line(text, {"message", ending.message});
    return text;
}

void write_run_record(const run_record& record, const run_ending& ending) {
    if (!record.written || record.path.empty()) return;
    const std::string text = run_record_text(record, ending);
    std::string temporary;
    const int descriptor = create_temporary_beside(record.path, temporary);
    if (descriptor < 0) {
        warn_unwritten(record.path, std::strerror(errno));
        return;
    }
    note_temporary(temporary);
    int fault = 0;
    for (size_t done = 0; done < text.size() && fault == 0;) {
        const ssize_t wrote = write(descriptor, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) fault = wrote < 0 ? errno : EIO;
        else done += static_cast<size_t>(wrote);
    }
    if (close(descriptor) != 0 && fault == 0) fault = errno;
    if (fault == 0 && std::rename(temporary.c_str(), record.path.c_str()) != 0) fault = errno;
    if (fault != 0) unlink(temporary.c_str());
    forget_temporary(temporary);
    if (fault != 0) warn_unwritten(record.path, std::strerror(fault));
}

std::string shell_quoted(std::string_view word) {
    if (word.empty()) return "''";
    const bool plain = std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               (c != '\0' && std::strchr("_@%+=:,./-", c) != nullptr);
    });
    if (plain) return std::string(word);
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\"'\"'") : std::string(1, c);
    return quoted + "'";
}

}  // namespace corvane
