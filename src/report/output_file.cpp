// Writes the result table through stdio, checking every write and flush.
#include "report/output_file.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/message.hpp"

namespace corvane {

namespace {

run_status report_write_error(const output_file& output, int error) {
    print_message(message_kind::tool, "%s: cannot write: %s\n", output.path.c_str(), std::strerror(error));
    return run_status::output_failed;
}

run_status write_line(output_file& output, std::string_view text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), output.stream) != text.size() || std::fflush(output.stream) != 0) {
        return report_write_error(output, errno != 0 ? errno : EIO);
    }
    return run_status::run_ok;
}

run_status report_create_error(const std::string& path, int error) {
    print_message(message_kind::tool, "cannot create output file %s: %s\n", path.c_str(), std::strerror(error));
    return run_status::output_failed;
}

// The file a path names, through any links; the path itself when that cannot be told.
std::string file_behind(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

output_file::~output_file() {
    if (stream != nullptr) std::fclose(stream);
}

run_status create_output(output_file& output, const std::string& path) {
    output.path = path;
    struct stat before {};
    const bool existed = stat(path.c_str(), &before) == 0;
    // Opened without truncating: another run may be writing the file, and its rows must stay whole.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return report_create_error(path, errno);
    if (!existed) output.created_file = file_behind(path);
    const auto give_up = [&] {
        close(fd);
        if (!output.created_file.empty()) std::remove(output.created_file.c_str());
        return run_status::output_failed;
    };
    // Any failure but a held lock (ENOLCK, EOPNOTSUPP: a file system without locks) leaves the run
    // unlocked, as it was before there were locks.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        print_message(message_kind::tool, "output file %s is locked by another run writing it; refusing to write into it\n",
                      path.c_str());
        return give_up();
    }
    struct stat opened {};
    // Devices and pipes (/dev/stdout, /dev/full) are written, not truncated.
    if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ftruncate(fd, 0) != 0) {
        report_create_error(path, errno);
        return give_up();
    }
    output.stream = fdopen(fd, "w");
    if (output.stream == nullptr) {
        report_create_error(path, errno);
        return give_up();
    }
    return run_status::run_ok;
}

run_status write_header_row(output_file& output) {
    return write_line(output, "chr\tstartpos\tendpos\tgenetic_dist\tphysical_dist\tn.snp\n");
}

run_status write_region_row(output_file& output, const region_row& row) {
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, "\t%d\t%d\t%g\t%d\t%d\n", row.startpos, row.endpos,
                  static_cast<double>(row.genetic_dist), row.physical_dist, row.n_snp);
    std::string line = row.chr;
    line += numbers;
    return write_line(output, line);
}

void discard_output(output_file& output) {
    std::fclose(output.stream);
    output.stream = nullptr;
    if (!output.created_file.empty()) std::remove(output.created_file.c_str());
}

run_status close_output(output_file& output) {
    std::FILE* stream = output.stream;
    output.stream = nullptr;
    errno = 0;
    if (std::fclose(stream) != 0) return report_write_error(output, errno != 0 ? errno : EIO);
    return run_status::run_ok;
}

}  // namespace corvane
