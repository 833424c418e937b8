// Files written under a temporary name beside their final name, so that only a complete file ever has that name.
#pragma once

#include <string>

namespace corvane {

// Creates a new file named FINAL_PATH.tmp-XXXXXX (unique), with the permissions any new file of the
// user gets, and returns its descriptor with its name in `temporary_path`; -1 (errno set) when it
// cannot be created. The name is noted for removal should a signal end the run (note_temporary);
// whoever renames or removes the file forgets it.
int create_temporary_beside(const std::string& final_path, std::string& temporary_path);

}  // namespace corvane
