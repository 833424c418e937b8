// Why htslib could not read a VCF/BCF header, where the file's own text shows it.
#pragma once

#include <string>

namespace corvane {

// Reads the header text of `path` on its own and returns what is wrong with it that htslib refuses
// ("names sample \"X\" twice (columns 10 and 12); ..."), or an empty text when nothing is found.
std::string vcf_header_fault(const std::string& path);

}  // namespace corvane
