// Writes the result table through stdio, checking every write and flush.
#include "report/output_file.hpp"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "message.hpp"

namespace corvane {

namespace {

run_status report_write_error(const output_file& output, int error) {
    print_message("corvane: %s: cannot write: %s\n", output.path.c_str(), std::strerror(error));
    return run_status::output_failed;
}

run_status write_line(output_file& output, std::string_view text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), output.stream) != text.size() || std::fflush(output.stream) != 0) {
        return report_write_error(output, errno != 0 ? errno : EIO);
    }
    return run_status::run_ok;
}

}  // namespace

output_file::~output_file() {
    if (stream != nullptr) std::fclose(stream);
}

run_status create_output(output_file& output, const std::string& path) {
    output.path = path;
    output.stream = std::fopen(path.c_str(), "w");
    if (output.stream == nullptr) {
        std::fprintf(stderr, "corvane: cannot create output file %s: %s\n", path.c_str(), std::strerror(errno));
        return run_status::output_failed;
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
    std::remove(output.path.c_str());
}

run_status close_output(output_file& output) {
    std::FILE* stream = output.stream;
    output.stream = nullptr;
    errno = 0;
    if (std::fclose(stream) != 0) return report_write_error(output, errno != 0 ? errno : EIO);
    return run_status::run_ok;
}

}  // namespace corvane
