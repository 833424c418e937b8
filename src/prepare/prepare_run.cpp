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

}  // namespace

run_status run_prepare(const prepare_options& options) {
    run_status status = check_output_names(options);
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
    record_conversion work{.reader = reader, .samples = samples, .policy = options.policy, .cm = cm, .legend = legend,
                    .table = table};
    status = convert_records(work);
    if (status == run_status::run_ok) {
        status = options.format == panel_format::bits ? write_bit_panel(table, haplotypes)
                                                      : write_haplotype_lines(table, haplotypes);
    }
    if (status == run_status::run_ok) status = commit_staged({&haplotypes, &legend, &sample_ids});
    if (status != run_status::run_ok) return status;
    // Counted only now: a refused or failed run's counts would read like a result.
    report_site_counts(work.counts, options.policy);
    print_message(message_kind::tool, "wrote %s, %s and %s: %s, %s of %s\n", haplotypes.final_path.c_str(),
                  legend.final_path.c_str(), sample_ids.final_path.c_str(),
                  counted(table.site_count, "SNP", "SNPs").c_str(),
                  counted(table.haplotype_count, "haplotype", "haplotypes").c_str(),
                  counted(static_cast<int64_t>(samples.size()), "sample", "samples").c_str());
    return run_status::run_ok;
}

}  // namespace corvane
