// The version of this build, made by the build from the project version and `git describe`.
#pragma once

#include <string_view>

namespace corvane {

// "1.0.0", or "1.0.0 (git 1a2b3c4-dirty)" when built from a git checkout.
std::string_view program_version();

}  // namespace corvane
