// Parses and checks corvane-loci's options; every mistake is a message and status 2.
#include "loci/loci_options.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/option_table.hpp"

namespace corvane {

namespace {

bool parse_gap(std::string_view text, int64_t& gap) {
    if (text.empty() || text.size() > 12) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    gap = std::strtoll(std::string(text).c_str(), nullptr, 10);
    return true;
}

bool parse_snps(std::string_view text, int32_t& snps) {
    if (text.empty() || text.size() > 9) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    snps = static_cast<int32_t>(std::strtol(std::string(text).c_str(), nullptr, 10));
    return true;
}

// A frequency as the scan takes it, the whole text a number: above 0 and below 1, also once narrowed
// to the scan's single precision.
bool parse_frequency(std::string_view text, double& frequency) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    const std::string copy(text);
    char* end = nullptr;
    frequency = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !(frequency > 0.0 && frequency < 1.0)) return false;
    const float narrowed = static_cast<float>(frequency);
    return narrowed > 0.0f && narrowed < 1.0f;
}

option_fault take_frequency_table(std::vector<frequency_table>& tables, std::string_view frequency,
                                  std::string_view path) {
    frequency_table table;
    if (!parse_frequency(frequency, table.frequency)) {
        return "frequency must be a number above 0 and below 1, got \"" + std::string(frequency) + "\"";
    }
    table.path = path;
    tables.push_back(std::move(table));
    return {};
}

// The run record's values of --freq or --null-freq: each table's frequency, then its path.
std::vector<std::string> frequency_table_values(const std::vector<frequency_table>& tables) {
    std::vector<std::string> values;
    for (const frequency_table& table : tables) values.insert(values.end(), {frequency_text(table.frequency), table.path});
    return values;
}

bool parse_cm(std::string_view text, double& cm) {
    if (text.empty()) return false;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    cm = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size() && std::isfinite(cm) && cm >= 0.0;
}

// A number as the help and the run record write it.
std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A path an option names once.
option_fault take_path(std::string& field, std::string_view value) {
    field = value;
    return {};
}

// Every option of corvane-loci, in the order of the help.
std::vector<command_option<loci_options>> option_table() {
    using options = loci_options;
    return {
        {.name = "--output",
         .short_name = "-o",
         .help = "  -o, --output LOCI  the loci table to write (tab-separated, one row per locus)\n",
         .take = [](options& into, std::string_view, std::string_view value) {
             return take_path(into.output_path, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.output_path}; }},
        {.name = "--freq",
         .repeats = option_repeats::allowed,
         .help = "  --freq F TABLE     a result table and the frequency it was scanned at; repeat for a grid\n"
                 "                     of frequencies (several tables may share one): loci are formed across\n"
                 "                     them and ranked by one statistic that combines the frequencies\n",
         .take_pair = [](options& into, std::string_view, std::string_view frequency, std::string_view path) {
             return take_frequency_table(into.observed_tables, frequency, path);
         },
         .shown = [](const options& from) { return frequency_table_values(from.observed_tables); }},
        {.name = "--null-freq",
         .repeats = option_repeats::allowed,
         .help = "  --null-freq F TABLE\n"
                 "                     the scan of neutral simulations at F (a table may hold many replicates),\n"
                 "                     at the frequencies of --freq: adds p_value and q_value\n",
         .take_pair = [](options& into, std::string_view, std::string_view frequency, std::string_view path) {
             return take_frequency_table(into.null_tables, frequency, path);
         },
         .shown = [](const options& from) { return frequency_table_values(from.null_tables); }},
        {.name = "--gap",
         .repeats = option_repeats::allowed,
         .help = "  --gap BP           join intervals that lie at most BP apart (default 0: they overlap or touch)\n",
         .take = [](options& into, std::string_view, std::string_view value) -> option_fault {
             if (parse_gap(value, into.gap)) return {};
             return "--gap takes a whole number of bp, got \"" + std::string(value) + "\"";
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {std::to_string(from.gap)}; }},
        {.name = "--min-cm",
         .repeats = option_repeats::allowed,
         .help = "  --min-cm CM        drop intervals shorter than CM before joining (default 0: none)\n",
         .take = [](options& into, std::string_view, std::string_view value) -> option_fault {
             if (parse_cm(value, into.min_cm)) return {};
             return "--min-cm takes a number of cM of at least 0, got \"" + std::string(value) + "\"";
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {number_text(from.min_cm)}; }},
        {.name = "--min-snps",
         .repeats = option_repeats::allowed,
         .help = "  --min-snps N       drop intervals of fewer than N SNPs before joining (default 0: none)\n",
         .take = [](options& into, std::string_view, std::string_view value) -> option_fault {
             if (parse_snps(value, into.min_snps)) return {};
             return "--min-snps takes a whole number of SNPs, got \"" + std::string(value) + "\"";
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {std::to_string(from.min_snps)}; }},
        {.name = "--hap",
         .repeats = option_repeats::allowed,
         .help = "  --hap PANEL        the genotype file the scan read (text, gzip); adds carriers,\n"
                 "                     carrier_frequency and core\n",
         .take = [](options& into, std::string_view, std::string_view value) {
             into.panel_paths.emplace_back(value);
             return option_fault{};
         },
         .shown = [](const options& from) -> std::vector<std::string> { return from.panel_paths; }},
        {.name = "--legend",
         .repeats = option_repeats::allowed,
         .help = "  --legend LEGEND    the legend the scan read; one per --hap, in the same order (several pairs\n"
                 "                     for a genome-wide table: each locus uses the legend of its chromosome)\n",
         .take = [](options& into, std::string_view, std::string_view value) {
             into.legend_paths.emplace_back(value);
             return option_fault{};
         },
         .shown = [](const options& from) -> std::vector<std::string> { return from.legend_paths; }},
        {.name = "--samples",
         .help = "  --samples FILE     sample ids, one per line in panel order (corvane-prepare's PREFIX.samples)\n",
         .take = [](options& into, std::string_view, std::string_view value) {
             return take_path(into.samples_path, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.samples_path}; }},
        {.name = "--carriers",
         .help = "  --carriers FILE    write one line per carrier haplotype: locus, sample, haplotype (1 or 2),\n"
                 "                     copies (2 when both of the sample's haplotypes carry); needs --hap and\n"
                 "                     --samples\n",
         .take = [](options& into, std::string_view, std::string_view value) {
             return take_path(into.carriers_path, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.carriers_path}; }},
        {.name = "--bed",
         .help = "  --bed FILE         also write the loci as BED (0-based start; score 0-1000 from the rank)\n",
         .take = [](options& into, std::string_view, std::string_view value) {
             return take_path(into.bed_path, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.bed_path}; }},
        {.name = "--core",
         .help = "  --core FILE        write each locus's core, one row per SNP of its peak: locus, SNP id, bp,\n"
                 "                     cM, core allele, REF, ALT and the share of carriers and of all haplotypes\n"
                 "                     that carry the core allele; needs --hap\n",
         .take = [](options& into, std::string_view, std::string_view value) {
             return take_path(into.core_path, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.core_path}; }},
        {.name = "--genes",
         .help = "  --genes FILE       genes (GTF, GFF3 or BED; plain or gzip): adds the column genes, the genes\n"
                 "                     overlapping each locus, or the nearest one and how far it lies\n",
         .take = [](options& into, std::string_view, std::string_view value) {
             return take_path(into.genes_path, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.genes_path}; }},
    };
}

command_line_text command_text() {
    command_line_text text;
    text.help_before =
        "usage: corvane-loci [options] RESULT... -o LOCI\n"
        "       corvane-loci --freq F TABLE [--freq F TABLE ...] [--null-freq F TABLE ...] [options] -o LOCI\n"
        "       corvane-loci --help | -h | --version\n"
        "\n"
        "Merges the intervals of corvane result tables into candidate loci, ranks them by their longest\n"
        "interval and, given the panel the scan used, counts who carries each locus's peak haplotype.\n"
        "With --freq, the tables of several frequencies make loci together, ranked by a statistic that\n"
        "combines them; with --null-freq, the scans of neutral simulations give each locus a p-value.\n"
        "\n"
        "  RESULT...          corvane result tables (plain or gzip; repeated header lines are passed over)\n";
    text.help_after =
        "  -h, --help         print this help\n"
        "  --version          print the version\n"
        "\n"
        "Beside LOCI goes its run record, LOCI.log: inputs, options, counts, outputs, time and memory, and\n"
        "how the run ended.\n"
        "Exit status: 0 done, 1 bad input or an output that could not be written, 2 a wrong command line.\n";
    text.usage_hint = "usage: corvane-loci [options] RESULT... -o LOCI (--help for more)\n";
    return text;
}

std::vector<double> distinct_frequencies(const std::vector<frequency_table>& tables) {
    std::vector<double> frequencies;
    for (const frequency_table& table : tables) frequencies.push_back(table.frequency);
    std::sort(frequencies.begin(), frequencies.end());
    frequencies.erase(std::unique(frequencies.begin(), frequencies.end()), frequencies.end());
    return frequencies;
}

std::string frequency_list(const std::vector<double>& frequencies) {
    std::string list;
    for (const double frequency : frequencies) list += (list.empty() ? "" : ", ") + frequency_text(frequency);
    return list;
}

// The shortest text that reads back as `value`.
std::string shortest_text(double value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

// Two frequencies whose columns would share a name (cM_F with F printed to 6 digits), or nothing.
std::string frequencies_sharing_a_name(const std::vector<frequency_table>& tables) {
    const std::vector<double> frequencies = distinct_frequencies(tables);
    for (size_t k = 1; k < frequencies.size(); ++k) {
        if (frequency_text(frequencies[k]) != frequency_text(frequencies[k - 1])) continue;
        return "frequencies " + shortest_text(frequencies[k - 1]) + " and " + shortest_text(frequencies[k]) +
               " both print as " + frequency_text(frequencies[k]) + "; give frequencies that differ in their first 6 digits";
    }
    return {};
}

// The checks across options, once all are read.
run_status check_loci_options(const loci_options& options, const command_line_text& text) {
    const auto refuse = [&](const std::string& what) { return report_usage_error(text, what); };
    if (!options.result_paths.empty() && !options.observed_tables.empty()) {
        return refuse("give the result tables either as RESULT... or with --freq F TABLE, not both");
    }
    if (!options.null_tables.empty() && options.observed_tables.empty()) {
        return refuse("--null-freq needs --freq: the null is read against the frequencies of the result tables");
    }
    if (options.result_paths.empty() && options.observed_tables.empty()) return refuse("no result table given");
    const std::string columns_clash = frequencies_sharing_a_name(options.observed_tables);
    if (!columns_clash.empty()) return refuse(columns_clash);
    if (!options.null_tables.empty()) {
        const std::vector<double> observed = distinct_frequencies(options.observed_tables);
        const std::vector<double> null = distinct_frequencies(options.null_tables);
        if (observed != null) {
            return refuse("the --null-freq frequencies (" + frequency_list(null) + ") must be those of --freq (" +
                          frequency_list(observed) + ")");
        }
    }
    if (options.output_path.empty()) return refuse("no output given (-o LOCI)");
    if (options.panel_paths.size() != options.legend_paths.size()) {
        return refuse("every --hap needs its --legend: got " + std::to_string(options.panel_paths.size()) +
                      " --hap and " + std::to_string(options.legend_paths.size()) + " --legend");
    }
    if (!options.samples_path.empty() && options.panel_paths.empty()) return refuse("--samples needs --hap and --legend");
    if (!options.carriers_path.empty() && options.samples_path.empty()) {
        return refuse("--carriers needs --samples (and --hap, --legend)");
    }
    if (!options.core_path.empty() && options.panel_paths.empty()) return refuse("--core needs --hap and --legend");
    return run_status::run_ok;
}

}  // namespace

std::string frequency_text(double frequency) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", frequency);
    return text;
}

run_status parse_loci_options(int argc, const char* const* argv, loci_options& options,
                              std::vector<record_parameter>& parameters) {
    const command_line_text text = command_text();
    const auto table = option_table();
    command_line read;
    const run_status status = read_command_line(argc, argv, table, text, true, options, read);
    if (status != run_status::run_ok) return status;
    options.result_paths = std::move(read.operands);
    parameters = record_parameters(table, options, read);
    return check_loci_options(options, text);
}

}  // namespace corvane
