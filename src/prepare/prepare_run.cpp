// Drives a conversion: checks, map, VCF and samples in, the three outputs opened, filled and committed.
#include "prepare/prepare_run.hpp"

#include <string>
#include <vector>

#include "common/counted.hpp"
#include "common/message.hpp"
#include "common/same_file.hpp"
#include "common/staged_output.hpp"
#include "input/bit_panel_writer.hpp"
#include "input/haplotype_table.hpp"
#include "prepare/cm_source.hpp"
#include "prepare/genetic_map.hpp"
#include "prepare/record_conversion.hpp"
#include "prepare/sample_list.hpp"
#include "prepare/vcf_reader.hpp"
#include "report/work_progress.hpp"

namespace corvane {

namespace {

// Refuses, before any work, output names that are one of the input files (the rename would replace
// it) or that cannot take an output (a folder, a folder that cannot be written).
run_status check_output_names(const prepare_options& options) {
    for (const std::string& output :
         {haplotype_output_path(options), legend_output_path(options), samples_output_path(options)}) {
        run_status checked = check_output_is_not_an_input(
            output, {{"input", options.vcf_path}, {"input", options.map_path}, {"input", options.samples_path}});
        if (checked == run_status::run_ok) checked = check_output_target(output);
        if (checked != run_status::run_ok) return checked;
    }
    return run_status::run_ok;
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

// The counts of a conversion that read the records, for the run record.
void record_counts(const record_conversion& work, run_record& record) {
    add_record_count(record, "records", work.reader.records);
    for (const bad_site_kind kind : all_bad_site_kinds) {
        add_record_count(record, "skipped_" + std::string(bad_site_option_name(kind)),
                         work.counts.skipped[static_cast<int>(kind)]);
    }
    add_record_count(record, "skipped_below_min_maf", work.counts.below_min_maf);
    add_record_count(record, "snps", work.counts.kept);
    add_record_count(record, "haplotypes", work.table.haplotype_count);
    add_record_count(record, "samples", static_cast<int64_t>(work.samples.size()));
}

}  // namespace

void place_prepare_record(const prepare_options& options, run_record& record) {
    for (const std::string* input : {&options.vcf_path, &options.map_path, &options.samples_path, &options.text_panel_path}) {
        add_record_input(record, *input);
    }
    const std::vector<std::string> outputs = {haplotype_output_path(options), legend_output_path(options),
                                              samples_output_path(options)};
    place_run_record(record, record_path(options), options.text_panel_path.empty()
                                                       ? outputs
                                                       : std::vector<std::string>{haplotype_output_path(options)});
}

run_status run_prepare(const prepare_options& options, run_record& record) {
    run_status status = check_output_names(options);
    if (status != run_status::run_ok) return status;
    work_progress progress;
    start_work_progress(progress);
    genetic_map map;
    cm_source cm;
    if (!options.map_path.empty()) {
        say_progress(progress, "reading " + options.map_path);
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
    add_record_input(record, options.vcf_path, {"samples=" + std::to_string(bcf_hdr_nsamples(reader.header))});
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
    if (status == run_status::run_ok) status = write_staged(legend, legend_header);
    if (status == run_status::run_ok) status = write_sample_ids(reader, samples, sample_ids);
    if (status != run_status::run_ok) return status;
    compress_with_threads(haplotypes, options.threads);
    compress_with_threads(legend, options.threads);
    haplotype_table table;
    start_haplotype_table(table, 2 * static_cast<int64_t>(samples.size()));
    say_progress(progress, "reading " + options.vcf_path);
    record_conversion work{.reader = reader, .samples = samples, .policy = options.policy, .cm = cm, .legend = legend,
                    .table = table, .progress = &progress};
    status = convert_records(work);
    record_counts(work, record);
    if (status == run_status::run_ok) {
        say_progress(progress, "writing " + haplotypes.final_path);
        status = options.format == panel_format::bits ? write_bit_panel(table, haplotypes)
                                                      : write_haplotype_lines(table, haplotypes);
    }
    if (status == run_status::run_ok) status = commit_staged({&haplotypes, &legend, &sample_ids});
    end_work_progress(progress);
    if (status != run_status::run_ok) return status;
    record.outputs = {haplotypes.final_path, legend.final_path, sample_ids.final_path};
    // Counted only now: a refused or failed run's counts would read like a result (its run record
    // holds them beside how it ended).
    report_site_counts(work.counts, options.policy);
    print_message(message_kind::note, "wrote %s, %s and %s: %s, %s of %s\n", haplotypes.final_path.c_str(),
                  legend.final_path.c_str(), sample_ids.final_path.c_str(),
                  counted(table.site_count, "SNP", "SNPs").c_str(),
                  counted(table.haplotype_count, "haplotype", "haplotypes").c_str(),
                  counted(static_cast<int64_t>(samples.size()), "sample", "samples").c_str());
    return run_status::run_ok;
}

}  // namespace corvane
