// Reads the records of one chromosome from a VCF or BCF file, through its index when it has one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <htslib/hts.h>
#include <htslib/kstring.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>

#include "common/run_status.hpp"

namespace corvane {

struct vcf_reader {
    std::string path;
    std::string chromosome;        // the name the file uses: the one asked for, or its other spelling
    std::string requested_chromosome;  // the name asked for
    bool name_open = false;        // streaming: the first record of either spelling decides
    std::vector<std::string> contigs_seen;  // contigs with records, from the index or as streamed
    int last_rid = -1;
    htsFile* file = nullptr;
    bcf_hdr_t* header = nullptr;
    bcf1_t* record = nullptr;
    tbx_t* tabix = nullptr;        // index of a bgzipped VCF
    hts_idx_t* index = nullptr;    // index of a BCF
    hts_itr_t* iterator = nullptr; // set when the chromosome is read through an index
    std::string index_path;        // the index beside the file, empty when there is none
    std::optional<uint64_t> index_records;  // the chromosome's records, as the index counts them
    bool chromosome_absent = false;  // the index knows the chromosome has no records
    kstring_t line{};
    int64_t records = 0;           // records of the chromosome returned so far
    int64_t last_position = 0;     // 1-based position of the last record returned
    bool left_chromosome = false;  // a record of another chromosome followed the chromosome's records

    vcf_reader() = default;
    vcf_reader(const vcf_reader&) = delete;
    vcf_reader& operator=(const vcf_reader&) = delete;
    ~vcf_reader();
};

// Opens the file, reads its header and, when an index is there (and `use_index`), places an iterator
// on the chromosome. When the file has no records of `chromosome` but has of its other spelling
// ("chr20" for "20" and the reverse), those are read, and the choice said on standard error. A BGZF
// file without its end-of-file marker, an index older than the data or one that does not fit it
// is refused. Failures are reported on standard error and make the result bad_input.
run_status open_vcf(vcf_reader& reader, const std::string& path, const std::string& chromosome, bool use_index);

enum class record_result { record, end, error };

// The next record of the chromosome in `reader.record`, unpacked up to ID, REF and ALT. Records of
// other chromosomes are passed over. A position below the one before or beyond 2147483647, records
// of the chromosome in two separate blocks, a record htslib cannot read, or (read through an index)
// fewer or more records than the index counts is reported and ends with error.
record_result next_record(vcf_reader& reader);

// "PATH: CHR:POS" for messages about the current record, or about `record`.
std::string record_location(const vcf_reader& reader);
std::string record_location(const vcf_reader& reader, const bcf1_t* record);


}  // namespace corvane
