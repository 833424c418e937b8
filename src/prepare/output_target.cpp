// Temporary output files beside the final name, written through plain stdio or BGZF, then renamed.
#include "prepare/output_target.hpp"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "common/message.hpp"
#include "common/temporary_file.hpp"

namespace corvane {

namespace {

void report(const output_target& target, const char* what, int error) {
    print_message(message_kind::tool, "%s %s: %s\n", what, target.final_path.c_str(),
                  std::strerror(error != 0 ? error : EIO));
}

}  // namespace

output_target::~output_target() {
    if (plain != nullptr) std::fclose(plain);
    if (packed != nullptr) bgzf_close(packed);
    if (!temporary_path.empty()) unlink(temporary_path.c_str());
}

run_status open_output(output_target& target, const std::string& final_path, bool packed) {
    target.final_path = final_path;
    const int descriptor = create_temporary_beside(final_path, target.temporary_path);
    if (descriptor < 0) {
        report(target, "cannot create a temporary file for", errno);
        return run_status::output_failed;
    }
    if (packed) target.packed = bgzf_dopen(descriptor, "w");
    else target.plain = fdopen(descriptor, "w");
    if (target.packed == nullptr && target.plain == nullptr) {
        report(target, "cannot write", errno);
        close(descriptor);
        return run_status::output_failed;
    }
    if (target.plain != nullptr) std::setvbuf(target.plain, nullptr, _IOFBF, size_t{1} << 20);
    return run_status::run_ok;
}

run_status write_output(output_target& target, std::string_view text) {
    if (target.failed) return run_status::output_failed;
    errno = 0;
    bool written = false;
    if (target.packed != nullptr) {
        written = bgzf_write(target.packed, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    } else {
        written = std::fwrite(text.data(), 1, text.size(), target.plain) == text.size();
    }
    if (!written) {
        report(target, "cannot write", errno);
        target.failed = true;
    }
    return written ? run_status::run_ok : run_status::output_failed;
}

run_status close_output(output_target& target) {
    errno = 0;
    int result = 0;
    if (target.packed != nullptr) result = bgzf_close(target.packed);
    if (target.plain != nullptr) result = std::fclose(target.plain);
    target.packed = nullptr;
    target.plain = nullptr;
    if (result != 0 && !target.failed) {
        report(target, "cannot write", errno);
        target.failed = true;
    }
    return target.failed ? run_status::output_failed : run_status::run_ok;
}

run_status commit_output(output_target& target) {
    if (std::rename(target.temporary_path.c_str(), target.final_path.c_str()) != 0) {
        report(target, "cannot rename the finished temporary file to", errno);
        return run_status::output_failed;
    }
    target.temporary_path.clear();
    return run_status::run_ok;
}

void withdraw_output(output_target& target) {
    unlink(target.final_path.c_str());
}

}  // namespace corvane
