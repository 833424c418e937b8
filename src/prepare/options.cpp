// Parses and checks the corvane-prepare command line.
#include "prepare/options.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include <sys/stat.h>

#include "common/option_table.hpp"

namespace corvane {

namespace {

std::string_view layout_name(map_layout layout) {
    switch (layout) {
        case map_layout::automatic: return "auto";
        case map_layout::pos_chr_cm: return "pos-chr-cm";
        case map_layout::shapeit: return "shapeit";
        case map_layout::plink: return "plink";
        case map_layout::hapmap: return "hapmap";
    }
    return "";
}

// A line of the help with numbers or names filled in, like snprintf.
template <typename... values>
std::string help_line(const char* format, values... filled) {
    std::string text(static_cast<size_t>(std::snprintf(nullptr, 0, format, filled...)), '\0');
    std::snprintf(text.data(), text.size() + 1, format, filled...);
    return text;
}

bool parse_layout(std::string_view text, map_layout& layout) {
    if (text == "auto") layout = map_layout::automatic;
    else if (text == "pos-chr-cm") layout = map_layout::pos_chr_cm;
    else if (text == "shapeit") layout = map_layout::shapeit;
    else if (text == "plink") layout = map_layout::plink;
    else if (text == "hapmap") layout = map_layout::hapmap;
    else return false;
    return true;
}

// "skip", "refuse", or "KIND=skip|refuse".
bool apply_site_action(std::string_view text, site_policy& policy) {
    std::string_view kind_name;
    const size_t equals = text.find('=');
    if (equals != std::string_view::npos) {
        kind_name = text.substr(0, equals);
        text = text.substr(equals + 1);
        if (kind_name.empty()) return false;  // "=skip": a kind left out, not all four meant
    }
    bool refuse = false;
    if (text == "refuse") refuse = true;
    else if (text != "skip") return false;
    bool matched = false;
    for (const bad_site_kind kind : all_bad_site_kinds) {
        if (kind_name.empty() || kind_name == bad_site_option_name(kind)) {
            policy.refuse[static_cast<int>(kind)] = refuse;
            matched = true;
        }
    }
    return matched;
}

std::string_view format_name(panel_format format) {
    switch (format) {
        case panel_format::bits: return "bits";
        case panel_format::text: return "text";
        case panel_format::gzip: return "gzip";
    }
    return "";
}

// The action for each kind of bad site, "multiallelic=skip" and so on.
std::vector<std::string> site_actions(const site_policy& policy) {
    std::vector<std::string> actions;
    for (const bad_site_kind kind : all_bad_site_kinds) {
        actions.push_back(std::string(bad_site_option_name(kind)) +
                          (policy.refuse[static_cast<int>(kind)] ? "=refuse" : "=skip"));
    }
    return actions;
}

bool parse_format(std::string_view text, panel_format& format) {
    if (text == "bits") format = panel_format::bits;
    else if (text == "text") format = panel_format::text;
    else if (text == "gzip") format = panel_format::gzip;
    else return false;
    return true;
}

bool parse_threads(std::string_view text, int& threads) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string_view::npos) return false;
    threads = std::stoi(std::string(text));
    return threads <= 256;
}

// A frequency from 0 to 0.5, the whole text a number.
bool parse_min_maf(std::string_view text, double& frequency) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), frequency);
    return error == std::errc() && end == text.data() + text.size() && frequency >= 0.0 && frequency <= 0.5;
}

// A rate in cM per Mb: a finite number above 0, the whole text.
bool parse_rate(std::string_view text, double& rate) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rate);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(rate) && rate > 0.0;
}

// The bp of a simulated region: a whole number from 1 to 2,000,000,000 (positions stay 32-bit).
bool parse_length(std::string_view text, int64_t& length) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    return error == std::errc() && end == text.data() + text.size() && length >= 1 && length <= 2'000'000'000;
}

// A file name or other text that must not be empty.
option_fault take_text(std::string& field, std::string_view name, std::string_view value) {
    if (value.empty()) return std::string(name) + " needs a non-empty value";
    field = value;
    return {};
}

std::string quoted(std::string_view value) {
    std::string text(1, '"');
    text += value;
    text += '"';
    return text;
}

// Every option of corvane-prepare, in the order of the help; the defaults the help names are those
// of a default-made prepare_options.
std::vector<command_option<prepare_options>> option_table() {
    const prepare_options defaults;
    using options = prepare_options;
    return {
        {.name = "--vcf",
         .help = "  --vcf FILE          phased VCF or BCF: plain, bgzipped or BCF, with or without an index\n",
         .take = [](options& into, std::string_view name, std::string_view value) {
             return take_text(into.vcf_path, name, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.vcf_path}; }},
        {.name = "--chr",
         .help = "  --chr NAME          the chromosome to convert, named as in the VCF; when the VCF has no\n"
                 "                      NAME, its other spelling (chr20 for 20, 20 for chr20) is used\n",
         .take = [](options& into, std::string_view name, std::string_view value) {
             return take_text(into.chromosome, name, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.chromosome}; }},
        {.name = "--map",
         .help = "  --map FILE          genetic map (plain or gzip/bgzip-compressed) giving cM by bp; one of\n"
                 "                        pos chr cM          three columns with a header line\n"
                 "                        position rate cM    SHAPEIT/IMPUTE, one chromosome per file, with\n"
                 "                                            the header position COMBINED_rate(cM/Mb) Genetic_Map(cM)\n"
                 "                        chr id cM bp        PLINK .map, no header\n"
                 "                        Chromosome Position(bp) Rate(cM/Mb) Map(cM)   HapMap, with a header\n"
                 "                      rows of other chromosomes are ignored (\"chr21\" matches \"21\")\n",
         .take = [](options& into, std::string_view name, std::string_view value) {
             return take_text(into.map_path, name, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.map_path}; }},
        {.name = "--map-layout",
         .help = help_line("  --map-layout L      auto, pos-chr-cm, shapeit, plink or hapmap (default %s: told from\n"
                           "                      the first line)\n",
                           std::string(layout_name(defaults.layout)).c_str()),
         .take = [](options& into, std::string_view, std::string_view value) -> option_fault {
             if (parse_layout(value, into.layout)) return {};
             return "unknown map layout " + quoted(value) + " (use auto, pos-chr-cm, shapeit, plink or hapmap)";
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {std::string(layout_name(from.layout))}; }},
        {.name = "--min-maf",
         .help = help_line("  --min-maf F         skip sites whose minor allele frequency among the kept haplotypes\n"
                           "                      is below F, 0 to 0.5 (default %g: every site is kept)\n",
                           defaults.policy.min_minor_allele_frequency),
         .take = [](options& into, std::string_view, std::string_view value) -> option_fault {
             if (parse_min_maf(value, into.policy.min_minor_allele_frequency)) return {};
             return "--min-maf takes a number from 0 to 0.5; got " + quoted(value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {help_line("%g", from.policy.min_minor_allele_frequency)}; }},
        {.name = "--on-bad-site",
         .repeats = option_repeats::allowed,
         .help = help_line("  --on-bad-site [KIND=]ACTION\n"
                           "                      ACTION is skip or refuse (default %s); KIND is one of multiallelic,\n"
                           "                      indel, missing, unphased (without KIND: all four); may be\n"
                           "                      repeated, later wins\n",
                           defaults.policy.refuse[0] ? "refuse" : "skip"),
         .take = [](options& into, std::string_view, std::string_view value) -> option_fault {
             if (apply_site_action(value, into.policy)) return {};
             return "--on-bad-site takes skip, refuse or KIND=skip|refuse with KIND one of multiallelic, indel, "
                    "missing, unphased; got " + quoted(value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return site_actions(from.policy); }},
        {.name = "--cm-tag",
         .help = "  --cm-tag TAG        take the cM of each site from the INFO field TAG instead of a map\n",
         .take = [](options& into, std::string_view name, std::string_view value) {
             return take_text(into.cm_tag, name, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.cm_tag}; }},
        {.name = "--out",
         .help = "  --out PREFIX        write PREFIX.hapbits, PREFIX.legend (chr id cM bp ref alt), PREFIX.samples\n"
                 "                      and the run record PREFIX.log\n",
         .take = [](options& into, std::string_view name, std::string_view value) {
             return take_text(into.out_prefix, name, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.out_prefix}; }},
        {.name = "--samples",
         .help = "  --samples FILE      keep only these samples (one id per line, taken whole: blanks at either\n"
                 "                      end are part of it), in the VCF's order\n",
         .take = [](options& into, std::string_view name, std::string_view value) {
             return take_text(into.samples_path, name, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.samples_path}; }},
        {.name = "--populations",
         .help = "  --populations FILE  one panel per population from one pass: FILE has a sample id and its\n"
                 "                      population per line (a header line allowed); writes PREFIX.POP.hapbits,\n"
                 "                      PREFIX.POP.legend and PREFIX.POP.samples for each population POP\n",
         .take = [](options& into, std::string_view name, std::string_view value) {
             return take_text(into.populations_path, name, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.populations_path}; }},
        {.name = "--format",
         .repeats = option_repeats::allowed,
         .help = "  --format F          bits (default): PREFIX.hapbits, one bit per allele, and PREFIX.legend;\n"
                 "                      text: PREFIX.hap and PREFIX.legend; gzip: PREFIX.hap.gz and\n"
                 "                      PREFIX.legend.gz (BGZF, bgzip-compatible), for tools that read text\n",
         .take = [](options& into, std::string_view, std::string_view value) -> option_fault {
             if (parse_format(value, into.format)) return {};
             return "unknown format " + quoted(value) + " (use bits, text or gzip)";
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {std::string(format_name(from.format))}; }},
        {.name = "--gzip",
         .takes_value = false,
         .repeats = option_repeats::allowed,
         .help = "  --gzip              the same as --format gzip\n",
         .take = [](options& into, std::string_view, std::string_view) {
             into.format = panel_format::gzip;
             return option_fault{};
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.format == panel_format::gzip ? "yes" : "no"}; }},
        {.name = "--threads",
         .repeats = option_repeats::allowed,
         .help = "  --threads N         N threads besides the main one (default 0): with an index (.tbi or .csi)\n"
                 "                      they read the chromosome in ranges side by side; without one they\n"
                 "                      decompress it; they also compress --format gzip output and turn the\n"
                 "                      bit panel\n",
         .take = [](options& into, std::string_view, std::string_view value) -> option_fault {
             if (parse_threads(value, into.threads)) return {};
             return "--threads takes a whole number from 0 to 256, got " + quoted(value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {std::to_string(from.threads)}; }},
        {.name = "--no-index",
         .takes_value = false,
         .help = "  --no-index          read the VCF/BCF from its start to its end without its index (for an\n"
                 "                      index that is older than the file or does not fit it)\n",
         .take = [](options& into, std::string_view, std::string_view) {
             into.use_index = false;
             return option_fault{};
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.use_index ? "no" : "yes"}; }},
        {.name = "--hap",
         .help = "  --hap GENOTYPES     convert this text genotype file instead of a VCF (no --chr, --map)\n",
         .take = [](options& into, std::string_view name, std::string_view value) {
             return take_text(into.text_panel_path, name, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.text_panel_path}; }},
        {.name = "--cm-per-mb",
         .help = "  --cm-per-mb R       a uniform map of R cM per Mb (cM = bp x R / 10^6) instead of --map or\n"
                 "                      --cm-tag, for simulations\n",
         .take = [](options& into, std::string_view, std::string_view value) -> option_fault {
             if (parse_rate(value, into.cm_per_mb)) return {};
             return "--cm-per-mb takes a number of cM per Mb above 0, got " + quoted(value);
         },
         .shown = [](const options& from) -> std::vector<std::string> {
             if (from.cm_per_mb > 0.0) return {help_line("%g", from.cm_per_mb)};
             return {};
         }},
        {.name = "--map-chr",
         .help = "  --map-chr NAME      the chromosome's name in the map, when it is not --chr (simulations\n"
                 "                      named rep1, rep2, ... on the map of chromosome 21); with --ms, a map\n"
                 "                      of one chromosome needs none\n",
         .take = [](options& into, std::string_view name, std::string_view value) {
             return take_text(into.map_chromosome, name, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.map_chromosome}; }},
        {.name = "--ms",
         .help = "  --ms FILE           instead of a VCF: every replicate of this ms-format file (ms, discoal,\n"
                 "                      msms, scrm; plain or gzip) to PREFIX.K.hapbits and PREFIX.K.legend,\n"
                 "                      K = 1, 2, ... in file order, chromosome repK; needs --length\n",
         .take = [](options& into, std::string_view name, std::string_view value) {
             return take_text(into.ms_path, name, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.ms_path}; }},
        {.name = "--length",
         .help = "  --length BP         with --ms: the simulated region's length; a position p becomes bp\n"
                 "                      round(p x BP), moved to the bp after the SNP before where they meet\n",
         .take = [](options& into, std::string_view, std::string_view value) -> option_fault {
             if (parse_length(value, into.region_length)) return {};
             return "--length takes a whole number of bp from 1 to 2000000000, got " + quoted(value);
         },
         .shown = [](const options& from) -> std::vector<std::string> {
             if (from.region_length > 0) return {std::to_string(from.region_length)};
             return {};
         }},
        {.name = "--rep-prefix",
         .help = help_line("  --rep-prefix TEXT   with --ms: replicate K is chromosome TEXTK (default %s), so that\n"
                           "                      batches of simulations can be named apart\n",
                           defaults.replicate_prefix.c_str()),
         .take = [](options& into, std::string_view name, std::string_view value) {
             return take_text(into.replicate_prefix, name, value);
         },
         .shown = [](const options& from) -> std::vector<std::string> { return {from.replicate_prefix}; }},
    };
}

command_line_text command_text() {
    command_line_text text;
    text.help_before =
        "usage: corvane-prepare --vcf FILE --chr NAME (--map FILE | --cm-tag TAG | --cm-per-mb R) --out PREFIX [options]\n"
        "       corvane-prepare --ms FILE --length BP (--map FILE | --cm-per-mb R) --out PREFIX [options]\n"
        "       corvane-prepare --hap GENOTYPES --out PREFIX\n"
        "       corvane-prepare --help | -h | --version\n"
        "\n"
        "Turns one chromosome of a phased VCF/BCF into the bit panel PREFIX.hapbits and the legend\n"
        "PREFIX.legend that corvane reads (-hap PREFIX.hapbits -legend PREFIX.legend). With --hap, turns\n"
        "a text genotype file (plain or gzip) of alleles 0 and 1 into the bit panel PREFIX.hapbits. With\n"
        "--ms, turns every replicate of a file of coalescent simulations into a bit panel and legend.\n"
        "\n";
    text.help_after =
        "  -h, --help          show this help\n"
        "  --version           show the version\n"
        "\n"
        "Only biallelic SNPs with phased, non-missing genotypes become rows. Several SNP records at\n"
        "one position (a split multi-allelic site) are one multi-allelic site; a missing call (.) is\n"
        "a missing genotype; a homozygote needs no phase. Sites of the other kinds are skipped (or\n"
        "refused), and how many of each were skipped is printed on standard error.\n" +
        help_line("Between map positions the cM are interpolated linearly in bp; beyond either end of the map\n"
                  "they are extrapolated at the map's average rate over its last %g cM on that side.\n",
                  end_stretch_cm) +
        "Exit status: 0 done, 1 bad input or failed output, 2 wrong command line.\n";
    text.usage_hint = "Try 'corvane-prepare --help' for the options.\n";
    return text;
}

// A prefix that names a folder ("out/", ".", or a folder that exists) would hide the outputs in it
// as ".hapbits" or put them beside it; the message shows the prefix meant.
std::string prefix_fault(const std::string& prefix) {
    struct stat found = {};
    const bool folder = prefix.ends_with('/') || prefix == "." || prefix == ".." || prefix.ends_with("/.") ||
                        prefix.ends_with("/..") || (stat(prefix.c_str(), &found) == 0 && S_ISDIR(found.st_mode));
    if (!folder) return "";
    std::string inside = prefix;
    while (inside.size() > 1 && inside.ends_with('/')) inside.pop_back();
    if (!inside.ends_with('/')) inside += '/';
    return "--out takes a prefix of file names, but " + quoted(prefix) + " names a folder; give a prefix inside it, "
           "such as " + inside + "NAME";
}

// The checks across options, once all are read.
run_status check_prepare_options(const prepare_options& options, const command_line& read,
                                 const command_line_text& text) {
    const auto refuse = [&](const std::string& what) { return report_usage_error(text, what); };
    const bool layout_given = was_given(read, "--map-layout");
    const bool rate_given = was_given(read, "--cm-per-mb");
    // The options that shape how a map is read: mistakes whatever is converted.
    const auto map_options_fault = [&]() -> std::string {
        if (layout_given && options.map_path.empty()) return "--map-layout needs --map";
        if (!options.map_chromosome.empty() && options.map_path.empty()) return "--map-chr needs --map";
        return {};
    };
    if (!options.ms_path.empty()) {
        if (!options.vcf_path.empty() || !options.text_panel_path.empty()) {
            return refuse("give one of --vcf FILE, --ms FILE and --hap GENOTYPES");
        }
        if (options.out_prefix.empty()) return refuse("missing --out PREFIX");
        if (const std::string fault = prefix_fault(options.out_prefix); !fault.empty()) return refuse(fault);
        if (options.region_length == 0) return refuse("--ms needs --length BP, the length of the simulated region");
        if (options.map_path.empty() == !rate_given) return refuse("give exactly one of --map FILE and --cm-per-mb R");
        if (!options.chromosome.empty() || !options.cm_tag.empty() || !options.samples_path.empty() ||
            !options.populations_path.empty() || !options.use_index || options.format != panel_format::bits) {
            return refuse("--ms takes --length, --map (with --map-layout, --map-chr) or --cm-per-mb, --rep-prefix, "
                          "--min-maf and --out: each replicate becomes a bit panel");
        }
        if (const std::string fault = map_options_fault(); !fault.empty()) return refuse(fault);
        return run_status::run_ok;
    }
    if (options.region_length != 0 || was_given(read, "--rep-prefix")) return refuse("--length and --rep-prefix need --ms");
    if (!options.text_panel_path.empty()) {
        if (!options.vcf_path.empty()) return refuse("give one of --vcf FILE and --hap GENOTYPES, not both");
        if (options.out_prefix.empty()) return refuse("missing --out PREFIX");
        if (const std::string fault = prefix_fault(options.out_prefix); !fault.empty()) return refuse(fault);
        if (options.format != panel_format::bits) return refuse("--hap converts a text panel into a bit panel only");
        if (!options.chromosome.empty() || !options.map_path.empty() || !options.cm_tag.empty() ||
            !options.samples_path.empty() || !options.populations_path.empty() || layout_given ||
            was_given(read, "--min-maf") || !options.use_index || rate_given || !options.map_chromosome.empty()) {
            return refuse("--hap takes only --out (and --threads): the panel is converted as it is");
        }
        return run_status::run_ok;
    }
    if (options.vcf_path.empty()) return refuse("missing --vcf FILE");
    if (options.chromosome.empty()) return refuse("missing --chr NAME");
    if (options.out_prefix.empty()) return refuse("missing --out PREFIX");
    if (const std::string fault = prefix_fault(options.out_prefix); !fault.empty()) return refuse(fault);
    if (!options.map_path.empty() + !options.cm_tag.empty() + rate_given != 1) {
        return refuse("give exactly one of --map FILE, --cm-tag TAG and --cm-per-mb R");
    }
    if (const std::string fault = map_options_fault(); !fault.empty()) return refuse(fault);
    if (!options.samples_path.empty() && !options.populations_path.empty()) {
        return refuse("give one of --samples FILE and --populations FILE, not both");
    }
    return run_status::run_ok;
}

}  // namespace

run_status parse_prepare_options(int argc, const char* const* argv, prepare_options& options,
                                 std::vector<record_parameter>& parameters) {
    const command_line_text text = command_text();
    const auto table = option_table();
    command_line read;
    const run_status status = read_command_line(argc, argv, table, text, false, options, read);
    if (status != run_status::run_ok) return status;
    parameters = record_parameters(table, options, read);
    return check_prepare_options(options, read, text);
}

std::string haplotype_output_path(const prepare_options& options, const std::string& prefix) {
    switch (options.format) {
        case panel_format::bits: return prefix + ".hapbits";
        case panel_format::text: return prefix + ".hap";
        case panel_format::gzip: return prefix + ".hap.gz";
    }
    return "";
}

std::string legend_output_path(const prepare_options& options, const std::string& prefix) {
    return prefix + (options.format == panel_format::gzip ? ".legend.gz" : ".legend");
}

std::string samples_output_path(const std::string& prefix) { return prefix + ".samples"; }

std::string haplotype_output_path(const prepare_options& options) {
    return haplotype_output_path(options, options.out_prefix);
}

std::string legend_output_path(const prepare_options& options) { return legend_output_path(options, options.out_prefix); }

std::string samples_output_path(const prepare_options& options) { return samples_output_path(options.out_prefix); }

std::string record_path(const prepare_options& options) { return options.out_prefix + ".log"; }

}  // namespace corvane
