// Streams the records of one chromosome through htslib, from the file's start or from where its
// index places a range of positions, checking their order.
#include "prepare/vcf_reader.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include <sys/stat.h>

#include <htslib/bgzf.h>

#include "common/message.hpp"
#include "prepare/chromosome_name.hpp"
#include "prepare/vcf_header_fault.hpp"
#include "prepare/vcf_index.hpp"

namespace corvane {

namespace {

hts_idx_t* index_of(const vcf_reader& reader) { return reader.tabix != nullptr ? reader.tabix->idx : reader.index; }

// Only the record lists of an index are trusted to name the contigs with records; a header may
// declare every contig of the assembly.
std::vector<std::string> index_contigs(const vcf_reader& reader) {
    int count = 0;
    const char** names = reader.tabix != nullptr ? tbx_seqnames(reader.tabix, &count)
                                                 : bcf_index_seqnames(reader.index, reader.header, &count);
    std::vector<std::string> contigs;
    for (int i = 0; i < count; ++i) {
        // A CSI index lists every contig of the header; its record counts tell those with records.
        const int id = reader.tabix != nullptr ? tbx_name2id(reader.tabix, names[i])
                                               : bcf_hdr_name2id(reader.header, names[i]);
        if (id < 0 || index_record_count(index_of(reader), id).value_or(0) == 0) continue;
        contigs.emplace_back(names[i]);
    }
    std::free(names);
    return contigs;
}

// Picks the name to read among `contigs`: the one asked for, else its other spelling. False when
// neither is there.
bool choose_chromosome(vcf_reader& reader, const std::vector<std::string>& contigs) {
    const std::optional<std::string> name = name_among(contigs, reader.requested_chromosome);
    if (!name) return false;
    if (*name != reader.requested_chromosome) {
        reader.chromosome = *name;
        say_other_spelling(reader.path, reader.requested_chromosome, reader.chromosome);
    }
    return true;
}

// Loads the index at reader.index_path.
bool load_index_file(vcf_reader& reader) {
    if (hts_get_format(reader.file)->format == bcf) {
        reader.index = bcf_index_load2(reader.path.c_str(), reader.index_path.c_str());
    } else {
        reader.tabix = tbx_index_load2(reader.path.c_str(), reader.index_path.c_str());
    }
    if (reader.index != nullptr || reader.tabix != nullptr) return true;
    print_message(message_kind::tool, "cannot read the index %s of %s; remake it (%s), or give --no-index to read "
                  "the file without it\n", reader.index_path.c_str(), reader.path.c_str(),
                  remake_index_command(reader.path, reader.index_path).c_str());
    return false;
}

// Loads the index found beside the file, after checking its age. False (reported) when it is older
// than the data or cannot be read; true with no index loaded when there is none.
bool load_index(vcf_reader& reader) {
    const htsFormat* format = hts_get_format(reader.file);
    if (format->compression != bgzf) return true;
    reader.index_path = find_index_beside(reader.path, format->format == bcf);
    if (reader.index_path.empty()) return true;
    return check_index_age(reader.path, reader.index_path) == run_status::run_ok && load_index_file(reader);
}

// Finds the chromosome through the index, when there is one, and places the reader on its records;
// without one the whole file is streamed and filtered.
bool place_on_chromosome(vcf_reader& reader, bool use_index) {
    if (use_index && !load_index(reader)) return false;
    if (reader.index == nullptr && reader.tabix == nullptr) {
        // A header may declare contigs without records, and records of undeclared contigs read all
        // the same: the first record of either spelling decides.
        reader.name_open = true;
        return true;
    }
    reader.contigs_seen = index_contigs(reader);
    if (!choose_chromosome(reader, reader.contigs_seen)) {
        reader.chromosome_absent = true;
        return true;
    }
    reader.index_id = reader.index != nullptr ? bcf_hdr_name2id(reader.header, reader.chromosome.c_str())
                                              : tbx_name2id(reader.tabix, reader.chromosome.c_str());
    if (reader.index_id < 0) {
        report_index_misfit(reader.path, reader.index_path,
                            "it lists chromosome " + reader.chromosome + ", which the header does not declare");
        return false;
    }
    reader.index_records = index_record_count(index_of(reader), reader.index_id);
    return place_on_range(reader, 0, HTS_POS_MAX) == run_status::run_ok;
}

// A BGZF file (a bgzipped VCF, a BCF) ends with an empty block. Without it the file was cut short,
// possibly at a block boundary, where nothing else shows it.
bool has_end_of_file_marker(vcf_reader& reader) {
    BGZF* compressed = hts_get_bgzfp(reader.file);
    if (hts_get_format(reader.file)->compression != bgzf || compressed == nullptr) return true;
    // 2: the file cannot be searched (a pipe); htslib warns at its end if the marker is missing.
    if (bgzf_check_EOF(compressed) != 0) return true;
    print_message(message_kind::tool,
                  "%s has no BGZF end-of-file marker: the file is cut short (a copy or download that did not "
                  "finish?), or its writer did not close it; nothing of it is converted. Make it again, or, if it "
                  "is known to be whole, recompress it (bcftools view %s %s)\n",
                  reader.path.c_str(), hts_get_format(reader.file)->format == bcf ? "-Ob -o NEW.bcf" : "-Oz -o NEW.vcf.gz",
                  reader.path.c_str());
    return false;
}

// Opens the file and reads its header. False (reported) when it is not a readable VCF or BCF.
bool open_file(vcf_reader& reader) {
    errno = 0;
    // A file that is not there needs no word from htslib beside this one.
    struct stat status {};
    if (stat(reader.path.c_str(), &status) == 0) reader.file = hts_open(reader.path.c_str(), "r");
    if (reader.file == nullptr) {
        print_message(message_kind::tool, "cannot open VCF %s: %s\n", reader.path.c_str(),
                      errno != 0 ? std::strerror(errno) : "not a readable file");
        return false;
    }
    const htsExactFormat format = hts_get_format(reader.file)->format;
    if (format != vcf && format != bcf) {
        print_message(message_kind::tool, "%s is neither VCF nor BCF\n", reader.path.c_str());
        return false;
    }
    if (!has_end_of_file_marker(reader)) return false;
    reader.header = bcf_hdr_read(reader.file);
    if (reader.header == nullptr) {
        const std::string fault = vcf_header_fault(reader.path);
        print_message(message_kind::tool, "%s: cannot read the VCF header%s%s\n", reader.path.c_str(),
                      fault.empty() ? "" : ": ", fault.c_str());
        return false;
    }
    reader.record = bcf_init();
    if (reader.record == nullptr) {
        print_message(message_kind::tool, "not enough memory\n");
        return false;
    }
    return true;
}

// Whether a record of contig `name` is one to read. Streaming, it also notes each contig met, and the
// first record of either spelling fixes the name.
bool is_chromosome_record(vcf_reader& reader, const char* name) {
    if (name == nullptr) return false;
    if (reader.record->rid != reader.last_rid) {
        reader.last_rid = reader.record->rid;
        bool known = false;
        for (const std::string& seen : reader.contigs_seen) known |= seen == name;
        if (!known) reader.contigs_seen.emplace_back(name);
    }
    if (reader.chromosome == name) return true;
    if (!reader.name_open || !same_chromosome(name, reader.requested_chromosome)) return false;
    reader.name_open = false;
    reader.chromosome = name;
    say_other_spelling(reader.path, reader.requested_chromosome, reader.chromosome);
    return true;
}

// Contigs and tags missing from the header: htslib adds a definition and the record reads fine.
constexpr int repaired_errors = BCF_ERR_CTG_UNDEF | BCF_ERR_TAG_UNDEF;

record_result report_malformed_record(const vcf_reader& reader) {
    const int errors = reader.record->errcode;
    const char* what = "it cannot be parsed";
    if (errors & BCF_ERR_NCOLS) what = "too few columns";
    else if (errors & BCF_ERR_CHAR) what = "an invalid character";
    else if (errors & BCF_ERR_LIMITS) what = "a value beyond what a VCF reader can hold";
    else if (errors & BCF_ERR_CTG_INVALID) what = "an invalid chromosome name";
    else if (errors & BCF_ERR_TAG_INVALID) what = "an invalid INFO or FORMAT field";
    const char* name = reader.record->rid >= 0 ? bcf_seqname(reader.header, reader.record) : nullptr;
    if (name != nullptr && reader.record->pos >= 0) {
        print_message(message_kind::place, "%s: %s:%lld: malformed record: %s\n", reader.path.c_str(), name,
                      static_cast<long long>(reader.record->pos + 1), what);
    } else {
        print_message(message_kind::tool, "%s: malformed record: %s\n", reader.path.c_str(), what);
    }
    return record_result::error;
}

record_result fail(const vcf_reader& reader, const char* what) {
    print_message(message_kind::place, "%s: %s\n", record_location(reader).c_str(), what);
    return record_result::error;
}

// Through the index: whether the record is one of the range, or ends it (false, with `at_end` set).
// The file is sorted, so the range ends at the first record past it or of another contig; records
// before it belong to the range before.
bool is_range_record(vcf_reader& reader, bool& at_end) {
    const bool ours = reader.record->rid >= 0 && reader.chromosome == bcf_seqname(reader.header, reader.record);
    if (!ours) {
        at_end = reader.in_chromosome;
        return false;
    }
    reader.in_chromosome = true;
    if (reader.record->pos >= reader.range_end) at_end = true;
    return !at_end && reader.record->pos >= reader.range_begin;
}

}  // namespace

vcf_reader::~vcf_reader() {
    if (tabix != nullptr) tbx_destroy(tabix);
    if (index != nullptr) hts_idx_destroy(index);
    if (record != nullptr) bcf_destroy(record);
    if (header != nullptr) bcf_hdr_destroy(header);
    if (file != nullptr) hts_close(file);
}

run_status open_vcf(vcf_reader& reader, const std::string& path, const std::string& chromosome, bool use_index) {
    reader.path = path;
    reader.chromosome = chromosome;
    reader.requested_chromosome = chromosome;
    if (!open_file(reader)) return run_status::bad_input;
    return place_on_chromosome(reader, use_index) ? run_status::run_ok : run_status::bad_input;
}

run_status open_vcf_again(vcf_reader& reader, const vcf_reader& first) {
    reader.path = first.path;
    reader.chromosome = first.chromosome;
    reader.requested_chromosome = first.requested_chromosome;
    reader.index_path = first.index_path;
    reader.index_id = first.index_id;
    if (!open_file(reader) || !load_index_file(reader)) return run_status::bad_input;
    return run_status::run_ok;
}

run_status place_on_range(vcf_reader& reader, int64_t begin, int64_t end) {
    reader.range_begin = begin;
    reader.range_end = end;
    reader.range_empty = false;
    reader.in_chromosome = false;
    reader.records = 0;
    reader.last_position = 0;
    reader.first_read_failed = false;
    hts_itr_t* query = reader.index != nullptr ? bcf_itr_queryi(reader.index, reader.index_id, begin, end)
                                               : tbx_itr_queryi(reader.tabix, reader.index_id, begin, end);
    if (query == nullptr) {
        print_message(message_kind::tool, "%s: cannot query its index for chromosome %s\n", reader.path.c_str(),
                      reader.chromosome.c_str());
        return run_status::bad_input;
    }
    // The records are read from where the first chunk of the query starts, the one nearest the file's
    // start: reading on from there, rather than chunk by chunk, parses each line once.
    reader.range_empty = query->n_off == 0;
    const uint64_t start = reader.range_empty ? 0 : query->off[0].u;
    hts_itr_destroy(query);
    if (reader.range_empty) return run_status::run_ok;
    if (!record_starts_at(reader.file, start, reader.index_id, reader.chromosome)) {
        report_index_misfit(reader.path, reader.index_path,
                            "no record of chromosome " + reader.chromosome + " starts where it places one");
        return run_status::bad_input;
    }
    if (bgzf_seek(hts_get_bgzfp(reader.file), static_cast<int64_t>(start), SEEK_SET) < 0) {
        print_message(message_kind::tool, "%s: cannot read: %s\n", reader.path.c_str(),
                      errno != 0 ? std::strerror(errno) : "a seek failed");
        return run_status::bad_input;
    }
    return run_status::run_ok;
}

record_result next_record(vcf_reader& reader) {
    if (reader.chromosome_absent || reader.range_empty) return record_result::end;
    const bool through_index = reader.index_id >= 0;
    for (;;) {
        const int got = bcf_read(reader.file, reader.header, reader.record);
        // htslib parses a text record that fails with -1 too, so the error bits are checked first.
        if (got >= -1 && (reader.record->errcode & ~repaired_errors) != 0) return report_malformed_record(reader);
        if (got == -1) return record_result::end;
        if (got < 0) {
            if (reader.defer_first_read_failure && reader.records == 0) {
                reader.first_read_failed = true;
            } else {
                report_unreadable_record(reader, reader.last_position);
            }
            return record_result::error;
        }
        if (through_index) {
            bool at_end = false;
            if (!is_range_record(reader, at_end)) {
                if (at_end) return record_result::end;
                continue;
            }
        } else if (!is_chromosome_record(reader, bcf_seqname(reader.header, reader.record))) {
            if (reader.records > 0) reader.left_chromosome = true;
            continue;
        }
        reader.name_open = false;
        if (reader.left_chromosome) {
            return fail(reader, "the records of this chromosome are not all together; sort the VCF first "
                                "(e.g. bcftools sort)");
        }
        if (bcf_unpack(reader.record, BCF_UN_STR) != 0) return fail(reader, "cannot unpack the record");
        const int64_t position = reader.record->pos + 1;
        if (position < 1) return fail(reader, "the position is not a positive whole number");
        // Legends, scans and result tables hold positions as signed 32-bit numbers.
        if (position > INT32_MAX) {
            return fail(reader, "the position is beyond 2147483647, the largest that corvane's legend and scan "
                                "hold");
        }
        if (reader.records > 0 && position < reader.last_position) {
            char message[160];
            std::snprintf(message, sizeof message,
                          "position comes after %lld; records must be in increasing position order (sort the VCF "
                          "first, e.g. bcftools sort)", static_cast<long long>(reader.last_position));
            return fail(reader, message);
        }
        reader.last_position = position;
        ++reader.records;
        return record_result::record;
    }
}

void report_unreadable_record(const vcf_reader& reader, int64_t last_position) {
    const std::string last_read =
        last_position > 0 ? "; the last one read was " + reader.chromosome + ":" + std::to_string(last_position) : "";
    print_message(message_kind::tool, "%s: cannot read a record (broken or truncated file?)%s\n", reader.path.c_str(),
                  last_read.c_str());
}

run_status check_index_record_count(const vcf_reader& reader, int64_t records) {
    if (reader.index_id < 0 || !reader.index_records || *reader.index_records == static_cast<uint64_t>(records)) {
        return run_status::run_ok;
    }
    report_index_misfit(reader.path, reader.index_path,
                        "it counts " + std::to_string(*reader.index_records) + " records of chromosome " +
                            reader.chromosome + ", the file has " + std::to_string(records) + " there");
    return run_status::bad_input;
}

std::string record_location(const vcf_reader& reader) { return record_location(reader, reader.record); }

std::string record_location(const vcf_reader& reader, const bcf1_t* record) {
    return reader.path + ": " + reader.chromosome + ":" + std::to_string(record->pos + 1);
}

}  // namespace corvane
