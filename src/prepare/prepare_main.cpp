// corvane-prepare: the entry point of the VCF/BCF converter.
#include "common/message.hpp"
#include "common/run_record.hpp"
#include "common/signal_cleanup.hpp"
#include "prepare/htslib_messages.hpp"
#include "prepare/ms_conversion.hpp"
#include "prepare/options.hpp"
#include "prepare/prepare_run.hpp"
#include "prepare/text_panel_conversion.hpp"

int main(int argc, char** argv) {
    corvane::set_program_name("corvane-prepare");
    corvane::run_record record = corvane::start_run_record(argc, argv);
    corvane::report_htslib_messages();
    corvane::remove_temporaries_on_signals();
    corvane::prepare_options options;
    corvane::run_status status = corvane::parse_prepare_options(argc, argv, options, record.parameters);
    if (status == corvane::run_status::run_ok) {
        corvane::place_prepare_record(options, record);
        if (!options.ms_path.empty()) {
            status = corvane::convert_ms_file(options, record);
        } else if (!options.text_panel_path.empty()) {
            status = corvane::convert_text_panel(options.text_panel_path, corvane::haplotype_output_path(options),
                                                 record);
        } else {
            status = corvane::run_prepare(options, record);
        }
    }
    if (corvane::writes_run_record(status)) corvane::write_run_record(record, corvane::ending_of(status));
    return corvane::exit_code(status);
}
