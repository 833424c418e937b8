// Drives a conversion: checks, map, VCF and samples in, each panel's three outputs opened, filled and
// committed together.
#include "prepare/prepare_run.hpp"

#include <string>
#include <vector>

#include "common/counted.hpp"
#include "common/message.hpp"
#include "common/same_file.hpp"
#include "common/staged_output.hpp"
#include "input/bit_panel_writer.hpp"
#include "input/haplotype_table.hpp"
#include "prepare/chromosome_conversion.hpp"
#include "prepare/chromosome_name.hpp"
#include "prepare/cm_source.hpp"
#include "prepare/dropped_samples.hpp"
#include "prepare/genetic_map.hpp"
#include "prepare/population_file.hpp"
#include "prepare/record_conversion.hpp"
#include "prepare/sample_list.hpp"
#include "prepare/vcf_reader.hpp"
#include "report/work_progress.hpp"

namespace corvane {

namespace {

// The three outputs of one panel.
struct panel_outputs {
    staged_output haplotypes;
    staged_output legend;
    staged_output sample_ids;
};

// Refuses, before any work, output names that are one of the input files (the rename would replace
// it) or that cannot take an output (a folder, a folder that cannot be written).
run_status check_output_names(const prepare_options& options, const std::vector<std::string>& prefixes) {
    for (const std::string& prefix : prefixes) {
        for (const std::string& output : {haplotype_output_path(options, prefix), legend_output_path(options, prefix),
                                          samples_output_path(prefix)}) {
            run_status checked = check_output_is_not_an_input(
                output, {{"input", options.vcf_path}, {"input", options.map_path}, {"input", options.samples_path},
                         {"input", options.populations_path}});
            if (checked == run_status::run_ok) checked = check_output_target(output);
            if (checked != run_status::run_ok) return checked;
        }
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

// The panels of the run: one per population of --populations, else one, of every sample or of those
// of --samples.
run_status choose_targets(const prepare_options& options, const vcf_reader& reader, std::vector<panel_target>& targets) {
    if (!options.populations_path.empty()) {
        int64_t left_out = 0;
        const run_status status =
            read_populations(options.populations_path, options.vcf_path, reader.header, targets, left_out);
        if (status == run_status::run_ok && left_out > 0) {
            print_message(message_kind::note, "%lld of the %d samples of %s are in no population of %s and are left out\n",
                          static_cast<long long>(left_out), bcf_hdr_nsamples(reader.header), options.vcf_path.c_str(),
                          options.populations_path.c_str());
        }
        return status;
    }
    panel_target target;
    run_status status = run_status::run_ok;
    if (options.samples_path.empty()) target.samples = all_samples(reader.header);
    else status = read_sample_list(options.samples_path, options.vcf_path, reader.header, target.samples);
    targets.push_back(std::move(target));
    return status;
}

run_status open_outputs(const prepare_options& options, const std::string& prefix, const vcf_reader& reader,
                        const panel_target& target, panel_outputs& outputs) {
    const output_compression compression =
        options.format == panel_format::gzip ? output_compression::bgzf : output_compression::none;
    run_status status = open_staged(outputs.haplotypes, haplotype_output_path(options, prefix), compression);
    if (status == run_status::run_ok) status = open_staged(outputs.legend, legend_output_path(options, prefix), compression);
    if (status == run_status::run_ok) status = open_staged(outputs.sample_ids, samples_output_path(prefix));
    if (status == run_status::run_ok) status = write_staged(outputs.legend, legend_header);
    if (status == run_status::run_ok) status = write_sample_ids(reader, target.samples, outputs.sample_ids);
    compress_with_threads(outputs.haplotypes, options.threads);
    compress_with_threads(outputs.legend, options.threads);
    return status;
}

// A panel without a single SNP kept is refused, with what the file has instead.
run_status check_some_kept(const chromosome_conversion& conversion, const panel_target& target,
                           const panel_result& panel, const site_policy& policy) {
    if (panel.counts.kept > 0) return run_status::run_ok;
    const vcf_reader& reader = conversion.reader;
    if (conversion.records == 0) {
        print_message(message_kind::tool, "%s\n",
                      absent_chromosome_message(reader.path, reader.requested_chromosome, reader.contigs_seen).c_str());
    } else {
        const bool one = conversion.records == 1;
        const std::string which =
            one ? std::string("the one site") : "none of the " + std::to_string(conversion.records) + " sites";
        const std::string of_population = target.name.empty() ? "" : " for population " + target.name;
        print_message(message_kind::tool, "%s of chromosome %s in %s is %sa usable SNP%s (%s)\n", which.c_str(),
                      reader.chromosome.c_str(), reader.path.c_str(), one ? "not " : "", of_population.c_str(),
                      skipped_counts_text(panel.counts, policy).c_str());
    }
    return run_status::bad_input;
}

// An index would have let the conversion read the chromosome with the threads asked for.
void suggest_an_index(const prepare_options& options, const vcf_reader& reader) {
    if (options.threads == 0 || reader.index_id >= 0 || reader.chromosome_absent) return;
    const bool compressed = hts_get_format(reader.file)->compression == bgzf;
    const std::string how = compressed ? "bcftools index " + reader.path
                                       : "bcftools view -Oz -o FILE.vcf.gz " + reader.path + ", then bcftools index FILE.vcf.gz";
    print_message(message_kind::note,
                  "%s was read by one thread: it has no index%s; with one (%s) the conversion reads the chromosome "
                  "with all %d threads\n",
                  reader.path.c_str(), options.use_index ? "" : " in use (--no-index)", how.c_str(), options.threads);
}

// The counts of a conversion that read the records, for the run record; a population's are named
// after it ("EUR.snps").
void record_counts(const chromosome_conversion& conversion, const bcf_hdr_t* header,
                   const std::vector<panel_target>& targets, const std::vector<panel_result>& panels,
                   run_record& record) {
    add_record_count(record, "records", conversion.records);
    for (size_t panel = 0; panel < panels.size(); ++panel) {
        const std::string name = targets[panel].name.empty() ? "" : targets[panel].name + ".";
        const site_counts& counts = panels[panel].counts;
        for (const bad_site_kind kind : all_bad_site_kinds) {
            add_record_count(record, name + "skipped_" + std::string(bad_site_option_name(kind)),
                             counts.skipped[static_cast<int>(kind)]);
        }
        add_record_count(record, name + "duplicates", counts.duplicates);
        add_record_count(record, name + "skipped_below_min_maf", counts.below_min_maf);
        add_record_count(record, name + "snps", counts.kept);
        add_record_count(record, name + "haplotypes", 2 * static_cast<int64_t>(targets[panel].samples.size()));
        add_record_count(record, name + "samples", static_cast<int64_t>(targets[panel].samples.size()));
        // Per sample, its missing and unphased calls at the sites skipped for them: who to leave out.
        const std::vector<int>& samples = targets[panel].samples;
        for (size_t i = 0; i < samples.size(); ++i) {
            const char* sample = header->samples[samples[i]];
            if (panels[panel].missing_calls[i] > 0) {
                add_record_count(record, name + "missing_calls." + sample, panels[panel].missing_calls[i]);
            }
            if (panels[panel].unphased_calls[i] > 0) {
                add_record_count(record, name + "unphased_calls." + sample, panels[panel].unphased_calls[i]);
            }
        }
    }
}

}  // namespace

void place_prepare_record(const prepare_options& options, run_record& record) {
    for (const std::string* input : {&options.vcf_path, &options.ms_path, &options.map_path, &options.samples_path,
                                     &options.populations_path, &options.text_panel_path}) {
        add_record_input(record, *input);
    }
    std::vector<std::string> outputs = {haplotype_output_path(options), legend_output_path(options),
                                        samples_output_path(options)};
    // The replicates' outputs, PREFIX.K.hapbits and PREFIX.K.legend, never take the record's name.
    if (!options.ms_path.empty()) outputs.clear();
    if (!options.text_panel_path.empty()) outputs = {haplotype_output_path(options)};
    place_run_record(record, record_path(options), outputs);
}

run_status run_prepare(const prepare_options& options, run_record& record) {
    // The names of a population's outputs are known once its file is read.
    run_status status =
        options.populations_path.empty() ? check_output_names(options, {options.out_prefix}) : run_status::run_ok;
    if (status != run_status::run_ok) return status;
    work_progress progress;
    start_work_progress(progress);
    genetic_map map;
    cm_source cm;
    if (!options.map_path.empty()) {
        say_progress(progress, "reading " + options.map_path);
        status = read_genetic_map(options.map_path, options.layout,
                                  options.map_chromosome.empty() ? options.chromosome : options.map_chromosome, map);
        if (status != run_status::run_ok) return status;
        cm.map = &map;
    } else if (options.cm_per_mb > 0.0) {
        map = uniform_genetic_map(options.cm_per_mb);
        cm.map = &map;
    } else {
        cm.tag = options.cm_tag.c_str();
    }

    vcf_reader reader;
    status = open_vcf(reader, options.vcf_path, options.chromosome, options.use_index);
    if (status != run_status::run_ok) return status;
    add_record_input(record, options.vcf_path, {"samples=" + std::to_string(bcf_hdr_nsamples(reader.header))});
    if (bcf_hdr_nsamples(reader.header) == 0) {
        print_message(message_kind::tool, "%s has no samples\n", options.vcf_path.c_str());
        return run_status::bad_input;
    }
    if (cm.tag != nullptr) status = prepare_cm_tag(reader, cm);
    std::vector<panel_target> targets;
    if (status == run_status::run_ok) status = choose_targets(options, reader, targets);
    if (status != run_status::run_ok) return status;
    std::vector<std::string> prefixes;
    for (const panel_target& target : targets) {
        prefixes.push_back(target.name.empty() ? options.out_prefix : options.out_prefix + "." + target.name);
    }
    if (!options.populations_path.empty()) status = check_output_names(options, prefixes);
    if (status != run_status::run_ok) return status;

    std::vector<panel_outputs> outputs(targets.size());
    std::vector<panel_result> panels(targets.size());
    for (size_t panel = 0; panel < targets.size() && status == run_status::run_ok; ++panel) {
        status = open_outputs(options, prefixes[panel], reader, targets[panel], outputs[panel]);
        panels[panel].legend = &outputs[panel].legend;
    }
    if (status != run_status::run_ok) return status;
    say_progress(progress, "reading " + options.vcf_path);
    chromosome_conversion conversion{.reader = reader, .targets = targets, .policy = options.policy, .cm = cm,
                                     .threads = options.threads, .panels = panels, .progress = &progress};
    status = convert_chromosome(conversion);
    record_counts(conversion, reader.header, targets, panels, record);
    for (size_t panel = 0; panel < targets.size() && status == run_status::run_ok; ++panel) {
        status = check_some_kept(conversion, targets[panel], panels[panel], options.policy);
    }
    std::vector<staged_output*> committed;
    for (size_t panel = 0; panel < targets.size() && status == run_status::run_ok; ++panel) {
        say_progress(progress, "writing " + outputs[panel].haplotypes.final_path);
        status = options.format == panel_format::bits ? write_bit_panel(panels[panel].table, outputs[panel].haplotypes, options.threads)
                                                      : write_haplotype_lines(panels[panel].table, outputs[panel].haplotypes);
        panels[panel].table = haplotype_table{};
        committed.insert(committed.end(), {&outputs[panel].haplotypes, &outputs[panel].legend, &outputs[panel].sample_ids});
    }
    if (status == run_status::run_ok) status = commit_staged(committed);
    end_work_progress(progress);
    if (status != run_status::run_ok) return status;
    for (const panel_outputs& written : outputs) {
        record.outputs.insert(record.outputs.end(), {written.haplotypes.final_path, written.legend.final_path,
                                                     written.sample_ids.final_path});
    }
    // Counted only now: a refused or failed run's counts would read like a result (its run record
    // holds them beside how it ended).
    for (size_t panel = 0; panel < targets.size(); ++panel) {
        report_site_counts(panels[panel].counts, options.policy, targets[panel].name);
        report_samples_behind_drops(reader.header, targets[panel], panels[panel], options.populations_path);
        const panel_outputs& written = outputs[panel];
        const int64_t samples = static_cast<int64_t>(targets[panel].samples.size());
        print_message(message_kind::note, "wrote %s, %s and %s: %s, %s of %s\n", written.haplotypes.final_path.c_str(),
                      written.legend.final_path.c_str(), written.sample_ids.final_path.c_str(),
                      counted(panels[panel].counts.kept, "SNP", "SNPs").c_str(),
                      counted(2 * samples, "haplotype", "haplotypes").c_str(),
                      counted(samples, "sample", "samples").c_str());
    }
    suggest_an_index(options, reader);
    return run_status::run_ok;
}

}  // namespace corvane
