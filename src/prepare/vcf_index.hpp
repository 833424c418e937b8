// The index beside a bgzipped VCF or a BCF: found as htslib finds it, refused when it is older than
// the data, checked where it places the chromosome, and its record count.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <htslib/hts.h>

#include "common/run_status.hpp"

namespace corvane {

// The index htslib would use for `data_path`: DATA.csi, then DATA.tbi (a VCF's only), each also with
// the data's last extension replaced (x.csi for x.bcf). Empty when there is none.
std::string find_index_beside(const std::string& data_path, bool bcf);

// bad_input (reported, naming both files) when the index was last changed before the data: it may
// describe an older state of the file.
run_status check_index_age(const std::string& data_path, const std::string& index_path);

// The command that remakes the index: "bcftools index -f [-t] DATA".
std::string remake_index_command(const std::string& data_path, const std::string& index_path);

// Says on standard error that `index_path` does not fit `data_path`, and why (`what`), with the way
// out: remake it, or read the file without it.
void report_index_misfit(const std::string& data_path, const std::string& index_path, const std::string& what);

// The number of records the index counts for contig `tid`; nothing when it keeps no counts.
std::optional<uint64_t> index_record_count(const hts_idx_t* index, int tid);

// Whether a record of contig `tid` (its name `chromosome`; the index's id for a VCF, the header's for
// a BCF) starts at virtual offset `offset` of `file`, as an index that fits the file says. Leaves
// the file at an unknown place: a reader seeks again.
bool record_starts_at(htsFile* file, uint64_t offset, int tid, const std::string& chromosome);

}  // namespace corvane
