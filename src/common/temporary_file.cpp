// Temporary files beside their final name: mkstemp, then the permissions the umask gives.
#include "common/temporary_file.hpp"

#include <cstdlib>
#include <vector>

#include <sys/stat.h>

#include "common/signal_cleanup.hpp"

namespace corvane {

int create_temporary_beside(const std::string& final_path, std::string& temporary_path) {
    // A signal between creating the file and noting it would leave it behind.
    const held_signals held;
    const std::string name = final_path + ".tmp-XXXXXX";
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) return -1;
    temporary_path = pattern.data();
    note_temporary(temporary_path);
    // mkstemp makes the file private; the renamed file should be like any other the user creates.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
    return descriptor;
}

}  // namespace corvane
