// Temporary outputs through stdio or BGZF, every write and the close checked, then renamed together.
#include "common/staged_output.hpp"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "common/message.hpp"
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

// Renames the closed temporary file to its final name.
run_status rename_staged(staged_output& output) {
    if (std::rename(output.temporary_path.c_str(), output.final_path.c_str()) != 0) {
        print_message(message_kind::tool, "%s: cannot rename the finished temporary file to this name: %s\n",
                      output.final_path.c_str(), std::strerror(errno));
        return run_status::output_failed;
    }
    output.temporary_path.clear();
    return run_status::run_ok;
}

}  // namespace

staged_output::~staged_output() {
    if (plain != nullptr) std::fclose(plain);
    if (packed != nullptr) bgzf_close(packed);
    if (!temporary_path.empty()) unlink(temporary_path.c_str());
}

run_status open_staged(staged_output& output, const std::string& final_path, output_compression compression) {
    output.final_path = final_path;
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

run_status commit_staged(const std::vector<staged_output*>& outputs) {
    for (staged_output* output : outputs) {
        if (const run_status closed = close_staged(*output); closed != run_status::run_ok) return closed;
    }
    for (size_t k = 0; k < outputs.size(); ++k) {
        const run_status renamed = rename_staged(*outputs[k]);
        if (renamed == run_status::run_ok) continue;
        // All or none: take back the names already given.
        for (size_t j = 0; j < k; ++j) unlink(outputs[j]->final_path.c_str());
        return renamed;
    }
    return run_status::run_ok;
}

}  // namespace corvane
