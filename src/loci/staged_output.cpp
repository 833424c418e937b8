// Temporary outputs through stdio, every write and the close checked, then renamed to their final name.
#include "loci/staged_output.hpp"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "common/message.hpp"
#include "common/temporary_file.hpp"

namespace corvane {

namespace {

run_status report(staged_output& output, const char* what, int error) {
    print_message(message_kind::tool, "%s: %s: %s\n", output.final_path.c_str(), what,
                  std::strerror(error != 0 ? error : EIO));
    output.failed = true;
    return run_status::output_failed;
}

}  // namespace

staged_output::~staged_output() {
    if (stream != nullptr) std::fclose(stream);
    if (!temporary_path.empty()) unlink(temporary_path.c_str());
}

run_status open_staged(staged_output& output, const std::string& final_path) {
    output.final_path = final_path;
    const int descriptor = create_temporary_beside(final_path, output.temporary_path);
    if (descriptor < 0) return report(output, "cannot create", errno);
    output.stream = fdopen(descriptor, "w");
    if (output.stream == nullptr) {
        const int error = errno;
        close(descriptor);
        return report(output, "cannot create", error);
    }
    std::setvbuf(output.stream, nullptr, _IOFBF, size_t{1} << 20);
    return run_status::run_ok;
}

run_status write_staged(staged_output& output, std::string_view text) {
    if (output.failed) return run_status::output_failed;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), output.stream) != text.size()) return report(output, "cannot write", errno);
    return run_status::run_ok;
}

run_status close_staged(staged_output& output) {
    std::FILE* stream = output.stream;
    output.stream = nullptr;
    errno = 0;
    if (std::fclose(stream) != 0 && !output.failed) return report(output, "cannot write", errno);
    return output.failed ? run_status::output_failed : run_status::run_ok;
}

run_status commit_staged(staged_output& output) {
    if (std::rename(output.temporary_path.c_str(), output.final_path.c_str()) != 0) {
        return report(output, "cannot rename the finished temporary file to this name", errno);
    }
    output.temporary_path.clear();
    return run_status::run_ok;
}

}  // namespace corvane
