// The one place that holds the running tool's name for shared code's messages.
#include "common/program_name.hpp"

namespace corvane {

namespace {

const char* current_name = "corvane";

}  // namespace

void set_program_name(const char* name) { current_name = name; }

const char* program_name() { return current_name; }

}  // namespace corvane
