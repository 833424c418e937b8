// Parses and checks the corvane-prepare command line.
#include "prepare/options.hpp"

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/help_and_version.hpp"
#include "common/message.hpp"

namespace corvane {

namespace {

std::string_view layout_name(map_layout layout) {
    switch (layout) {
        case map_layout::automatic: return "auto";
        case map_layout::pos_chr_cm: return "pos-chr-cm";
        case map_layout::plink: return "plink";
        case map_layout::hapmap: return "hapmap";
    }
    return "";
}

// The help, its defaults taken from a default-made prepare_options.
std::string help_text() {
    const prepare_options defaults;
    const bool refuses_by_default = defaults.policy.refuse[0];
    char defaults_text[512];
    std::snprintf(defaults_text, sizeof defaults_text,
                  "  --map-layout L      auto, pos-chr-cm, plink or hapmap (default %s)\n"
                  "  --min-maf F         skip sites whose minor allele frequency among the kept haplotypes\n"
                  "                      is below F, 0 to 0.5 (default %g: every site is kept)\n"
                  "  --on-bad-site [KIND=]ACTION\n"
                  "                      ACTION is skip or refuse (default %s); KIND is one of multiallelic,\n"
                  "                      indel, missing, unphased (without KIND: all four); may be\n"
                  "                      repeated, later wins\n",
                  std::string(layout_name(defaults.layout)).c_str(), defaults.policy.min_minor_allele_frequency,
                  refuses_by_default ? "refuse" : "skip");
    char extrapolation_text[256];
    std::snprintf(extrapolation_text, sizeof extrapolation_text,
                  "Between map positions the cM are interpolated linearly in bp; beyond either end of the map\n"
                  "they are extrapolated at the map's average rate over its last %g cM on that side.\n",
                  end_stretch_cm);
    return std::string(
               "usage: corvane-prepare --vcf FILE --chr NAME (--map FILE | --cm-tag TAG) --out PREFIX [options]\n"
               "       corvane-prepare --hap GENOTYPES --out PREFIX\n"
               "       corvane-prepare --help | -h | --version\n"
               "\n"
               "Turns one chromosome of a phased VCF/BCF into the bit panel PREFIX.hapbits and the legend\n"
               "PREFIX.legend that corvane reads (-hap PREFIX.hapbits -legend PREFIX.legend). With --hap, turns\n"
               "a text genotype file (plain or gzip) of alleles 0 and 1 into the bit panel PREFIX.hapbits.\n"
               "\n"
               "  --vcf FILE          phased VCF or BCF: plain, bgzipped or BCF, with or without an index\n"
               "  --chr NAME          the chromosome to convert, named as in the VCF; when the VCF has no\n"
               "                      NAME, its other spelling (chr20 for 20, 20 for chr20) is used\n"
               "  --map FILE          genetic map (plain or gzip/bgzip-compressed) giving cM by bp; one of\n"
               "                        pos chr cM          three columns with a header line\n"
               "                        chr id cM bp        PLINK .map, no header\n"
               "                        Chromosome Position(bp) Rate(cM/Mb) Map(cM)   HapMap, with a header\n"
               "                      rows of other chromosomes are ignored (\"chr21\" matches \"21\")\n") +
           defaults_text +
           "  --cm-tag TAG        take the cM of each site from the INFO field TAG instead of a map\n"
           "  --out PREFIX        write PREFIX.hapbits and PREFIX.legend\n"
           "  --samples FILE      keep only these samples (one id per line), in the VCF's order\n"
           "  --format F          bits (default): PREFIX.hapbits, one bit per allele, and PREFIX.legend;\n"
           "                      text: PREFIX.hap and PREFIX.legend; gzip: PREFIX.hap.gz and\n"
           "                      PREFIX.legend.gz (BGZF, bgzip-compatible), for tools that read text\n"
           "  --gzip              the same as --format gzip\n"
           "  --threads N         N extra threads for htslib's BGZF decompression and compression (default 0)\n"
           "  --hap GENOTYPES     convert this text genotype file instead of a VCF (no --chr, --map)\n"
           "  -h, --help          show this help\n"
           "  --version           show the version\n"
           "\n"
           "Only biallelic SNPs with phased, non-missing genotypes become rows. Several SNP records at\n"
           "one position (a split multi-allelic site) are one multi-allelic site; a missing call (.) is\n"
           "a missing genotype; a homozygote needs no phase. Sites of the other kinds are skipped (or\n"
           "refused), and how many of each were skipped is printed on standard error.\n" +
           std::string(extrapolation_text) +
           "Exit status: 0 done, 1 bad input or failed output, 2 wrong command line.\n";
}

run_status usage_error(const std::string& message) {
    print_message(message_kind::tool, "%s\nTry 'corvane-prepare --help' for the options.\n", message.c_str());
    return run_status::usage_error;
}

bool parse_layout(std::string_view text, map_layout& layout) {
    if (text == "auto") layout = map_layout::automatic;
    else if (text == "pos-chr-cm") layout = map_layout::pos_chr_cm;
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

struct string_option {
    std::string_view name;
    std::string prepare_options::*field;
};

constexpr string_option string_options[] = {
    {"--vcf", &prepare_options::vcf_path},         {"--chr", &prepare_options::chromosome},
    {"--map", &prepare_options::map_path},         {"--cm-tag", &prepare_options::cm_tag},
    {"--out", &prepare_options::out_prefix},       {"--samples", &prepare_options::samples_path},
    {"--hap", &prepare_options::text_panel_path},
};

}  // namespace

run_status parse_prepare_options(int argc, const char* const* argv, prepare_options& options) {
    bool layout_given = false;
    bool min_maf_given = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view name = argv[i];
        if (const info_request request = info_request_of(name); request != info_request::none) {
            return print_info(request, help_text());
        }
        if (name == "--gzip") {
            options.format = panel_format::gzip;
            continue;
        }
        std::string_view value;
        bool has_value = false;
        const size_t equals = name.find('=');
        if (name.starts_with("--") && equals != std::string_view::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            has_value = true;
        }
        const string_option* text_option = nullptr;
        for (const string_option& candidate : string_options) {
            if (candidate.name == name) text_option = &candidate;
        }
        if (text_option == nullptr && name != "--map-layout" && name != "--on-bad-site" && name != "--min-maf" &&
            name != "--format" && name != "--threads") {
            return usage_error(std::string("unknown option ") + argv[i]);
        }
        if (!has_value) {
            if (i + 1 >= argc) return usage_error("option " + std::string(name) + " needs a value");
            value = argv[++i];
        }
        if (text_option != nullptr) {
            std::string& field = options.*(text_option->field);
            if (!field.empty()) return usage_error("option " + std::string(name) + " is given twice");
            if (value.empty()) return usage_error("option " + std::string(name) + " needs a non-empty value");
            field = value;
        } else if (name == "--map-layout") {
            if (layout_given) return usage_error("option " + std::string(name) + " is given twice");
            if (!parse_layout(value, options.layout)) {
                return usage_error("unknown map layout \"" + std::string(value) + "\" (use auto, pos-chr-cm, plink or hapmap)");
            }
            layout_given = true;
        } else if (name == "--format") {
            if (!parse_format(value, options.format)) {
                return usage_error("unknown format \"" + std::string(value) + "\" (use bits, text or gzip)");
            }
        } else if (name == "--threads") {
            if (!parse_threads(value, options.threads)) {
                return usage_error("--threads takes a whole number from 0 to 256, got \"" + std::string(value) + "\"");
            }
        } else if (name == "--min-maf") {
            if (min_maf_given) return usage_error("option " + std::string(name) + " is given twice");
            if (!parse_min_maf(value, options.policy.min_minor_allele_frequency)) {
                return usage_error("--min-maf takes a number from 0 to 0.5; got \"" + std::string(value) + "\"");
            }
            min_maf_given = true;
        } else if (!apply_site_action(value, options.policy)) {
            return usage_error("--on-bad-site takes skip, refuse or KIND=skip|refuse with KIND one of multiallelic, "
                               "indel, missing, unphased; got \"" + std::string(value) + "\"");
        }
    }
    if (!options.text_panel_path.empty()) {
        if (!options.vcf_path.empty()) return usage_error("give one of --vcf FILE and --hap GENOTYPES, not both");
        if (options.out_prefix.empty()) return usage_error("missing --out PREFIX");
        if (options.format != panel_format::bits) return usage_error("--hap converts a text panel into a bit panel only");
        if (!options.chromosome.empty() || !options.map_path.empty() || !options.cm_tag.empty() ||
            !options.samples_path.empty() || layout_given || min_maf_given) {
            return usage_error("--hap takes only --out (and --threads): the panel is converted as it is");
        }
        return run_status::run_ok;
    }
    if (options.vcf_path.empty()) return usage_error("missing --vcf FILE");
    if (options.chromosome.empty()) return usage_error("missing --chr NAME");
    if (options.out_prefix.empty()) return usage_error("missing --out PREFIX");
    if (options.map_path.empty() == options.cm_tag.empty()) {
        return usage_error("give exactly one of --map FILE and --cm-tag TAG");
    }
    if (layout_given && options.map_path.empty()) return usage_error("--map-layout needs --map");
    return run_status::run_ok;
}

std::string haplotype_output_path(const prepare_options& options) {
    switch (options.format) {
        case panel_format::bits: return options.out_prefix + ".hapbits";
        case panel_format::text: return options.out_prefix + ".hap";
        case panel_format::gzip: return options.out_prefix + ".hap.gz";
    }
    return "";
}

std::string legend_output_path(const prepare_options& options) {
    return options.out_prefix + (options.format == panel_format::gzip ? ".legend.gz" : ".legend");
}

std::string samples_output_path(const prepare_options& options) { return options.out_prefix + ".samples"; }

}  // namespace corvane
