// Sorts the records of a chromosome into legend rows and table sites, or counts and refusals.
#include "prepare/record_conversion.hpp"

#include <bit>
#include <cstring>
#include <cstdio>
#include <span>
#include <string_view>
#include <utility>

#include <strings.h>

#include "common/message.hpp"
#include "prepare/chromosome_name.hpp"
#include "prepare/phased_gt.hpp"

namespace corvane {

namespace {

void report_refused(const vcf_reader& reader, const bcf1_t* record, const site_check& check) {
    const char* sample = check.sample >= 0 ? reader.header->samples[check.sample] : "";
    std::string what;
    switch (check.kind) {
        case bad_site_kind::multiallelic: what = "multi-allelic site"; break;
        case bad_site_kind::not_snp: what = "site that is not a SNP (indel or other variant)"; break;
        case bad_site_kind::missing: what = std::string("missing genotype of sample ") + sample; break;
        case bad_site_kind::unphased: what = std::string("unphased genotype of sample ") + sample; break;
    }
    const std::string_view option = bad_site_option_name(check.kind);
    print_message(message_kind::place, "%s: %s refused (--on-bad-site %.*s=skip would skip such sites)\n",
                  record_location(reader, record).c_str(), what.c_str(), static_cast<int>(option.size()),
                  option.data());
}

void report_malformed(const vcf_reader& reader, const bcf1_t* record, const site_check& check) {
    const std::string sample = check.sample >= 0 ? std::string("sample ") + reader.header->samples[check.sample] + " " : "";
    print_message(message_kind::place, "%s: %s%s\n", record_location(reader, record).c_str(), sample.c_str(),
                  check.problem);
}

void append_legend_row(std::string& row, const std::string& chromosome, const char* id, double cm, int64_t bp) {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "\t%.6f\t%lld\n", cm, static_cast<long long>(bp));
    row.clear();
    row += chromosome;
    row += '\t';
    row += id;
    row += numbers;
}

int64_t ones_in(std::span<const uint64_t> words) {
    int64_t ones = 0;
    for (const uint64_t word : words) ones += std::popcount(word);
    return ones;
}

// Counts a bad site, or refuses it as the policy says.
run_status skip_or_refuse(record_conversion& work, const bcf1_t* record, const site_check& check) {
    if (work.policy.refuse[static_cast<int>(check.kind)]) {
        report_refused(work.reader, record, check);
        return run_status::bad_input;
    }
    ++work.counts.skipped[static_cast<int>(check.kind)];
    return run_status::run_ok;
}

// A SNP alone at its position: the genotype rules, the allele frequency, then a legend row and a table site.
run_status take_snp(record_conversion& work, bcf1_t* record) {
    const vcf_reader& reader = work.reader;
    // Nearly every site of a panel has all its genotypes phased 0/1: those are packed straight from
    // htslib's GT bytes; the rest are read and sorted out the checked way.
    const bool packed = read_plain_phased_words(reader.header, record, work.samples, work.site_words);
    if (!packed) {
        const site_check check =
            read_phased_alleles(reader.header, record, work.samples, work.gt_buffer, work.gt_capacity, work.alleles);
        if (check.verdict == site_verdict::malformed) {
            report_malformed(reader, record, check);
            return run_status::bad_input;
        }
        if (check.verdict == site_verdict::bad) return skip_or_refuse(work, record, check);
    }
    const double min_frequency = work.policy.min_minor_allele_frequency;
    if (packed ? below_min_maf(ones_in(work.site_words), 2 * static_cast<int64_t>(work.samples.size()), min_frequency)
               : below_min_maf(work.alleles, min_frequency)) {
        ++work.counts.below_min_maf;
        return run_status::run_ok;
    }
    double cm = 0.0;
    run_status status = site_cm(reader, record, work.cm, cm);
    if (status != run_status::run_ok) return status;
    if (cm < work.last_cm) {
        print_message(message_kind::place, "%s: cM %g is below the %g of the SNP before; genetic positions must not decrease\n",
                      record_location(reader, record).c_str(), cm, work.last_cm);
        return run_status::bad_input;
    }
    work.last_cm = cm;
    append_legend_row(work.row, reader.chromosome, record->d.id, cm, record->pos + 1);
    status = write_staged(work.legend, work.row);
    if (status == run_status::run_ok) {
        status = packed ? add_site_words(work.table, work.site_words) : add_site(work.table, work.alleles);
    }
    if (status == run_status::run_ok) ++work.counts.kept;
    return status;
}

// Whether `record` repeats the SNP `held` (the same REF and ALT, in either case; same position).
bool repeats_snp(const bcf1_t* held, const bcf1_t* record) {
    return record->n_allele == 2 && held->n_allele == 2 && strcasecmp(held->d.allele[0], record->d.allele[0]) == 0 &&
           strcasecmp(held->d.allele[1], record->d.allele[1]) == 0;
}

// Whether two records hold the same calls: their GT fields byte for byte, every sample's.
bool same_genotypes(const bcf_hdr_t* header, bcf1_t* first, bcf1_t* second) {
    if (bcf_unpack(first, BCF_UN_FMT) != 0 || bcf_unpack(second, BCF_UN_FMT) != 0) return false;
    const bcf_fmt_t* a = bcf_get_fmt(header, first, "GT");
    const bcf_fmt_t* b = bcf_get_fmt(header, second, "GT");
    if (a == nullptr || b == nullptr) return a == b;
    return a->type == b->type && a->n == b->n && a->p_len == b->p_len && std::memcmp(a->p, b->p, a->p_len) == 0;
}

// A second record of the held SNP: one copy of the same calls is passed over and counted; other calls
// leave no way to tell which copy is right, and are refused.
run_status take_repeated_snp(record_conversion& work, bcf1_t* held, bcf1_t* record) {
    if (same_genotypes(work.reader.header, held, record)) {
        ++work.counts.duplicates;
        return run_status::run_ok;
    }
    print_message(message_kind::place,
                  "%s: the SNP %s>%s is given in two records with different genotypes; which is right cannot be "
                  "told: remove the wrong record (bcftools norm -d exact keeps the first of each)\n",
                  record_location(work.reader, record).c_str(), record->d.allele[0], record->d.allele[1]);
    return run_status::bad_input;
}

}  // namespace

// A SNP waits in `held` until the next record shows it alone at its position: split multi-allelic
// sites (bcftools norm -m-) come as several SNP records at one position, which together are one
// multi-allelic site; a record of the same SNP again is a duplicate, not another allele. Indels at a
// SNP's position leave the SNP alone.
run_status convert_records(record_conversion& work) {
    vcf_reader& reader = work.reader;
    bcf1_t* held = bcf_init();
    if (held == nullptr) return run_status::out_of_memory;
    bool holding = false;
    int64_t multiallelic_position = 0;  // the position of the last multi-allelic site (0: none yet)
    run_status status = run_status::run_ok;
    while (status == run_status::run_ok) {
        const record_result result = next_record(reader);
        if (result == record_result::error) {
            status = run_status::bad_input;
            break;
        }
        const bool at_end = result == record_result::end;
        const int64_t position = at_end ? 0 : reader.record->pos + 1;
        if (holding && (at_end || position != held->pos + 1)) {
            holding = false;
            status = take_snp(work, held);
            if (status != run_status::run_ok) break;
        }
        if (at_end) break;
        site_check check = check_alleles(reader.record);
        if (is_snp_or_multiallelic(check)) {
            if (position == multiallelic_position) continue;  // counted with the site's first records
            if (holding && check.verdict == site_verdict::usable && repeats_snp(held, reader.record)) {
                status = take_repeated_snp(work, held, reader.record);
                continue;
            }
            if (holding) {
                holding = false;
                check.verdict = site_verdict::bad;
                check.kind = bad_site_kind::multiallelic;
            } else if (check.verdict == site_verdict::usable) {
                std::swap(held, reader.record);
                holding = true;
                continue;
            }
            multiallelic_position = position;
        }
        status = skip_or_refuse(work, reader.record, check);
    }
    bcf_destroy(held);
    std::free(work.gt_buffer);
    work.gt_buffer = nullptr;
    report_site_counts(work.counts, work.policy);
    if (status == run_status::run_ok && work.counts.kept == 0) {
        if (reader.records == 0) {
            print_message(message_kind::tool, "%s\n",
                          absent_chromosome_message(reader.path, reader.requested_chromosome, reader.contigs_seen)
                              .c_str());
        } else {
            print_message(message_kind::tool, "none of the %lld sites of chromosome %s in %s is a usable SNP\n",
                          static_cast<long long>(reader.records), reader.chromosome.c_str(), reader.path.c_str());
        }
        status = run_status::bad_input;
    }
    return status;
}

}  // namespace corvane
