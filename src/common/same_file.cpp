// Compares files by device and inode, so links to an input are recognised too, and names not there
// yet by their resolved paths.
#include "common/same_file.hpp"

#include <filesystem>
#include <system_error>

#include <sys/stat.h>

#include "common/message.hpp"

namespace corvane {

bool names_same_file(const std::string& output, const std::string& input) {
    if (input.empty()) return false;
    struct stat output_info {};
    struct stat input_info {};
    if (stat(output.c_str(), &output_info) == 0 && stat(input.c_str(), &input_info) == 0) {
        return output_info.st_dev == input_info.st_dev && output_info.st_ino == input_info.st_ino;
    }
    std::error_code ignored;
    return std::filesystem::weakly_canonical(output, ignored) == std::filesystem::weakly_canonical(input, ignored);
}

run_status check_output_is_not_an_input(const std::string& output, const std::vector<named_input>& inputs) {
    for (const named_input& input : inputs) {
        if (!names_same_file(output, input.path)) continue;
        print_message(message_kind::tool, "output file %s is the %s file %s; refusing to overwrite an input\n",
                      output.c_str(), input.role, input.path.c_str());
        return run_status::same_file;
    }
    return run_status::run_ok;
}

}  // namespace corvane
