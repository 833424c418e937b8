// The result tables of a grid of frequencies (--freq F TABLE, or the null's --null-freq F TABLE),
// read as one set and checked as one scan of every chromosome at every frequency.
#pragma once

#include <cstdint>
#include <vector>

#include "common/run_status.hpp"
#include "loci/loci_options.hpp"
#include "loci/result_table.hpp"

namespace corvane {

struct frequency_table_set {
    std::vector<double> frequencies;        // the distinct frequencies, increasing
    result_rows rows;                       // every table's rows, tables in the order given
    std::vector<uint32_t> table_frequency;  // per table of rows.tables, an index into frequencies
};

// Reads `tables` in order into `set` (lean, without the rows' origins, unless `keep_origins`) and
// checks what a scan of each chromosome at each frequency gives: every chromosome's rows in one run
// within a table, in one table per frequency, and at every frequency of the set. `what` names the
// set in messages ("result", "null"). Faults are reported where found (bad_input).
run_status read_frequency_tables(const std::vector<frequency_table>& tables, const char* what, bool keep_origins,
                                 frequency_table_set& set);

}  // namespace corvane
