// The name the running tool puts before its messages ("corvane", "corvane-prepare"); set once by main.
#pragma once

namespace corvane {

void set_program_name(const char* name);

// "corvane" until main sets another.
const char* program_name();

}  // namespace corvane
