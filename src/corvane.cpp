// corvane: the entry point and the focal SNP scan.
#include <cstdint>

#include "input/genotype_matrix.hpp"
#include "report/legend_span.hpp"
#include "report/output_file.hpp"
#include "run_setup.hpp"
#include "search/region.hpp"

namespace corvane {

// Walks the focal SNPs left to right; each region is reported, and the next focal SNP is the
// second one after the region's end.
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

run_status run(int argc, const char* const* argv, scan_settings& settings) {
    output_file output;
    run_status status = start_run(argc, argv, settings, output);
    if (status != run_status::run_ok) return status;
    genotype_matrix matrix;
    status = load_genotype_matrix(settings.genotype_path, matrix);
    if (status == run_status::run_ok) status = check_threshold(settings, matrix.haplotype_count);
    if (status == run_status::run_ok) status = run_scan(matrix, settings, output);
    const run_status closed = close_output(output);
    return status == run_status::run_ok ? closed : status;
}

}  // namespace corvane

int main(int argc, char** argv) {
    corvane::scan_settings settings;
    const corvane::run_status status = corvane::run(argc, argv, settings);
    return corvane::finish_run(status, settings);
}
