// Streams or queries the records of one chromosome through htslib, checking their order.
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

// Only the record lists of an index are trusted to name the contigs with records; a header may
// declare every contig of the assembly.
std::vector<std::string> index_contigs(const vcf_reader& reader) {
    int count = 0;
    const char** names = reader.tabix != nullptr ? tbx_seqnames(reader.tabix, &count)
                                                 : bcf_index_seqnames(reader.index, reader.header, &count);
    std::vector<std::string> contigs;
    hts_idx_t* index = reader.tabix != nullptr ? reader.tabix->idx : reader.index;
    for (int i = 0; i < count; ++i) {
        // A CSI index lists every contig of the header; its record counts tell those with records.
        const int id = reader.tabix != nullptr ? tbx_name2id(reader.tabix, names[i])
                                               : bcf_hdr_name2id(reader.header, names[i]);
        if (id < 0 || index_record_count(index, id).value_or(0) == 0) continue;
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

// Loads the index found beside the file, after checking its age. False (reported) when it is older
// than the data or cannot be read; true with no index loaded when there is none.
bool load_index(vcf_reader& reader) {
    const htsFormat* format = hts_get_format(reader.file);
    if (format->compression != bgzf) return true;
    const bool is_bcf = format->format == bcf;
    reader.index_path = find_index_beside(reader.path, is_bcf);
    if (reader.index_path.empty()) return true;
    if (check_index_age(reader.path, reader.index_path) != run_status::run_ok) return false;
    if (is_bcf) reader.index = bcf_index_load2(reader.path.c_str(), reader.index_path.c_str());
    else reader.tabix = tbx_index_load2(reader.path.c_str(), reader.index_path.c_str());
    if (reader.index == nullptr && reader.tabix == nullptr) {
        print_message(message_kind::tool, "cannot read the index %s of %s; remake it (%s), or give --no-index to read "
                      "the file without it\n", reader.index_path.c_str(), reader.path.c_str(),
                      remake_index_command(reader.path, reader.index_path).c_str());
        return false;
    }
    return true;
}

// Places an iterator on the chromosome through the index, when there is one; without one the whole
// file is streamed and filtered. An index whose first place for the chromosome holds no record of
// it was made for another file (or before the file changed), and is refused.
bool place_iterator(vcf_reader& reader, bool use_index) {
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
    hts_idx_t* index = reader.index != nullptr ? reader.index : reader.tabix->idx;
    const int id = reader.index != nullptr ? bcf_hdr_name2id(reader.header, reader.chromosome.c_str())
                                           : tbx_name2id(reader.tabix, reader.chromosome.c_str());
    if (id < 0) {
        report_index_misfit(reader.path, reader.index_path,
                            "it lists chromosome " + reader.chromosome + ", which the header does not declare");
        return false;
    }
    reader.iterator = reader.index != nullptr ? bcf_itr_queryi(reader.index, id, 0, HTS_POS_MAX)
                                              : tbx_itr_queryi(reader.tabix, id, 0, HTS_POS_MAX);
    if (reader.iterator == nullptr) {
        print_message(message_kind::tool, "%s: cannot query its index for chromosome %s\n", reader.path.c_str(),
                      reader.chromosome.c_str());
        return false;
    }
    if (reader.iterator->n_off > 0 &&
        !record_starts_at(reader.file, reader.iterator->off[0].u, id, reader.chromosome)) {
        report_index_misfit(reader.path, reader.index_path,
                            "no record of chromosome " + reader.chromosome + " starts where it places one");
        return false;
    }
    reader.index_records = index_record_count(index, id);
    return true;
}

// Whether a record of contig `name` is one to read. Streaming, it also notes each contig met, and the
// first record of either spelling fixes the name.
bool is_chromosome_record(vcf_reader& reader, const char* name) {
    if (name == nullptr) return false;
    if (reader.iterator == nullptr && reader.record->rid != reader.last_rid) {
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

// The next record of the file (through the iterator when there is one): 0, -1 at the end, below -1
// on a read error.
int read_next(vcf_reader& reader) {
    if (reader.iterator == nullptr) return bcf_read(reader.file, reader.header, reader.record);
    if (reader.tabix == nullptr) return bcf_itr_next(reader.file, reader.iterator, reader.record);
    const int got = tbx_itr_next(reader.file, reader.tabix, reader.iterator, &reader.line);
    if (got < 0) return got;
    return vcf_parse(&reader.line, reader.header, reader.record) == 0 ? 0 : -2;
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

// The end of the chromosome's records. Read through an index, their number must be the index's.
record_result end_of_records(const vcf_reader& reader) {
    if (reader.iterator == nullptr || !reader.index_records || *reader.index_records == static_cast<uint64_t>(reader.records)) {
        return record_result::end;
    }
    report_index_misfit(reader.path, reader.index_path,
                        "it counts " + std::to_string(*reader.index_records) + " records of chromosome " +
                            reader.chromosome + ", the file has " + std::to_string(reader.records) + " there");
    return record_result::error;
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

}  // namespace

vcf_reader::~vcf_reader() {
    if (iterator != nullptr) hts_itr_destroy(iterator);
    if (tabix != nullptr) tbx_destroy(tabix);
    if (index != nullptr) hts_idx_destroy(index);
    if (record != nullptr) bcf_destroy(record);
    if (header != nullptr) bcf_hdr_destroy(header);
    if (file != nullptr) hts_close(file);
    ks_free(&line);
}

run_status open_vcf(vcf_reader& reader, const std::string& path, const std::string& chromosome, bool use_index) {
    reader.path = path;
    reader.chromosome = chromosome;
    reader.requested_chromosome = chromosome;
    errno = 0;
    // A file that is not there needs no word from htslib beside this one.
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) reader.file = hts_open(path.c_str(), "r");
    if (reader.file == nullptr) {
        print_message(message_kind::tool, "cannot open VCF %s: %s\n", path.c_str(),
                      errno != 0 ? std::strerror(errno) : "not a readable file");
        return run_status::bad_input;
    }
    const htsExactFormat format = hts_get_format(reader.file)->format;
    if (format != vcf && format != bcf) {
        print_message(message_kind::tool, "%s is neither VCF nor BCF\n", path.c_str());
        return run_status::bad_input;
    }
    if (!has_end_of_file_marker(reader)) return run_status::bad_input;
    reader.header = bcf_hdr_read(reader.file);
    if (reader.header == nullptr) {
        const std::string fault = vcf_header_fault(path);
        print_message(message_kind::tool, "%s: cannot read the VCF header%s%s\n", path.c_str(), fault.empty() ? "" : ": ",
                      fault.c_str());
        return run_status::bad_input;
    }
    reader.record = bcf_init();
    if (reader.record == nullptr) {
        print_message(message_kind::tool, "not enough memory\n");
        return run_status::bad_input;
    }
    return place_iterator(reader, use_index) ? run_status::run_ok : run_status::bad_input;
}

record_result next_record(vcf_reader& reader) {
    if (reader.chromosome_absent) return record_result::end;
    for (;;) {
        const int got = read_next(reader);
        // htslib parses a text record that fails with -1 too, so the error bits are checked first.
        if (got >= -1 && (reader.record->errcode & ~repaired_errors) != 0) return report_malformed_record(reader);
        if (got == -1) return end_of_records(reader);
        if (got < 0) {
            const std::string last_read = reader.records > 0 ? "; the last one read was " + reader.chromosome + ":" +
                                                                   std::to_string(reader.last_position)
                                                             : "";
            print_message(message_kind::tool, "%s: cannot read a record (broken or truncated file?)%s\n",
                          reader.path.c_str(), last_read.c_str());
            return record_result::error;
        }
        if (!is_chromosome_record(reader, bcf_seqname(reader.header, reader.record))) {
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

std::string record_location(const vcf_reader& reader) { return record_location(reader, reader.record); }

std::string record_location(const vcf_reader& reader, const bcf1_t* record) {
    return reader.path + ": " + reader.chromosome + ":" + std::to_string(record->pos + 1);
}

}  // namespace corvane
