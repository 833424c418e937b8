// The plain scan driver: Eigen window copies, window strings, the legend re-read per region.
#include "reference_run.hpp"

#include <cstdint>
#include <new>

#include "report/legend_span.hpp"
#include "search/region.hpp"
#include "search/scan_memory.hpp"

namespace corvane {

run_status run_scan(const genotype_matrix& matrix, const scan_settings& settings, output_file& output) {
    const int32_t snp_count = matrix.snp_count;
    int32_t focal = 0;
    while (focal < snp_count - 1) {
        const region found = grow_region(matrix, focal, settings.frequency);
        region_row row;
        run_status status = lookup_legend_span(settings.legend_path, found, snp_count, row);
        if (status == run_status::run_ok) status = write_region_row(output, row);
        if (status != run_status::run_ok) return status;
        if (found.end + 1 >= snp_count - 1) break;
        focal = found.end + 2;
    }
    return run_status::run_ok;
}

run_status run_reference(int argc, const char* const* argv, scan_settings& settings) {
    output_file output;
    run_status status = start_run(argc, argv, settings, output);
    if (status != run_status::run_ok) return status;
    genotype_matrix matrix;
    status = load_genotype_matrix(settings.genotype_path, matrix);
    if (status == run_status::run_ok) status = check_threshold(settings, matrix.haplotype_count);
    if (status == run_status::run_ok) {
        try {
            status = run_scan(matrix, settings, output);
        } catch (const std::bad_alloc&) {
            status = report_scan_out_of_memory();
        }
    }
    const run_status closed = close_output(output);
    return status == run_status::run_ok ? closed : status;
}

}  // namespace corvane
