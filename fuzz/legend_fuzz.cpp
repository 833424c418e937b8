// Fuzz target: the legend read once (fast path) against the legend re-read per region (reference path).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.hpp"
#include "input/legend/legend_table.hpp"
#include "report/legend_lookup.hpp"

namespace corvane::fuzzing {
namespace {

// A result row as the output file shows it.
std::string row_text(const region_row& row) {
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, "\t%d\t%d\t%g\t%d\t%d\n", row.startpos, row.endpos,
                  static_cast<double>(row.genetic_dist), row.physical_dist, row.n_snp);
    return row.chr + numbers;
}

// The statuses and rows of looking up `regions` one after another, stopping at the first failure.
struct lookups {
    std::vector<run_status> statuses;
    std::string rows;
    captured_streams streams;
};

lookups reference_lookups(const std::string& path, int32_t snp_count, const std::vector<region>& regions) {
    lookups done;
    begin_capture();
    for (const region found : regions) {
        region_row row;
        const run_status status = lookup_legend_span(path, found, snp_count, row, done.statuses.empty());
        done.statuses.push_back(status);
        if (status != run_status::run_ok) break;
        done.rows += row_text(row);
    }
    done.streams = end_capture();
    return done;
}

lookups table_lookups(const std::string& path, int32_t snp_count, const std::vector<region>& regions) {
    lookups done;
    begin_capture();
    legend_table table;
    // The fast driver reads the table when the first region is found, so a failure stands for it.
    run_status status = read_legend_table(path, snp_count, table);
    for (const region found : regions) {
        region_row row;
        if (status == run_status::run_ok) status = fast_lookup_legend_span(table, found, row);
        done.statuses.push_back(status);
        if (status != run_status::run_ok) break;
        done.rows += row_text(row);
    }
    done.streams = end_capture();
    return done;
}

}  // namespace
}  // namespace corvane::fuzzing

// Input: S (byte 0), the number of regions (byte 1), two bytes per region, then the legend file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvane;
    using namespace corvane::fuzzing;
    static const memory_file file = make_memory_file("legend");
    if (size < 2) return 0;
    const int32_t snp_count = 2 + data[0] % 48;
    const size_t region_count = 1 + data[1] % 4;
    if (size < 2 + 2 * region_count) return 0;
    std::vector<region> regions;
    for (size_t i = 0; i < region_count; ++i) {
        region found;
        found.start = data[2 + 2 * i] % (snp_count - 1);
        found.end = found.start + 1 + data[3 + 2 * i] % (snp_count - 1 - found.start);
        regions.push_back(found);
    }
    const size_t header = 2 + 2 * region_count;
    fill_memory_file(file, std::string_view(reinterpret_cast<const char*>(data) + header, size - header));

    const lookups reference = reference_lookups(file.path, snp_count, regions);
    const lookups table = table_lookups(file.path, snp_count, regions);
    if (reference.statuses != table.statuses) fail("the statuses differ");
    if (reference.rows != table.rows) fail("the rows differ:\n" + reference.rows + "against\n" + table.rows);
    if (!(reference.streams == table.streams)) {
        fail("the messages differ:\n" + reference.streams.out + reference.streams.err + "against\n" + table.streams.out +
             table.streams.err);
    }
    return 0;
}
