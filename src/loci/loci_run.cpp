// Drives corvane-loci: options, output checks, reading, merging, carriers, then the outputs.
#include "loci/loci_run.hpp"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "common/message.hpp"
#include "common/same_file.hpp"
#include "common/staged_output.hpp"
#include "loci/loci_across_frequencies.hpp"
#include "loci/loci_options.hpp"
#include "loci/loci_tables.hpp"
#include "loci/locus_merge.hpp"
#include "loci/panel_carriers.hpp"
#include "loci/result_table.hpp"
#include "loci/sample_names.hpp"

namespace corvane {

namespace {

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
    std::vector<std::string> outputs = {options.output_path};
    for (const std::string* extra : {&options.bed_path, &options.carriers_path}) {
        if (!extra->empty()) outputs.push_back(*extra);
    }
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
    std::vector<staged_output*> all;
};

run_status open_outputs(const loci_options& options, loci_outputs& out) {
    out.all = {&out.table};
    if (!options.bed_path.empty()) out.all.push_back((out.bed = std::make_unique<staged_output>()).get());
    if (!options.carriers_path.empty()) out.all.push_back((out.carriers = std::make_unique<staged_output>()).get());
    run_status status = open_staged(out.table, options.output_path, compression_by_name(options.output_path));
    if (status == run_status::run_ok && out.bed) {
        status = open_staged(*out.bed, options.bed_path, compression_by_name(options.bed_path));
    }
    if (status == run_status::run_ok && out.carriers) {
        status = open_staged(*out.carriers, options.carriers_path, compression_by_name(options.carriers_path));
    }
    return status;
}

// The loci of one run, with what their table shows.
struct found_loci {
    const result_rows* rows = nullptr;
    const std::vector<locus>* loci = nullptr;
    std::vector<double> peak_frequencies = {};    // per locus, when formed across frequencies
    const frequency_columns* by_frequency = nullptr;  // null when formed from one frequency
};

run_status write_outputs(const loci_options& options, const found_loci& found,
                         const std::vector<locus_carriers>& measured, const std::vector<std::string>& samples,
                         loci_outputs& out) {
    const result_rows& rows = *found.rows;
    const std::vector<locus>& loci = *found.loci;
    const bool with_carriers = !options.panel_paths.empty();
    run_status status = write_staged(out.table, loci_header(found.by_frequency, with_carriers));
    if (status == run_status::run_ok && out.carriers) status = write_staged(*out.carriers, carrier_list_header());
    for (size_t k = 0; k < loci.size() && status == run_status::run_ok; ++k) {
        const locus_carriers* carriers = with_carriers ? &measured[k] : nullptr;
        status = write_staged(out.table, loci_row(rows, loci, k, found.by_frequency, carriers));
        if (status == run_status::run_ok && out.bed) status = write_staged(*out.bed, bed_line(rows, loci[k]));
        if (status == run_status::run_ok && out.carriers) {
            status = write_staged(*out.carriers, carrier_lines(rows, loci[k], measured[k], samples));
        }
    }
    if (status != run_status::run_ok) return status;
    return commit_staged(out.all);
}

run_status measure_and_write(const loci_options& options, const found_loci& found, loci_outputs& out) {
    std::vector<std::string> samples;
    if (!options.samples_path.empty()) {
        const run_status read = read_sample_names(options.samples_path, samples);
        if (read != run_status::run_ok) return read;
        if (samples.empty()) {
            print_message(message_kind::tool, "%s: no sample ids\n", options.samples_path.c_str());
            return run_status::bad_input;
        }
    }
    std::vector<locus_carriers> measured;
    if (!options.panel_paths.empty()) {
        const run_status measuring = measure_carriers(options, *found.rows, *found.loci, found.peak_frequencies,
                                                      samples.size(), !options.carriers_path.empty(), measured);
        if (measuring != run_status::run_ok) return measuring;
    }
    return write_outputs(options, found, measured, samples, out);
}

// Loci of result tables of one frequency, ranked by their longest interval.
run_status run_one_frequency(const loci_options& options, loci_outputs& out) {
    result_rows rows;
    for (const std::string& path : options.result_paths) {
        const run_status read = read_result_table(path, rows);
        if (read != run_status::run_ok) return read;
    }
    const std::vector<locus> loci = merge_loci(rows, options.gap, {.min_cm = options.min_cm, .min_snps = options.min_snps});
    return measure_and_write(options, {.rows = &rows, .loci = &loci}, out);
}

// Loci across the frequencies of --freq, ranked by the combined statistic.
run_status run_across_frequencies(const loci_options& options, loci_outputs& out) {
    frequency_loci formed;
    const run_status status = find_frequency_loci(options, formed);
    if (status != run_status::run_ok) return status;
    const frequency_columns columns{.loci = &formed.loci, .statistics = &formed.statistics};
    found_loci found{.rows = &formed.observed.rows, .loci = &formed.loci.loci, .by_frequency = &columns};
    for (const uint32_t peak : formed.statistics.peak_frequency) found.peak_frequencies.push_back(formed.loci.frequencies[peak]);
    return measure_and_write(options, found, out);
}

run_status run_checked(const loci_options& options) {
    loci_outputs out;
    if (const run_status opened = open_outputs(options, out); opened != run_status::run_ok) return opened;
    return options.observed_tables.empty() ? run_one_frequency(options, out) : run_across_frequencies(options, out);
}

}  // namespace

run_status run_loci(int argc, const char* const* argv) {
    loci_options options;
    run_status status = parse_loci_options(argc, argv, options);
    if (status == run_status::run_ok) status = check_outputs(options);
    if (status != run_status::run_ok) return status;
    try {
        return run_checked(options);
    } catch (const std::bad_alloc&) {
        print_message(message_kind::tool, "not enough memory\n");
        return run_status::out_of_memory;
    }
}

}  // namespace corvane
