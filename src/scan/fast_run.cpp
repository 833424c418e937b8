// The fast scan driver.
#include "scan/fast_run.hpp"

#include <cstdint>
#include <string>

#include "report/legend_lookup.hpp"
#include "report/progress.hpp"
#include "search/fast_region.hpp"

namespace corvane {

run_status fast_run_scan(const fast_genotype_matrix& table, const scan_settings& settings, output_file& output) {
    const int32_t snp_count = table.snp_count;
    window_counter counter;
    prepare_window_counter(table, counter);
    legend_table legend;
    bool legend_read = false;
    scan_progress progress = start_progress(snp_count, count_path_name(counter.caches.path));
    int64_t regions = 0;
    int32_t focal = 0;
    while (is_focal_snp(focal, snp_count)) {
        const region found = fast_grow_region(table, focal, settings.frequency, counter);
        run_status status = run_status::run_ok;
        if (!legend_read) {
            status = read_legend_table(settings.legend_path, snp_count, legend);
            legend_read = true;
        }
        region_row row;
        if (status == run_status::run_ok) status = fast_lookup_legend_span(legend, found, row);
        if (status == run_status::run_ok) status = write_region_row(output, row);
        if (status != run_status::run_ok) {
            end_progress(progress);
            return status;
        }
        note_progress(progress, next_focal_snp(found), ++regions);
        focal = next_focal_snp(found);
    }
    end_progress(progress);
    return run_status::run_ok;
}

run_status run_corvane(int argc, const char* const* argv, scan_settings& settings) {
    const auto load = [](const std::string& path, fast_genotype_matrix& table) {
        return load_fast_genotype_matrix(path, table);
    };
    return run_program<fast_genotype_matrix>(argc, argv, settings, load, fast_run_scan);
}

}  // namespace corvane
