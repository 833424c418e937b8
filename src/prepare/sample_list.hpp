// The samples whose haplotypes become rows: all of the VCF, or those named in a sample list file.
#pragma once

#include <string>
#include <vector>

#include <htslib/vcf.h>

#include "common/run_status.hpp"

namespace corvane {

// Every sample of `header`, in header order.
std::vector<int> all_samples(const bcf_hdr_t* header);

// The header indices of the samples listed in `path` (one id per line; blank lines and surrounding
// blanks ignored), in header order. An id that is not in the VCF, an id listed twice or an empty
// list is reported on standard error and makes the result bad_input.
run_status read_sample_list(const std::string& path, const std::string& vcf_path, const bcf_hdr_t* header,
                      std::vector<int>& samples);

}  // namespace corvane
