// Compares files by device and inode, so links to an input are recognised too.
#include "common/same_file.hpp"

#include <sys/stat.h>

namespace corvane {

bool names_same_file(const std::string& output, const std::string& input) {
    if (input.empty()) return false;
    struct stat output_info {};
    struct stat input_info {};
    if (stat(output.c_str(), &output_info) != 0 || stat(input.c_str(), &input_info) != 0) return false;
    return output_info.st_dev == input_info.st_dev && output_info.st_ino == input_info.st_ino;
}

}  // namespace corvane
