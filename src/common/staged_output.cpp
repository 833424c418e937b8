// Temporary outputs through stdio or BGZF, every write and the close checked, then renamed together.
#include "common/staged_output.hpp"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "common/message.hpp"
#include "common/signal_cleanup.hpp"
#include "common/temporary_file.hpp"

namespace corvane {

namespace {

run_status report_failed_write(staged_output& output, int error) {
    if (!output.failed) {
        print_message(message_kind::tool, "%s: cannot write: %s\n", output.final_path.c_str(),
                      std::strerror(error != 0 ? error : EIO));
    }
    output.failed = true;
    return run_status::output_failed;
}

// Flushes and closes the temporary file.
run_status close_staged(staged_output& output) {
    errno = 0;
    int result = 0;
    if (output.packed != nullptr) result = bgzf_close(output.packed);
    if (output.plain != nullptr) result = std::fclose(output.plain);
    output.packed = nullptr;
    output.plain = nullptr;
    if (result != 0) return report_failed_write(output, errno);
    return output.failed ? run_status::output_failed : run_status::run_ok;
}

// Why a finished file cannot be renamed to `final_path`, or nullptr: a folder stands there (itself
// or at the end of a link), or something that is no regular file, which the rename would replace.
const char* target_fault(const std::string& final_path) {
    struct stat name = {};
    if (lstat(final_path.c_str(), &name) != 0) return nullptr;
    struct stat target = name;
    if (S_ISLNK(name.st_mode) && stat(final_path.c_str(), &target) != 0) return nullptr;  // a link to nothing yet
    if (S_ISDIR(target.st_mode)) return std::strerror(EISDIR);
    if (!S_ISREG(target.st_mode)) {
        return "not a regular file (a device, pipe or socket), which the finished output, renamed to this name, "
               "would replace";
    }
    return nullptr;
}

run_status report_target_fault(const std::string& final_path, const char* fault) {
    print_message(message_kind::tool, "cannot create output file %s: %s\n", final_path.c_str(), fault);
    return run_status::output_failed;
}

// Renames the closed temporary file to its final name.
run_status rename_staged(staged_output& output) {
    if (std::rename(output.temporary_path.c_str(), output.final_path.c_str()) != 0) {
        print_message(message_kind::tool, "%s: cannot rename the finished temporary file to this name: %s\n",
                      output.final_path.c_str(), std::strerror(errno));
        return run_status::output_failed;
    }
    forget_temporary(output.temporary_path);
    output.temporary_path.clear();
    return run_status::run_ok;
}

// Keeps the file now under the output's final name, if any, under a second name beside it, so that
// it can be put back: a hard link, which leaves the final name in place, or where the file system
// has none, a rename. `kept` is left empty when there is no such file.
run_status keep_older_aside(const staged_output& output, std::string& kept) {
    kept.clear();
    struct stat older = {};
    if (lstat(output.final_path.c_str(), &older) != 0) return run_status::run_ok;
    const std::string aside = output.temporary_path + ".old";
    if (link(output.final_path.c_str(), aside.c_str()) != 0 &&
        std::rename(output.final_path.c_str(), aside.c_str()) != 0) {
        print_message(message_kind::tool, "%s: cannot keep the older file aside under %s while the outputs are "
                      "renamed: %s\n", output.final_path.c_str(), aside.c_str(), std::strerror(errno));
        return run_status::output_failed;
    }
    kept = aside;
    return run_status::run_ok;
}

// Takes back outputs 0 to `failed` after the rename of output `failed` failed: each older file is put
// back under its name, and a name that had none is removed again.
void put_older_files_back(const std::vector<staged_output*>& outputs, const std::vector<std::string>& kept,
                          size_t failed) {
    for (size_t j = failed + 1; j-- > 0;) {
        const std::string& final_path = outputs[j]->final_path;
        if (!kept[j].empty()) {
            // Where the older file is still under its name (a hard link of it), the rename does
            // nothing and the link is removed below.
            std::rename(kept[j].c_str(), final_path.c_str());
            unlink(kept[j].c_str());
        } else if (j < failed) {
            unlink(final_path.c_str());
        }
    }
}

}  // namespace

staged_output::~staged_output() {
    if (plain != nullptr) std::fclose(plain);
    if (packed != nullptr) bgzf_close(packed);
    if (!temporary_path.empty()) {
        unlink(temporary_path.c_str());
        forget_temporary(temporary_path);
    }
}

run_status check_output_target(const std::string& final_path) {
    if (const char* fault = target_fault(final_path)) return report_target_fault(final_path, fault);
    std::string probe;
    const int descriptor = create_temporary_beside(final_path, probe);
    if (descriptor < 0) {
        print_message(message_kind::tool, "cannot create output file %s: %s\n", final_path.c_str(),
                      std::strerror(errno));
        return run_status::output_failed;
    }
    close(descriptor);
    unlink(probe.c_str());
    forget_temporary(probe);
    return run_status::run_ok;
}

run_status open_staged(staged_output& output, const std::string& final_path, output_compression compression) {
    output.final_path = final_path;
    if (const char* fault = target_fault(final_path)) return report_target_fault(final_path, fault);
    const int descriptor = create_temporary_beside(final_path, output.temporary_path);
    if (descriptor >= 0) {
        if (compression == output_compression::bgzf) output.packed = bgzf_dopen(descriptor, "w");
        else output.plain = fdopen(descriptor, "w");
    }
    if (output.packed == nullptr && output.plain == nullptr) {
        const int error = errno != 0 ? errno : EIO;
        if (descriptor >= 0) close(descriptor);
        print_message(message_kind::tool, "cannot create output file %s: %s\n", final_path.c_str(),
                      std::strerror(error));
        return run_status::output_failed;
    }
    if (output.plain != nullptr) std::setvbuf(output.plain, nullptr, _IOFBF, size_t{1} << 20);
    return run_status::run_ok;
}

void compress_with_threads(staged_output& output, int threads) {
    if (output.packed != nullptr && threads > 0) bgzf_mt(output.packed, threads, 256);
}

run_status write_staged(staged_output& output, std::string_view text) {
    if (output.failed) return run_status::output_failed;
    errno = 0;
    const bool written = output.packed != nullptr
                             ? bgzf_write(output.packed, text.data(), text.size()) == static_cast<ssize_t>(text.size())
                             : std::fwrite(text.data(), 1, text.size(), output.plain) == text.size();
    return written ? run_status::run_ok : report_failed_write(output, errno);
}

run_status rewrite_staged_start(staged_output& output, std::string_view bytes) {
    if (output.failed) return run_status::output_failed;
    errno = 0;
    if (std::fflush(output.plain) != 0 || std::fseek(output.plain, 0, SEEK_SET) != 0 ||
        std::fwrite(bytes.data(), 1, bytes.size(), output.plain) != bytes.size() ||
        std::fseek(output.plain, 0, SEEK_END) != 0) {
        return report_failed_write(output, errno);
    }
    return run_status::run_ok;
}

namespace {

// Closes the outputs and renames them, all or none (commit_staged without its clearing up).
run_status close_and_rename(const std::vector<staged_output*>& outputs) {
    for (staged_output* output : outputs) {
        if (const run_status closed = close_staged(*output); closed != run_status::run_ok) return closed;
    }
    for (staged_output* output : outputs) {
        if (const char* fault = target_fault(output->final_path)) return report_target_fault(output->final_path, fault);
    }
    // Each older file is kept aside until every output has its name.
    std::vector<std::string> kept(outputs.size());
    for (size_t k = 0; k < outputs.size(); ++k) {
        run_status status = keep_older_aside(*outputs[k], kept[k]);
        if (status == run_status::run_ok) status = rename_staged(*outputs[k]);
        if (status == run_status::run_ok) continue;
        put_older_files_back(outputs, kept, k);
        return status;
    }
    for (const std::string& aside : kept) {
        if (!aside.empty()) unlink(aside.c_str());
    }
    return run_status::run_ok;
}

}  // namespace

run_status commit_staged(const std::vector<staged_output*>& outputs) {
    // Every name is settled before a signal may end the run.
    const held_signals held;
    const run_status status = close_and_rename(outputs);
    if (status == run_status::run_ok) return status;
    for (staged_output* output : outputs) {
        if (output->temporary_path.empty()) continue;
        unlink(output->temporary_path.c_str());
        forget_temporary(output->temporary_path);
        output->temporary_path.clear();
    }
    return status;
}

}  // namespace corvane
