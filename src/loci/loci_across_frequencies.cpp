// Reads both sets of a grid's tables, forms their loci alike and scores the observed ones.
#include "loci/loci_across_frequencies.hpp"

#include "common/message.hpp"

namespace corvane {

run_status find_frequency_loci(const loci_options& options, frequency_loci& found) {
    const interval_filter filter{.min_cm = options.min_cm, .min_snps = options.min_snps};
    run_status status = read_frequency_tables(options.observed_tables, "result", true, found.observed);
    if (status != run_status::run_ok) return status;
    found.loci = form_cell_loci(found.observed, filter, options.gap);
    if (options.null_tables.empty()) {
        found.statistics = score_loci(found.loci, found.observed.rows, nullptr, nullptr);
        return run_status::run_ok;
    }
    frequency_table_set null;
    status = read_frequency_tables(options.null_tables, "null", false, null);
    if (status != run_status::run_ok) return status;
    const cell_loci null_loci = form_cell_loci(null, filter, options.gap);
    if (null_loci.loci.empty()) {
        print_message(message_kind::tool, "the null tables give no loci (no intervals after the filters); p-values "
                                          "need at least one\n");
        return run_status::bad_input;
    }
    found.statistics = score_loci(found.loci, found.observed.rows, &null_loci, &null.rows);
    return run_status::run_ok;
}

}  // namespace corvane
