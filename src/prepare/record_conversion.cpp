// Sorts the records of a chromosome into legend rows and table sites of each panel, or counts and refusals.
#include "prepare/record_conversion.hpp"

#include <bit>
#include <cstring>
#include <cstdio>
#include <new>
#include <span>
#include <string_view>
#include <utility>

#include <strings.h>

#include "common/message.hpp"
#include "prepare/phased_gt.hpp"
#include "search/cpu_features.hpp"

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

CORVANE_WITH_POPCOUNT
int64_t ones_in(std::span<const uint64_t> words) {
    int64_t ones = 0;
    for (const uint64_t word : words) ones += std::popcount(word);
    return ones;
}

// Counts a bad site for one panel, or refuses it as the policy says.
run_status skip_or_refuse(record_conversion& work, panel_part& part, const bcf1_t* record, const site_check& check) {
    if (work.policy.refuse[static_cast<int>(check.kind)]) {
        report_refused(work.reader, record, check);
        return run_status::bad_input;
    }
    ++part.counts.skipped[static_cast<int>(check.kind)];
    return run_status::run_ok;
}

// A bad site of every panel: multi-allelic, or not a SNP.
run_status skip_or_refuse_everywhere(record_conversion& work, const bcf1_t* record, const site_check& check) {
    for (panel_part& part : work.parts) {
        const run_status status = skip_or_refuse(work, part, record, check);
        if (status != run_status::run_ok) return status;
    }
    return run_status::run_ok;
}

// What the panels of a run share of the record being taken: its cM and legend row, made once for all
// panels that keep it, and whether every sample's genotype is phased 0/1 (packed in every_words).
struct record_share {
    bool cm_known = false;
    double cm = 0.0;
    bool row_made = false;
    bool every_plain = false;
};

// The first SNP of a panel in a range read beside others, noted for the check across ranges.
void note_range_start(record_conversion& work, size_t panel, const bcf1_t* record, double cm) {
    range_start start;
    start.panel = panel;
    start.cm = cm;
    start.location = record_location(work.reader, record);
    start.messages = work.messages->size();
    work.starts.push_back(std::move(start));
}

// Gives the panel its rows and sites so far, when its legend rows have grown long and its table
// ends on a block boundary.
run_status drain_when_long(record_conversion& work, size_t panel) {
    panel_part& part = work.parts[panel];
    constexpr size_t long_legend = size_t{1} << 20;
    if (!work.drain || part.legend.size() < long_legend ||
        part.table.site_count % haplotype_table::sites_per_block != 0) {
        return run_status::run_ok;
    }
    return work.drain(panel, part);
}

// A SNP alone at its position, for one panel: the genotype rules, the allele frequency, then a legend
// row and a table site.
run_status take_snp_into(record_conversion& work, size_t panel, bcf1_t* record, record_share& shared) {
    const vcf_reader& reader = work.reader;
    panel_part& part = work.parts[panel];
    const std::vector<int>& samples = work.targets[panel].samples;
    // Nearly every site of a panel has all its genotypes phased 0/1: those are packed straight from
    // htslib's GT bytes (or gathered from every sample's, packed once); the rest are read and sorted
    // out the checked way.
    bool packed = shared.every_plain;
    if (packed) gather_panel_bits(work.gathers[panel], work.every_words, work.site_words);
    else packed = read_plain_phased_words(reader.header, record, samples, work.site_words);
    if (!packed) {
        const site_check check =
            read_phased_alleles(reader.header, record, samples, work.gt_buffer, work.gt_capacity, work.alleles);
        if (check.verdict == site_verdict::malformed) {
            report_malformed(reader, record, check);
            return run_status::bad_input;
        }
        if (check.verdict == site_verdict::bad) {
            const run_status status = skip_or_refuse(work, part, record, check);
            if (status == run_status::run_ok && (check.kind == bad_site_kind::missing || check.kind == bad_site_kind::unphased)) {
                count_faulty_calls(reader.header, record, samples, check.kind, work.gt_buffer, work.gt_capacity,
                                   check.kind == bad_site_kind::missing ? part.missing_calls : part.unphased_calls);
            }
            return status;
        }
    }
    const double min_frequency = work.policy.min_minor_allele_frequency;
    if (packed ? below_min_maf(ones_in(work.site_words), 2 * static_cast<int64_t>(samples.size()), min_frequency)
               : below_min_maf(work.alleles, min_frequency)) {
        ++part.counts.below_min_maf;
        return run_status::run_ok;
    }
    if (!shared.cm_known) {
        const run_status status = site_cm(reader, record, work.cm, shared.cm);
        if (status != run_status::run_ok) return status;
        shared.cm_known = true;
    }
    if (shared.cm < part.last_cm) {
        report_decreasing_cm(record_location(reader, record), shared.cm, part.last_cm);
        return run_status::bad_input;
    }
    if (work.messages != nullptr && part.last_cm == -INFINITY) note_range_start(work, panel, record, shared.cm);
    part.last_cm = shared.cm;
    if (!shared.row_made) {
        append_legend_row(work.row, reader.chromosome, record, shared.cm);
        shared.row_made = true;
    }
    try {
        part.legend += work.row;
    } catch (const std::bad_alloc&) {
        print_message(message_kind::tool, "not enough memory for the legend rows\n");
        return run_status::out_of_memory;
    }
    const run_status status = packed ? add_site_words(part.table, work.site_words) : add_site(part.table, work.alleles);
    if (status != run_status::run_ok) return status;
    ++part.counts.kept;
    return drain_when_long(work, panel);
}

// A SNP alone at its position, for every panel in turn.
run_status take_snp(record_conversion& work, bcf1_t* record) {
    record_share shared;
    if (!work.gathers.empty()) {
        shared.every_plain = read_plain_phased_words(work.reader.header, record, work.every_sample, work.every_words);
    }
    for (size_t panel = 0; panel < work.parts.size(); ++panel) {
        const run_status status = take_snp_into(work, panel, record, shared);
        if (status != run_status::run_ok) return status;
    }
    return run_status::run_ok;
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
        for (panel_part& part : work.parts) ++part.counts.duplicates;
        return run_status::run_ok;
    }
    print_message(message_kind::place,
                  "%s: the SNP %s>%s is given in two records with different genotypes; which is right cannot be "
                  "told: remove the wrong record (bcftools norm -d exact keeps the first of each)\n",
                  record_location(work.reader, record).c_str(), record->d.allele[0], record->d.allele[1]);
    return run_status::bad_input;
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
    say_progress(*work.progress, reading_progress_text(reader.path, reader.chromosome, position, work.parts.size(),
                                       work.parts.empty() ? 0 : work.parts[0].counts.kept, reader.records),
                 length > 0 ? static_cast<double>(position) / static_cast<double>(length) : -1.0);
}

// How many records go by between two reports of how far the reading is.
constexpr int64_t records_between_reports = 1024;

}  // namespace

std::string reading_progress_text(const std::string& path, const std::string& chromosome, int64_t position,
                                  size_t panels, int64_t kept, int64_t records) {
    std::string text = "reading " + path + ": " + chromosome + ":" + grouped_digits(position) + ", ";
    // With several panels no one count of SNPs kept stands for the run.
    if (panels == 1) return text + grouped_digits(kept) + " SNPs kept";
    return text + grouped_digits(records) + " records read";
}

void start_parts(record_conversion& work) {
    work.parts.clear();
    work.gathers.clear();
    if (work.targets.size() > 1 && work.reader.header != nullptr) {
        const int sample_count = bcf_hdr_nsamples(work.reader.header);
        work.every_sample.resize(static_cast<size_t>(sample_count));
        for (int sample = 0; sample < sample_count; ++sample) work.every_sample[static_cast<size_t>(sample)] = sample;
        for (const panel_target& target : work.targets) work.gathers.push_back(make_panel_gather(target.samples, sample_count));
    }
    for (const panel_target& target : work.targets) {
        panel_part part;
        start_haplotype_table(part.table, 2 * static_cast<int64_t>(target.samples.size()));
        part.missing_calls.assign(target.samples.size(), 0);
        part.unphased_calls.assign(target.samples.size(), 0);
        work.parts.push_back(std::move(part));
    }
}

void report_decreasing_cm(const std::string& location, double cm, double last_cm) {
    print_message(message_kind::place, "%s: cM %g is below the %g of the SNP before; genetic positions must not decrease\n",
                  location.c_str(), cm, last_cm);
}

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
        status = skip_or_refuse_everywhere(work, reader.record, check);
    }
    bcf_destroy(held);
    std::free(work.gt_buffer);
    work.gt_buffer = nullptr;
    work.gt_capacity = 0;
    return status;
}

}  // namespace corvane
