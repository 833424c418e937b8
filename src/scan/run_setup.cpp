// Run setup and the end of a run, shared by both scan drivers.
#include "scan/run_setup.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/message.hpp"
#include "common/same_file.hpp"
#include "search/search_terms.hpp"

namespace corvane {

run_status parse_command_line(int argc, const char* const* argv, scan_settings& settings) {
    if (argc != 9) {
        print_message(message_kind::tool,
                      "expected 8 arguments, got %d (argc ==9 does not hold)\n"
                      "usage: %s -hap GENOTYPES -legend LEGEND -freq FREQUENCY -out OUTPUT\n",
                      argc - 1, program_name());
        return run_status::usage_error;
    }
    settings.genotype_path = argv[2];
    settings.legend_path = argv[4];
    settings.output_path = argv[8];

    const double value = std::atof(argv[6]);
    // Compared as a double first, so that only values inside float's range are narrowed.
    if (!(value > 0.0 && value < 1.0) || !(static_cast<float>(value) > 0.0f && static_cast<float>(value) < 1.0f)) {
        print_message(message_kind::tool, "frequency must be a number above 0 and below 1, got \"%s\"\n", argv[6]);
        return run_status::bad_frequency;
    }
    settings.frequency = static_cast<float>(value);
    return run_status::run_ok;
}

namespace {

run_status check_output_of(const scan_settings& settings) {
    return check_output_is_not_an_input(settings.output_path,
                                        {{"genotype", settings.genotype_path}, {"legend", settings.legend_path}});
}

}  // namespace

run_status start_run(int argc, const char* const* argv, scan_settings& settings, output_file& output) {
    run_status status = parse_command_line(argc, argv, settings);
    if (status == run_status::run_ok) status = check_output_of(settings);
    if (status != run_status::run_ok) return status;
    if (settings.output_path.ends_with(".gz")) {
        // The result is always text, flushed row by row; a name that promises gzip would mislead
        // whoever reads it next.
        print_message(message_kind::tool,
                      "%s ends in .gz, but the result is written as plain text (compress it afterwards, e.g. with "
                      "bgzip, or name it without .gz)\n",
                      settings.output_path.c_str());
    }
    status = create_output(output, settings.output_path);
    if (status != run_status::run_ok) return status;
    // An input that did not exist may have been created just now under the output's name (also at
    // the target of a link that pointed nowhere): refuse that too, and take back the file created.
    status = check_output_of(settings);
    if (status != run_status::run_ok) {
        discard_output(output);
        return status;
    }
    return write_header_row(output);
}

run_status check_threshold(const scan_settings& settings, int32_t haplotype_count) {
    const float threshold = carrier_threshold(haplotype_count, settings.frequency);
    if (threshold < static_cast<float>(haplotype_count)) return run_status::run_ok;
    print_message(message_kind::tool,
                  "frequency %g with %d haplotypes gives a carrier threshold of %g, which no window can exceed; "
                  "use a lower frequency\n",
                  static_cast<double>(settings.frequency), haplotype_count, static_cast<double>(threshold));
    return run_status::threshold_too_high;
}

int finish_run(run_status status, const scan_settings& settings) {
    if (status == run_status::genotype_missing) {
        print_message(message_kind::notice, "Input genotype file not found %s\n", settings.genotype_path.c_str());
    }
    std::fflush(stdout);
    return exit_code(status);
}

}  // namespace corvane
