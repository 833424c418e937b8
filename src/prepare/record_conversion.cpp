// Sorts the records of a chromosome into legend rows and table sites, or counts and refusals.
#include "prepare/record_conversion.hpp"

#include <bit>
#include <cstdio>
#include <span>
#include <string_view>
#include <utility>

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

void append_legend_row(std::string& row, const std::string& chromosome, const bcf1_t* record, double cm) {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "\t%.6f\t%lld\t", cm, static_cast<long long>(record->pos + 1));
    row.clear();
    row += chromosome;
    row += '\t';
    row += record->d.id;
    row += numbers;
    row += record->d.allele[0];
    row += '\t';
    row += record->d.allele[1];
    row += '\n';
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
    append_legend_row(work.row, reader.chromosome, record, cm);
    status = write_staged(work.legend, work.row);
    if (status == run_status::run_ok) {
        status = packed ? add_site_words(work.table, work.site_words) : add_site(work.table, work.alleles);
    }
    if (status == run_status::run_ok) ++work.counts.kept;
    return status;
}

// Says how far the reading is: the position reached, and its share of the chromosome when the VCF's
// header gives the chromosome's length.
void say_how_far(const record_conversion& work) {
    const vcf_reader& reader = work.reader;
    const int64_t position = reader.record->pos + 1;
    const int64_t length =
        reader.record->rid >= 0 && reader.record->rid < reader.header->n[BCF_DT_CTG]
            ? static_cast<int64_t>(reader.header->id[BCF_DT_CTG][reader.record->rid].val->info[0])
            : 0;
    say_progress(*work.progress,
                 "reading " + reader.path + ": " + reader.chromosome + ":" + grouped_digits(position) + ", " +
                     grouped_digits(work.counts.kept) + " SNPs kept",
                 length > 0 ? static_cast<double>(position) / static_cast<double>(length) : -1.0);
}

// How many records go by between two reports of how far the reading is.
constexpr int64_t records_between_reports = 1024;

}  // namespace

// A SNP waits in `held` until the next record shows it alone at its position: split multi-allelic
// sites (bcftools norm -m-) come as several SNP records at one position, which together are one
// multi-allelic site. Indels at a SNP's position leave the SNP alone.
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
        if (!at_end && work.progress != nullptr && reader.records % records_between_reports == 1) say_how_far(work);
        if (holding && (at_end || position != held->pos + 1)) {
            holding = false;
            status = take_snp(work, held);
            if (status != run_status::run_ok) break;
        }
        if (at_end) break;
        site_check check = check_alleles(reader.record);
        if (is_snp_or_multiallelic(check)) {
            if (position == multiallelic_position) continue;  // counted with the site's first records
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
    if (status == run_status::run_ok && work.counts.kept == 0) {
        if (reader.records == 0) {
            print_message(message_kind::tool, "%s\n",
                          absent_chromosome_message(reader.path, reader.requested_chromosome, reader.contigs_seen)
                              .c_str());
        } else {
            const bool one = reader.records == 1;
            const std::string which = one ? std::string("the one site") : "none of the " + std::to_string(reader.records) + " sites";
            print_message(message_kind::tool, "%s of chromosome %s in %s is %sa usable SNP (%s)\n", which.c_str(),
                          reader.chromosome.c_str(), reader.path.c_str(), one ? "not " : "",
                          skipped_counts_text(work.counts, work.policy).c_str());
        }
        status = run_status::bad_input;
    }
    return status;
}

}  // namespace corvane
