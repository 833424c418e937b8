// corvane-scan-bench: loads a genotype file once, then times the fast search alone (no legend, no
// output) at each frequency given, as processor time, the shortest of three runs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "input/fast_genotype_loading.hpp"
#include "search/fast_region.hpp"

namespace {

double processor_seconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: corvane-scan-bench GENOTYPES FREQUENCY...\n");
        return 2;
    }
    corvane::fast_genotype_matrix table;
    if (corvane::load_fast_genotype_matrix(argv[1], table) != corvane::run_status::run_ok) return 1;
    for (int a = 2; a < argc; ++a) {
        const auto frequency = static_cast<float>(std::atof(argv[a]));
        double prepare = 1e9, search = 1e9;
        int64_t regions = 0;
        for (int run = 0; run < 3; ++run) {
            const double start = processor_seconds();
            corvane::window_counter counter;
            corvane::prepare_window_counter(table, counter);
            const double prepared = processor_seconds();
            regions = 0;
            for (int32_t focal = 0; corvane::is_focal_snp(focal, table.snp_count);) {
                const corvane::region found = corvane::fast_grow_region(table, focal, frequency, counter);
                ++regions;
                focal = corvane::next_focal_snp(found);
            }
            prepare = std::min(prepare, prepared - start);
            search = std::min(search, processor_seconds() - prepared);
        }
        std::printf("frequency %s: prepare %.3f s, search %.3f s, %lld regions\n", argv[a], prepare, search,
                    static_cast<long long>(regions));
    }
    return 0;
}
