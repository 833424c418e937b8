// Reads the records of one chromosome from a VCF or BCF file, through its index when it has one, and
// with an index one stretch of positions at a time, so that several readers can share a chromosome.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <htslib/hts.h>
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
    std::string index_path;        // the index beside the file, empty when there is none
    int index_id = -1;             // the chromosome's id in the index; -1 when the file is streamed
    std::optional<uint64_t> index_records;  // the chromosome's records, as the index counts them
    bool chromosome_absent = false;  // the index knows the chromosome has no records
    // Through an index: the 0-based positions [range_begin, range_end) whose records are read.
    int64_t range_begin = 0;
    int64_t range_end = HTS_POS_MAX;
    bool range_empty = false;      // the index has nothing there
    bool in_chromosome = false;    // a record of the chromosome has been met since the reader was placed
    int64_t records = 0;           // records of the chromosome (of the range) returned so far
    int64_t last_position = 0;     // 1-based position of the last record returned
    bool left_chromosome = false;  // a record of another chromosome followed the chromosome's records
    // A read error before any record of the range is not reported but noted here: the message names
    // the last record read before it, which only the reader of the range before knows.
    bool defer_first_read_failure = false;
    bool first_read_failed = false;

    vcf_reader() = default;
    vcf_reader(const vcf_reader&) = delete;
    vcf_reader& operator=(const vcf_reader&) = delete;
    ~vcf_reader();
};

// Opens the file, reads its header and, when an index is there (and `use_index`), places the reader
// on the chromosome's records through it. When the file has no records of `chromosome` but has of its
// other spelling ("chr20" for "20" and the reverse), those are read, and the choice said on standard
// error. A BGZF file without its end-of-file marker, an index older than the data or one that does
// not fit it is refused. Failures are reported on standard error and make the result bad_input.
run_status open_vcf(vcf_reader& reader, const std::string& path, const std::string& chromosome, bool use_index);

// Opens another reader of the chromosome `first` reads through its index (first.index_id >= 0),
// for place_on_range. Failures are reported and make the result bad_input.
run_status open_vcf_again(vcf_reader& reader, const vcf_reader& first);

// Places a reader that reads through the index on the records whose 0-based position falls in
// [begin, end): each record belongs to the range its position falls in, also where it reaches into
// the next. A place where no record of the chromosome starts is refused: the index does not fit.
run_status place_on_range(vcf_reader& reader, int64_t begin, int64_t end);

enum class record_result { record, end, error };

// The next record of the chromosome (of the range) in `reader.record`, unpacked up to ID, REF and
// ALT. Records of other chromosomes are passed over. A position below the one before or beyond
// 2147483647, records of the chromosome in two separate blocks, or a record htslib cannot read is
// reported and ends with error.
record_result next_record(vcf_reader& reader);

// "PATH: cannot read a record (broken or truncated file?)", with the last record read before it when
// `last_position` is not 0.
void report_unreadable_record(const vcf_reader& reader, int64_t last_position);

// bad_input (reported, naming the index) when the file was read through its index and `records`
// records of the chromosome were read where the index counts another number.
run_status check_index_record_count(const vcf_reader& reader, int64_t records);

// "PATH: CHR:POS" for messages about the current record, or about `record`.
std::string record_location(const vcf_reader& reader);
std::string record_location(const vcf_reader& reader, const bcf1_t* record);

}  // namespace corvane
