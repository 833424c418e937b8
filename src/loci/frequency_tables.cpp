// Reads a frequency grid's tables and checks that they hold one scan per chromosome and frequency.
#include "loci/frequency_tables.hpp"

#include <algorithm>
#include <string>

#include "common/message.hpp"

namespace corvane {

namespace {

constexpr int32_t no_table = -1;

run_status refuse_second_scan(const std::string& path, int64_t line, const std::string& chr, const std::string& what) {
    print_message(message_kind::place, "%s:%lld: chromosome %s %s; two scans under one name? Name the replicates of "
                  "each batch apart\n", path.c_str(), static_cast<long long>(line), chr.c_str(), what.c_str());
    return run_status::bad_input;
}

// Two scans joined under one name show as a chromosome whose rows come in two runs, or in two tables
// of one frequency. `holder[chr]` is the table of this frequency holding the chromosome so far.
run_status check_runs(const result_rows& rows, size_t table, double frequency, std::vector<int32_t>& holder) {
    const table_read& read = rows.tables[table];
    holder.resize(rows.chr_names.size(), no_table);
    for (const chromosome_run& run : read.runs) {
        const std::string& chr = rows.chr_names[run.chr];
        if (holder[run.chr] == static_cast<int32_t>(table)) {
            return refuse_second_scan(read.path, run.line, chr, "appears a second time, after other chromosomes");
        }
        if (holder[run.chr] != no_table) {
            return refuse_second_scan(read.path, run.line, chr,
                                      "is also in " + rows.tables[static_cast<size_t>(holder[run.chr])].path +
                                          ", a table of the same frequency " + frequency_text(frequency));
        }
        holder[run.chr] = static_cast<int32_t>(table);
    }
    return run_status::run_ok;
}

// Every chromosome of the set at every frequency: a gap is a missing or failed scan.
run_status check_coverage(const frequency_table_set& set, const std::vector<std::vector<int32_t>>& holders,
                          const char* what) {
    for (size_t chr = 0; chr < set.rows.chr_names.size(); ++chr) {
        const auto holds = [&](size_t frequency) {
            return chr < holders[frequency].size() && holders[frequency][chr] != no_table;
        };
        size_t present = 0;
        while (!holds(present)) ++present;
        for (size_t missing = 0; missing < set.frequencies.size(); ++missing) {
            if (holds(missing)) continue;
            print_message(message_kind::tool, "chromosome %s has intervals in the %s table %s of frequency %s but in "
                          "none of the %s tables of frequency %s\n", set.rows.chr_names[chr].c_str(), what,
                          set.rows.tables[static_cast<size_t>(holders[present][chr])].path.c_str(),
                          frequency_text(set.frequencies[present]).c_str(), what,
                          frequency_text(set.frequencies[missing]).c_str());
            return run_status::bad_input;
        }
    }
    return run_status::run_ok;
}

}  // namespace

run_status read_frequency_tables(const std::vector<frequency_table>& tables, const char* what, bool keep_origins,
                                 frequency_table_set& set) {
    for (const frequency_table& table : tables) set.frequencies.push_back(table.frequency);
    std::sort(set.frequencies.begin(), set.frequencies.end());
    set.frequencies.erase(std::unique(set.frequencies.begin(), set.frequencies.end()), set.frequencies.end());
    set.rows.keep_origins = keep_origins;
    std::vector<std::vector<int32_t>> holders(set.frequencies.size());
    for (const frequency_table& table : tables) {
        const size_t frequency = static_cast<size_t>(
            std::lower_bound(set.frequencies.begin(), set.frequencies.end(), table.frequency) - set.frequencies.begin());
        run_status status = read_result_table(table.path, set.rows);
        if (status == run_status::run_ok) {
            status = check_runs(set.rows, set.rows.tables.size() - 1, table.frequency, holders[frequency]);
        }
        if (status != run_status::run_ok) return status;
        set.table_frequency.push_back(static_cast<uint32_t>(frequency));
    }
    return check_coverage(set, holders, what);
}

}  // namespace corvane
