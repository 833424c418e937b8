// Drives a conversion: checks, map, VCF records through the site rules, legend rows and haplotype table.
#include "prepare/prepare_run.hpp"

#include <bit>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/message.hpp"
#include "common/same_file.hpp"
#include "common/staged_output.hpp"
#include "input/bit_panel_writer.hpp"
#include "input/haplotype_table.hpp"
#include "prepare/genetic_map.hpp"
#include "prepare/phased_gt.hpp"
#include "prepare/sample_list.hpp"
#include "prepare/site_rules.hpp"
#include "prepare/vcf_reader.hpp"

namespace corvane {

namespace {

// Where a site's genetic position comes from: a map, or an INFO tag of the record.
struct cm_source {
    const genetic_map* map = nullptr;
    const char* tag = nullptr;
    int tag_type = BCF_HT_REAL;
    float* float_values = nullptr;
    int32_t* integer_values = nullptr;
    int capacity = 0;

    cm_source() = default;
    cm_source(const cm_source&) = delete;
    cm_source& operator=(const cm_source&) = delete;
    ~cm_source() {
        std::free(float_values);
        std::free(integer_values);
    }
};

// Refuses output names that are one of the input files (the rename would replace it).
run_status check_outputs_are_not_inputs(const prepare_options& options) {
    for (const std::string& output :
         {haplotype_output_path(options), legend_output_path(options), samples_output_path(options)}) {
        const run_status checked = check_output_is_not_an_input(
            output, {{"input", options.vcf_path}, {"input", options.map_path}, {"input", options.samples_path}});
        if (checked != run_status::run_ok) return checked;
    }
    return run_status::run_ok;
}

run_status prepare_cm_tag(const vcf_reader& reader, cm_source& source) {
    const int id = bcf_hdr_id2int(reader.header, BCF_DT_ID, source.tag);
    if (id < 0 || !bcf_hdr_idinfo_exists(reader.header, BCF_HL_INFO, id)) {
        print_message(message_kind::tool, "%s: the header defines no INFO field %s\n", reader.path.c_str(),
                      source.tag);
        return run_status::bad_input;
    }
    source.tag_type = bcf_hdr_id2type(reader.header, BCF_HL_INFO, id);
    if (source.tag_type != BCF_HT_REAL && source.tag_type != BCF_HT_INT) {
        print_message(message_kind::tool, "%s: INFO field %s is not numeric (Type=Float or Integer)\n",
                      reader.path.c_str(), source.tag);
        return run_status::bad_input;
    }
    return run_status::run_ok;
}

// The cM of `record`. bad_input (reported) when its INFO tag has no single finite number.
run_status site_cm(const vcf_reader& reader, bcf1_t* record, cm_source& source, double& cm) {
    if (source.map != nullptr) {
        cm = genetic_position(*source.map, record->pos + 1);
        return run_status::run_ok;
    }
    int got = 0;
    if (source.tag_type == BCF_HT_REAL) {
        got = bcf_get_info_float(reader.header, record, source.tag, &source.float_values, &source.capacity);
        if (got == 1) cm = bcf_float_is_missing(source.float_values[0]) ? NAN : source.float_values[0];
    } else {
        got = bcf_get_info_int32(reader.header, record, source.tag, &source.integer_values, &source.capacity);
        if (got == 1) cm = source.integer_values[0] == bcf_int32_missing ? NAN : source.integer_values[0];
    }
    if (got != 1 || !std::isfinite(cm)) {
        print_message(message_kind::place, "%s: INFO field %s does not hold one finite cM value\n",
                      record_location(reader, record).c_str(), source.tag);
        return run_status::bad_input;
    }
    return run_status::run_ok;
}

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

struct conversion {
    vcf_reader& reader;
    const std::vector<int>& samples;
    const site_policy& policy;
    cm_source& cm;
    staged_output& legend;
    haplotype_table& table;
    site_counts counts{};
    int32_t* gt_buffer = nullptr;
    int gt_capacity = 0;
    std::vector<uint8_t> alleles{};
    std::vector<uint64_t> site_words{};  // the site packed, when read_plain_phased_words could
    std::string row{};
    double last_cm = -INFINITY;
};

int64_t ones_in(std::span<const uint64_t> words) {
    int64_t ones = 0;
    for (const uint64_t word : words) ones += std::popcount(word);
    return ones;
}

// Counts a bad site, or refuses it as the policy says.
run_status skip_or_refuse(conversion& work, const bcf1_t* record, const site_check& check) {
    if (work.policy.refuse[static_cast<int>(check.kind)]) {
        report_refused(work.reader, record, check);
        return run_status::bad_input;
    }
    ++work.counts.skipped[static_cast<int>(check.kind)];
    return run_status::run_ok;
}

// A SNP alone at its position: the genotype rules, the allele frequency, then a legend row and a table site.
run_status take_snp(conversion& work, bcf1_t* record) {
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

// Reads every record of the chromosome: usable SNPs become a legend row and a table site, other
// sites are counted or refused. A SNP waits in `held` until the next record shows it alone at its
// position: split multi-allelic sites (bcftools norm -m-) come as several SNP records at one position,
// which together are one multi-allelic site. Indels at a SNP's position leave the SNP alone.
run_status convert_records(conversion& work) {
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
            print_message(message_kind::tool, "%s\n", absent_chromosome_message(reader).c_str());
        } else {
            print_message(message_kind::tool, "none of the %lld sites of chromosome %s in %s is a usable SNP\n",
                          static_cast<long long>(reader.records), reader.chromosome.c_str(), reader.path.c_str());
        }
        status = run_status::bad_input;
    }
    return status;
}

// The sample ids of the panel's haplotype pairs, one per line in panel order.
run_status write_sample_ids(const vcf_reader& reader, const std::vector<int>& samples, staged_output& target) {
    std::string text;
    for (const int sample : samples) {
        text += reader.header->samples[sample];
        text += '\n';
    }
    return write_staged(target, text);
}

}  // namespace

run_status run_prepare(const prepare_options& options) {
    run_status status = check_outputs_are_not_inputs(options);
    if (status != run_status::run_ok) return status;
    genetic_map map;
    cm_source cm;
    if (!options.map_path.empty()) {
        status = read_genetic_map(options.map_path, options.layout, options.chromosome, map);
        if (status != run_status::run_ok) return status;
        cm.map = &map;
    } else {
        cm.tag = options.cm_tag.c_str();
    }

    vcf_reader reader;
    status = open_vcf(reader, options.vcf_path, options.chromosome);
    if (status != run_status::run_ok) return status;
    if (options.threads > 0) hts_set_threads(reader.file, options.threads);
    if (bcf_hdr_nsamples(reader.header) == 0) {
        print_message(message_kind::tool, "%s has no samples\n", options.vcf_path.c_str());
        return run_status::bad_input;
    }
    if (cm.tag != nullptr) status = prepare_cm_tag(reader, cm);
    std::vector<int> samples;
    if (options.samples_path.empty()) samples = all_samples(reader.header);
    else if (status == run_status::run_ok) status = read_sample_list(options.samples_path, options.vcf_path, reader.header, samples);
    if (status != run_status::run_ok) return status;

    staged_output haplotypes;
    staged_output legend;
    staged_output sample_ids;
    const bool gzip = options.format == panel_format::gzip;
    const output_compression compression = gzip ? output_compression::bgzf : output_compression::none;
    status = open_staged(haplotypes, haplotype_output_path(options), compression);
    if (status == run_status::run_ok) status = open_staged(legend, legend_output_path(options), compression);
    if (status == run_status::run_ok) status = open_staged(sample_ids, samples_output_path(options));
    if (status == run_status::run_ok) status = write_staged(legend, "chr\tid\tcM\tbp\n");
    if (status == run_status::run_ok) status = write_sample_ids(reader, samples, sample_ids);
    if (status != run_status::run_ok) return status;
    compress_with_threads(haplotypes, options.threads);
    compress_with_threads(legend, options.threads);
    haplotype_table table;
    start_haplotype_table(table, 2 * static_cast<int64_t>(samples.size()));
    conversion work{.reader = reader, .samples = samples, .policy = options.policy, .cm = cm, .legend = legend,
                    .table = table};
    status = convert_records(work);
    if (status == run_status::run_ok) {
        status = options.format == panel_format::bits ? write_bit_panel(table, haplotypes)
                                                      : write_haplotype_lines(table, haplotypes);
    }
    if (status == run_status::run_ok) status = commit_staged({&haplotypes, &legend, &sample_ids});
    if (status != run_status::run_ok) return status;
    print_message(message_kind::tool, "wrote %s, %s and %s: %lld SNPs, %lld haplotypes of %zu samples\n",
                  haplotypes.final_path.c_str(), legend.final_path.c_str(), sample_ids.final_path.c_str(),
                  static_cast<long long>(table.site_count),
                  static_cast<long long>(table.haplotype_count), samples.size());
    return run_status::run_ok;
}

}  // namespace corvane
