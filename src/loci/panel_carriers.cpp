// Matches result rows to legends, loads panels one at a time and finds each locus's carrier set.
#include "loci/panel_carriers.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/counted.hpp"
#include "common/message.hpp"
#include "input/fast_genotype_loading.hpp"
#include "input/legend/legend_index.hpp"
#include "input/legend/legend_rows.hpp"
#include "loci/row_windows.hpp"
#include "search/carrier_search.hpp"
#include "search/scan_threshold.hpp"

namespace corvane {

namespace {

constexpr uint32_t no_panel = UINT32_MAX;

// Which panel each result chromosome belongs to, and every row's SNP columns.
struct row_matches {
    std::vector<uint32_t> panel_of_chr;
    std::vector<snp_window> windows;         // per result row
    std::vector<int64_t> legend_row_counts;  // per panel
    // Per locus, when its peak's positions fit several runs of SNPs (SNPs sharing positions): all of
    // them, any of which the scan may have reported.
    std::vector<std::vector<snp_window>> peak_runs;
};

run_status match_rows(const loci_options& options, const result_rows& rows, const std::vector<locus>& loci,
                      bool peak_runs_needed, row_matches& matches, work_progress& progress) {
    if (peak_runs_needed) matches.peak_runs.assign(loci.size(), {});
    matches.panel_of_chr.assign(rows.chr_names.size(), no_panel);
    matches.windows.assign(rows.intervals.size(), snp_window{});
    for (size_t panel = 0; panel < options.legend_paths.size(); ++panel) {
        say_progress(progress, "reading " + options.legend_paths[panel]);
        legend_index legend;
        const run_status read = read_legend_index(options.legend_paths[panel], legend);
        if (read != run_status::run_ok) return read;
        matches.legend_row_counts.push_back(static_cast<int64_t>(legend.bp.size()));
        for (size_t chr = 0; chr < rows.chr_names.size(); ++chr) {
            if (matches.panel_of_chr[chr] == no_panel && legend_has_chromosome(legend, rows.chr_names[chr])) {
                matches.panel_of_chr[chr] = static_cast<uint32_t>(panel);
            }
        }
        for (size_t k = 0; k < rows.intervals.size(); ++k) {
            if (matches.panel_of_chr[rows.intervals[k].chr] != panel) continue;
            // Columns beyond the panel are checked once it is loaded and its SNP count known.
            const run_status found = find_row_window(legend, rows, k, matches.windows[k]);
            if (found != run_status::run_ok) return found;
        }
        for (size_t k = 0; k < matches.peak_runs.size(); ++k) {
            if (matches.panel_of_chr[loci[k].chr] != panel) continue;
            std::vector<snp_window> runs = all_row_windows(legend, rows, loci[k].peak);
            if (runs.size() > 1) matches.peak_runs[k] = std::move(runs);
        }
    }
    for (size_t k = 0; k < rows.intervals.size(); ++k) {
        const uint32_t chr = rows.intervals[k].chr;
        if (matches.panel_of_chr[chr] != no_panel) continue;
        print_message(message_kind::place, "%s: chromosome %s is in none of the legends given with --legend\n",
                      row_location(rows, k).c_str(), rows.chr_names[chr].c_str());
        return run_status::bad_input;
    }
    return run_status::run_ok;
}

std::string core_text(const fast_genotype_matrix& table, int32_t row, snp_window window) {
    const int32_t width = window.hi - window.lo + 1;
    const int32_t shown = width > core_shown_snps ? core_shown_snps : width;
    bool digits = true;
    for (int32_t c = window.lo; c < window.lo + shown; ++c) {
        const int32_t allele = table.at(row, c);
        digits = digits && allele >= 0 && allele <= 9;
    }
    // 0/1 (or single-digit) alleles side by side; other codes separated by commas.
    std::string text;
    for (int32_t c = window.lo; c < window.lo + shown; ++c) {
        if (!digits && c > window.lo) text += ',';
        text += std::to_string(table.at(row, c));
    }
    if (shown < width) text += "...";
    return text;
}

run_status load_panel(const std::string& path, fast_genotype_matrix& table) {
    // The carrier search reads a bit table's bits as its alleles: other codes are held as integers.
    const run_status loaded = load_fast_genotype_matrix(path, table, other_alleles::widen_the_table);
    if (loaded == run_status::genotype_missing) {
        print_message(message_kind::tool, "%s: cannot open: %s\n", path.c_str(), std::strerror(errno));
    }
    return loaded;
}

run_status check_sample_count(const std::string& panel_path, const loci_options& options, const fast_genotype_matrix& table,
                              size_t sample_count) {
    if (sample_count == 0 || static_cast<int64_t>(2 * sample_count) == table.haplotype_count) return run_status::run_ok;
    print_message(message_kind::tool, "%s: %s, but the panel %s has %s (two per sample)\n", options.samples_path.c_str(),
                  counted(static_cast<int64_t>(sample_count), "sample id", "sample ids").c_str(), panel_path.c_str(),
                  counted(table.haplotype_count, "haplotype", "haplotypes").c_str());
    return run_status::bad_input;
}

// A peak of a scan at `frequency` of this panel passed the scan's threshold whole or without its
// last SNP (reported_interval_holds); one that did neither was scanned from another panel, or at
// another frequency. Where the peak's positions fit several runs of SNPs (`fitting_runs`, the first
// being `peak`), it is enough that one of them holds.
run_status check_peak_threshold(const loci_options& options, const result_rows& rows, const locus& found,
                                const fast_genotype_matrix& table, snp_window peak, int32_t carriers, float frequency,
                                const std::vector<snp_window>& fitting_runs, size_t panel) {
    const float threshold = carrier_threshold(table.haplotype_count, frequency);
    const auto count_of = [&](snp_window window) { return static_cast<int32_t>(find_carriers(table, window).carrier_rows.size()); };
    int32_t shortened = -1;
    const auto count = [&](snp_window window) {
        if (window.hi == peak.hi) return carriers;
        shortened = count_of(window);
        return shortened;
    };
    if (reported_interval_holds(count, region{peak.lo, peak.hi}, threshold)) return run_status::run_ok;
    for (const snp_window run : fitting_runs) {
        if (run.hi < table.snp_count && reported_interval_holds(count_of, region{run.lo, run.hi}, threshold)) {
            return run_status::run_ok;
        }
    }
    print_message(message_kind::place,
                  "%s: locus %s:%d: its peak at frequency %g, SNPs %d to %d of the legend %s, is carried by %d of the "
                  "%d haplotypes of the panel %s (%d without its last SNP), but a scan at %g reports only intervals "
                  "carried by more than floor(%d x %g) = %g; the panel is not the one the scan read, or the table was "
                  "scanned at another frequency\n",
                  row_location(rows, found.peak).c_str(), rows.chr_names[found.chr].c_str(), found.number,
                  static_cast<double>(frequency), peak.lo + 1, peak.hi + 1, options.legend_paths[panel].c_str(), carriers,
                  table.haplotype_count, options.panel_paths[panel].c_str(), shortened, static_cast<double>(frequency),
                  table.haplotype_count, static_cast<double>(frequency), static_cast<double>(threshold));
    return run_status::bad_input;
}

}  // namespace

run_status measure_carriers(const loci_options& options, const result_rows& rows, const std::vector<locus>& loci,
                            const std::vector<double>& peak_frequencies, size_t sample_count, bool keep_rows,
                            std::vector<locus_carriers>& measured, work_progress& progress, run_record& record) {
    row_matches matches;
    run_status status = match_rows(options, rows, loci, !peak_frequencies.empty(), matches, progress);
    if (status != run_status::run_ok) return status;
    measured.assign(loci.size(), locus_carriers{});
    for (size_t panel = 0; panel < options.panel_paths.size(); ++panel) {
        bool needed = false;
        for (const uint32_t owner : matches.panel_of_chr) needed = needed || owner == panel;
        if (!needed) continue;
        const std::string& panel_path = options.panel_paths[panel];
        const std::string of_panels = " (" + std::to_string(panel + 1) + " of " + std::to_string(options.panel_paths.size()) + ")";
        say_progress(progress, "loading " + panel_path + of_panels);
        fast_genotype_matrix table;
        status = load_panel(panel_path, table);
        if (status == run_status::run_ok) {
            add_record_input(record, panel_path, {"haplotypes=" + std::to_string(table.haplotype_count),
                                                  "snps=" + std::to_string(table.snp_count)});
            const int64_t legend_rows = matches.legend_row_counts[panel];
            status = check_legend_row_count(options.legend_paths[panel], legend_rows, table.snp_count);
            note_longer_legend(options.legend_paths[panel], legend_rows, table.snp_count);
        }
        if (status == run_status::run_ok) status = check_sample_count(panel_path, options, table, sample_count);
        if (status != run_status::run_ok) return status;
        for (size_t k = 0; k < rows.intervals.size(); ++k) {
            if (matches.panel_of_chr[rows.intervals[k].chr] != panel || matches.windows[k].hi < table.snp_count) continue;
            print_message(message_kind::place, "%s: the interval ends at SNP %d of the legend %s, beyond the %s of the panel %s\n",
                          row_location(rows, k).c_str(), matches.windows[k].hi + 1, options.legend_paths[panel].c_str(),
                          table.snp_count == 1 ? "1 SNP" : (std::to_string(table.snp_count) + " SNPs").c_str(),
                          panel_path.c_str());
            return run_status::bad_input;
        }
        std::vector<size_t> panel_loci;
        std::vector<snp_window> peaks;
        for (size_t k = 0; k < loci.size(); ++k) {
            if (matches.panel_of_chr[loci[k].chr] != panel) continue;
            panel_loci.push_back(k);
            peaks.push_back(matches.windows[loci[k].peak]);
        }
        const std::string carriers_on = "carriers on " + panel_path + of_panels + ": ";
        size_t done = 0;
        std::vector<core_request> cores;  // with --core, in the order of `panel_loci`
        if (!options.core_path.empty()) cores.resize(panel_loci.size());
        find_carriers_of_windows(table, peaks, [&](size_t peak, carrier_set& carriers) {
            locus_carriers& out = measured[panel_loci[peak]];
            out.count = static_cast<int32_t>(carriers.carrier_rows.size());
            out.haplotype_count = table.haplotype_count;
            out.core = core_text(table, carriers.core_row, peaks[peak]);
            out.panel = static_cast<uint32_t>(panel);
            if (!cores.empty()) cores[peak] = core_request_of(peaks[peak], carriers, table.haplotype_count);
            if (keep_rows) out.rows = std::move(carriers.carrier_rows);
            if (++done % 16 == 0) {
                say_progress(progress, carriers_on + grouped_digits(static_cast<long long>(done)) + " of " +
                                           grouped_digits(static_cast<long long>(peaks.size())) + " loci");
            }
        });
        for (size_t peak = 0; peak < peaks.size() && !peak_frequencies.empty(); ++peak) {
            const size_t k = panel_loci[peak];
            status = check_peak_threshold(options, rows, loci[k], table, peaks[peak], measured[k].count,
                                          static_cast<float>(peak_frequencies[k]), matches.peak_runs[k], panel);
            if (status != run_status::run_ok) return status;
        }
        if (!cores.empty()) {
            say_progress(progress, "the core SNPs on " + panel_path + of_panels);
            std::vector<std::vector<core_snp>> snps = core_snps_of(table, cores);
            for (size_t k = 0; k < panel_loci.size(); ++k) measured[panel_loci[k]].core_snps = std::move(snps[k]);
        }
    }
    return run_status::run_ok;
}

}  // namespace corvane
