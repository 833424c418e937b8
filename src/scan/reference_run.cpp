// The reference scan driver: Eigen window copies, window strings, the legend re-read per region.
#include "scan/reference_run.hpp"

#include <cstdint>

#include "report/legend_lookup.hpp"
#include "search/region.hpp"

namespace corvane {

run_status run_scan(const genotype_matrix& matrix, const scan_settings& settings, output_file& output) {
    const int32_t snp_count = matrix.snp_count;
    int32_t focal = 0;
    bool first_lookup = true;
    while (is_focal_snp(focal, snp_count)) {
        const region found = grow_region(matrix, focal, settings.frequency);
        region_row row;
        run_status status = lookup_legend_span(settings.legend_path, found, snp_count, row, first_lookup);
        first_lookup = false;
        if (status == run_status::run_ok) status = write_region_row(output, row);
        if (status != run_status::run_ok) return status;
        focal = next_focal_snp(found);
    }
    return run_status::run_ok;
}

run_status run_corvane_reference(int argc, const char* const* argv, scan_settings& settings) {
    return run_program<genotype_matrix>(argc, argv, settings, load_genotype_matrix, run_scan);
}

}  // namespace corvane
