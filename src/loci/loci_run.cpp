// Drives corvane-loci: options, output checks, reading, merging, carriers, then the outputs.
#include "loci/loci_run.hpp"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "common/message.hpp"
#include "common/run_record.hpp"
#include "common/same_file.hpp"
#include "common/staged_output.hpp"
#include "input/gene_file.hpp"
#include "loci/core_table.hpp"
#include "loci/loci_across_frequencies.hpp"
#include "loci/loci_options.hpp"
#include "loci/loci_tables.hpp"
#include "loci/locus_genes.hpp"
#include "loci/locus_merge.hpp"
#include "loci/panel_carriers.hpp"
#include "loci/result_table.hpp"
#include "loci/sample_names.hpp"
#include "report/work_progress.hpp"

namespace corvane {

namespace {

// Every output the options name, the loci table first.
std::vector<std::string> output_paths(const loci_options& options) {
    std::vector<std::string> outputs = {options.output_path};
    for (const std::string* extra : {&options.bed_path, &options.carriers_path, &options.core_path}) {
        if (!extra->empty()) outputs.push_back(*extra);
    }
    return outputs;
}

// Enters the inputs in the run record and names where it goes: LOCI.log.
void place_loci_record(const loci_options& options, run_record& record) {
    for (const auto* paths : {&options.result_paths, &options.panel_paths, &options.legend_paths}) {
        for (const std::string& path : *paths) add_record_input(record, path);
    }
    for (const auto* tables : {&options.observed_tables, &options.null_tables}) {
        for (const frequency_table& table : *tables) add_record_input(record, table.path);
    }
    add_record_input(record, options.samples_path);
    add_record_input(record, options.genes_path);
    place_run_record(record, options.output_path + ".log", output_paths(options));
}

// Refuses an output that names an input or another output.
run_status check_outputs(const loci_options& options) {
    std::vector<named_input> inputs;
    for (const auto* paths : {&options.result_paths, &options.panel_paths, &options.legend_paths}) {
        for (const std::string& path : *paths) inputs.push_back({"input", path});
    }
    for (const auto* tables : {&options.observed_tables, &options.null_tables}) {
        for (const frequency_table& table : *tables) inputs.push_back({"input", table.path});
    }
    inputs.push_back({"input", options.samples_path});
    inputs.push_back({"input", options.genes_path});
    const std::vector<std::string> outputs = output_paths(options);
    for (size_t k = 0; k < outputs.size(); ++k) {
        const run_status checked = check_output_is_not_an_input(outputs[k], inputs);
        if (checked != run_status::run_ok) return checked;
        for (size_t j = 0; j < k; ++j) {
            if (!names_same_file(outputs[k], outputs[j])) continue;
            print_message(message_kind::tool, "output file %s is named twice\n", outputs[k].c_str());
            return run_status::usage_error;
        }
    }
    return run_status::run_ok;
}

// An output named .gz is written compressed (BGZF, which gzip, zcat and bgzip read), as its name says.
output_compression compression_by_name(const std::string& path) {
    return path.ends_with(".gz") ? output_compression::bgzf : output_compression::none;
}

// The outputs of a run, opened before anything is read so that a name that cannot take its file
// stops the run at once; the temporary files stand until the commit.
struct loci_outputs {
    staged_output table;
    std::unique_ptr<staged_output> bed;
    std::unique_ptr<staged_output> carriers;
    std::unique_ptr<staged_output> core;
    std::vector<staged_output*> all;
};

run_status open_outputs(const loci_options& options, loci_outputs& out) {
    out.all = {&out.table};
    if (!options.bed_path.empty()) out.all.push_back((out.bed = std::make_unique<staged_output>()).get());
    if (!options.carriers_path.empty()) out.all.push_back((out.carriers = std::make_unique<staged_output>()).get());
    if (!options.core_path.empty()) out.all.push_back((out.core = std::make_unique<staged_output>()).get());
    run_status status = open_staged(out.table, options.output_path, compression_by_name(options.output_path));
    if (status == run_status::run_ok && out.bed) {
        status = open_staged(*out.bed, options.bed_path, compression_by_name(options.bed_path));
    }
    if (status == run_status::run_ok && out.carriers) {
        status = open_staged(*out.carriers, options.carriers_path, compression_by_name(options.carriers_path));
    }
    if (status == run_status::run_ok && out.core) {
        status = open_staged(*out.core, options.core_path, compression_by_name(options.core_path));
    }
    return status;
}

// The loci of one run, with what their table shows.
struct found_loci {
    const result_rows* rows = nullptr;
    const std::vector<locus>* loci = nullptr;
    std::vector<double> peak_frequencies = {};        // per locus, when formed across frequencies
    const frequency_columns* by_frequency = nullptr;  // null when formed from one frequency
};

// A line of the loci table with one more column at its end.
std::string with_column(std::string line, const std::string& value) {
    line.insert(line.size() - 1, "\t" + value);
    return line;
}

// What the loci table and the other outputs hold besides the loci: their carriers, the sample ids,
// and the genes column (empty without --genes).
struct loci_findings {
    std::vector<locus_carriers> measured;
    std::vector<std::string> samples;
    std::vector<std::string> genes;
};

run_status write_outputs(const loci_options& options, const found_loci& found, const loci_findings& findings,
                         loci_outputs& out, run_record& record) {
    const result_rows& rows = *found.rows;
    const std::vector<locus>& loci = *found.loci;
    const bool with_carriers = !options.panel_paths.empty();
    const bool with_genes = !options.genes_path.empty();
    const std::string header = loci_header(found.by_frequency, with_carriers);
    run_status status = write_staged(out.table, with_genes ? with_column(header, "genes") : header);
    if (status == run_status::run_ok && out.carriers) status = write_staged(*out.carriers, carrier_list_header());
    if (status == run_status::run_ok && out.core) status = write_staged(*out.core, core_table_header());
    int64_t carrier_lines_written = 0, core_rows_written = 0;
    for (size_t k = 0; k < loci.size() && status == run_status::run_ok; ++k) {
        const locus_carriers* carriers = with_carriers ? &findings.measured[k] : nullptr;
        const std::string row = loci_row(rows, loci, k, found.by_frequency, carriers);
        status = write_staged(out.table, with_genes ? with_column(row, findings.genes[k]) : row);
        if (status == run_status::run_ok && out.bed) status = write_staged(*out.bed, bed_line(rows, loci[k]));
        if (status == run_status::run_ok && out.carriers) {
            status = write_staged(*out.carriers, carrier_lines(rows, loci[k], findings.measured[k], findings.samples));
            carrier_lines_written += static_cast<int64_t>(findings.measured[k].rows.size());
        }
        if (status == run_status::run_ok && out.core) {
            status = write_staged(*out.core, core_table_lines(locus_name(rows, loci[k]), findings.measured[k]));
            core_rows_written += static_cast<int64_t>(findings.measured[k].core_snps.size());
        }
    }
    if (status == run_status::run_ok) status = commit_staged(out.all);
    if (status != run_status::run_ok) return status;
    if (out.carriers) add_record_count(record, "carrier_haplotypes", carrier_lines_written);
    if (out.core) add_record_count(record, "core_snps", core_rows_written);
    record.outputs = output_paths(options);
    return run_status::run_ok;
}

// The genes column of every locus.
run_status find_genes(const loci_options& options, const result_rows& rows, const std::vector<locus>& loci,
                      std::vector<std::string>& column, run_record& record) {
    gene_table genes;
    const run_status read = read_gene_file(options.genes_path, genes);
    if (read != run_status::run_ok) return read;
    add_record_count(record, "genes", genes.count);
    std::vector<locus_span> spans;
    spans.reserve(loci.size());
    for (const locus& found : loci) spans.push_back({rows.chr_names[found.chr], found.start, found.end});
    column = genes_column(genes, spans);
    return run_status::run_ok;
}

// Genes, sample ids, carriers and cores of the loci found, then the outputs.
run_status measure_and_write(const loci_options& options, const found_loci& found, loci_outputs& out,
                             work_progress& progress, run_record& record) {
    add_record_count(record, "loci", static_cast<int64_t>(found.loci->size()));
    loci_findings findings;
    // Genes first: a gene file that cannot be read ends the run before any panel is loaded.
    if (!options.genes_path.empty()) {
        say_progress(progress, "reading " + options.genes_path);
        const run_status genes = find_genes(options, *found.rows, *found.loci, findings.genes, record);
        if (genes != run_status::run_ok) return genes;
    }
    std::vector<std::string>& samples = findings.samples;
    if (!options.samples_path.empty()) {
        const run_status read = read_sample_names(options.samples_path, samples);
        if (read != run_status::run_ok) return read;
        if (samples.empty()) {
            print_message(message_kind::tool, "%s: no sample ids\n", options.samples_path.c_str());
            return run_status::bad_input;
        }
    }
    if (!options.panel_paths.empty()) {
        const run_status measured =
            measure_carriers(options, *found.rows, *found.loci, found.peak_frequencies, samples.size(),
                             !options.carriers_path.empty(), findings.measured, progress, record);
        if (measured != run_status::run_ok) return measured;
    }
    if (!options.core_path.empty()) {
        say_progress(progress, "naming the core SNPs");
        const run_status named = name_core_snps(options, findings.measured);
        if (named != run_status::run_ok) return named;
    }
    say_progress(progress, "writing " + options.output_path);
    return write_outputs(options, found, findings, out, record);
}

// Loci of result tables of one frequency, ranked by their longest interval.
run_status run_one_frequency(const loci_options& options, loci_outputs& out, work_progress& progress,
                             run_record& record) {
    result_rows rows;
    for (const std::string& path : options.result_paths) {
        say_progress(progress, "reading " + path);
        const run_status read = read_result_table(path, rows);
        if (read != run_status::run_ok) return read;
    }
    add_record_count(record, "intervals", static_cast<int64_t>(rows.intervals.size()));
    const std::vector<locus> loci = merge_loci(rows, options.gap, {.min_cm = options.min_cm, .min_snps = options.min_snps});
    return measure_and_write(options, {.rows = &rows, .loci = &loci}, out, progress, record);
}

// Loci across the frequencies of --freq, ranked by the combined statistic.
run_status run_across_frequencies(const loci_options& options, loci_outputs& out, work_progress& progress,
                                  run_record& record) {
    say_progress(progress, options.null_tables.empty() ? "reading the tables of --freq"
                                                        : "reading the tables of --freq and --null-freq");
    frequency_loci formed;
    const run_status status = find_frequency_loci(options, formed);
    if (status != run_status::run_ok) return status;
    add_record_count(record, "intervals", static_cast<int64_t>(formed.observed.rows.intervals.size()));
    const frequency_columns columns{.loci = &formed.loci, .statistics = &formed.statistics};
    found_loci found{.rows = &formed.observed.rows, .loci = &formed.loci.loci, .by_frequency = &columns};
    for (const uint32_t peak : formed.statistics.peak_frequency) found.peak_frequencies.push_back(formed.loci.frequencies[peak]);
    return measure_and_write(options, found, out, progress, record);
}

run_status run_checked(const loci_options& options, run_record& record) {
    loci_outputs out;
    if (const run_status opened = open_outputs(options, out); opened != run_status::run_ok) return opened;
    work_progress progress;
    start_work_progress(progress);
    return options.observed_tables.empty() ? run_one_frequency(options, out, progress, record)
                                           : run_across_frequencies(options, out, progress, record);
}

}  // namespace

run_status run_loci(int argc, const char* const* argv) {
    run_record record = start_run_record(argc, argv);
    loci_options options;
    run_status status = parse_loci_options(argc, argv, options, record.parameters);
    if (status == run_status::run_ok) {
        place_loci_record(options, record);
        status = check_outputs(options);
    }
    if (status == run_status::run_ok) {
        try {
            status = run_checked(options, record);
        } catch (const std::bad_alloc&) {
            print_message(message_kind::tool, "not enough memory\n");
            status = run_status::out_of_memory;
        }
    }
    if (writes_run_record(status)) write_run_record(record, ending_of(status));
    return status;
}

}  // namespace corvane
