// Parses and checks corvane-loci's options; every mistake is a message and status 2.
#include "loci/loci_options.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/help_and_version.hpp"
#include "common/message.hpp"

namespace corvane {

namespace {

const char* const usage_text =
    "usage: corvane-loci [options] RESULT... -o LOCI\n"
    "       corvane-loci --help | -h | --version\n"
    "\n"
    "Merges the intervals of corvane result tables into candidate loci, ranks them by their longest\n"
    "interval and, given the panel the scan used, counts who carries each locus's peak haplotype.\n"
    "\n"
    "  RESULT...          corvane result tables (plain or gzip; repeated header lines are passed over)\n"
    "  -o, --output LOCI  the loci table to write (tab-separated, one row per locus)\n"
    "  --gap BP           join intervals that lie at most BP apart (default 0: they overlap or touch)\n"
    "  --min-cm CM        drop intervals shorter than CM before joining (default 0: none)\n"
    "  --hap PANEL        the genotype file the scan read (text, gzip); adds carriers,\n"
    "                     carrier_frequency and core\n"
    "  --legend LEGEND    the legend the scan read; one per --hap, in the same order (several pairs\n"
    "                     for a genome-wide table: each locus uses the legend of its chromosome)\n"
    "  --samples FILE     sample ids, one per line in panel order (corvane-prepare's PREFIX.samples)\n"
    "  --carriers FILE    write one line per carrier haplotype: locus, sample, haplotype (1 or 2);\n"
    "                     needs --hap and --samples\n"
    "  --bed FILE         also write the loci as BED (0-based start; score 0-1000 from the rank)\n"
    "  -h, --help         print this help\n"
    "  --version          print the version\n"
    "\n"
    "Exit status: 0 done, 1 bad input or an output that could not be written, 2 a wrong command line.\n";

run_status usage_error(const std::string& what) {
    print_message(message_kind::tool, "%s\n%s", what.c_str(), "usage: corvane-loci [options] RESULT... -o LOCI (--help for more)\n");
    return run_status::usage_error;
}

bool parse_gap(const std::string& text, int64_t& gap) {
    if (text.empty() || text.size() > 12) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    gap = std::strtoll(text.c_str(), nullptr, 10);
    return true;
}

bool parse_cm(const std::string& text, double& cm) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    cm = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(cm) && cm >= 0.0;
}

}  // namespace

run_status parse_loci_options(int argc, const char* const* argv, loci_options& options) {
    for (int k = 1; k < argc; ++k) {
        std::string name = argv[k];
        if (const info_request request = info_request_of(name); request != info_request::none) {
            return print_info(request, usage_text);
        }
        if (name.empty() || name[0] != '-' || name == "-") {
            options.result_paths.push_back(name);
            continue;
        }
        std::string value;
        bool has_value = false;
        if (const size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            has_value = true;
        }
        static const char* const known[] = {"-o", "--output", "--gap", "--min-cm", "--hap", "--legend",
                                            "--samples", "--carriers", "--bed"};
        bool is_known = false;
        for (const char* option : known) is_known = is_known || name == option;
        if (!is_known) return usage_error("unknown option " + name);
        if (!has_value) {
            if (k + 1 >= argc) return usage_error(name + " needs a value");
            value = argv[++k];
        }
        if (name == "-o" || name == "--output") {
            if (!options.output_path.empty()) return usage_error("-o given twice");
            options.output_path = value;
        } else if (name == "--gap") {
            if (!parse_gap(value, options.gap)) return usage_error("--gap takes a whole number of bp, got \"" + value + "\"");
        } else if (name == "--min-cm") {
            if (!parse_cm(value, options.min_cm)) return usage_error("--min-cm takes a number of cM of at least 0, got \"" + value + "\"");
        } else if (name == "--hap") {
            options.panel_paths.push_back(value);
        } else if (name == "--legend") {
            options.legend_paths.push_back(value);
        } else {
            std::string& target = name == "--samples" ? options.samples_path
                                  : name == "--carriers" ? options.carriers_path : options.bed_path;
            if (!target.empty()) return usage_error(name + " given twice");
            target = value;
        }
    }
    if (options.result_paths.empty()) return usage_error("no result table given");
    if (options.output_path.empty()) return usage_error("no output given (-o LOCI)");
    if (options.panel_paths.size() != options.legend_paths.size()) {
        return usage_error("every --hap needs its --legend: got " + std::to_string(options.panel_paths.size()) +
                           " --hap and " + std::to_string(options.legend_paths.size()) + " --legend");
    }
    if (!options.samples_path.empty() && options.panel_paths.empty()) return usage_error("--samples needs --hap and --legend");
    if (!options.carriers_path.empty() && options.samples_path.empty()) return usage_error("--carriers needs --samples (and --hap, --legend)");
    return run_status::run_ok;
}

}  // namespace corvane
