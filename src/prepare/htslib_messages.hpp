// htslib's own diagnostics (a truncated block, a record it cannot parse, an undeclared tag) told to
// the user as the running tool's messages, each once.
#pragma once

namespace corvane {

// Lets htslib's errors and warnings through, each as "TOOL: [W::where] what" on standard error (or
// into the calling thread's captured messages). Called once by main, before htslib is used.
void report_htslib_messages();

}  // namespace corvane
