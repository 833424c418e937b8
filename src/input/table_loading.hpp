// Loading the genotype file into a table of either path, with running out of memory reported as such.
#pragma once

#include <cstdint>
#include <new>
#include <span>
#include <string>

#include "input/genotype_parser.hpp"
#include "common/run_status.hpp"

namespace corvane {

// Reports that the table being read does not fit in memory.
run_status report_out_of_memory(const std::string& path, int64_t haplotypes_read, int64_t snp_count);

// Reads the genotype file into `table` (which has haplotype_count and snp_count): `on_snp_count`
// takes S, `append(alleles)` takes one haplotype and may throw std::bad_alloc, which ends the load
// with "not enough memory" instead of a crash.
template <typename table_type, typename append_function>
run_status load_genotype_table(const std::string& path, table_type& table, const snp_count_sink& on_snp_count,
                               append_function&& append) {
    const auto out_of_memory = [&] { return report_out_of_memory(path, table.haplotype_count, table.snp_count); };
    const auto take_haplotype = [&](std::span<const int32_t> alleles) {
        try {
            append(alleles);
        } catch (const std::bad_alloc&) {
            return out_of_memory();
        }
        return run_status::run_ok;
    };
    try {
        return parse_genotype_file(path, on_snp_count, take_haplotype);
    } catch (const std::bad_alloc&) {
        return out_of_memory();
    }
}

}  // namespace corvane
