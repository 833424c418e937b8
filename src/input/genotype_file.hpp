// The genotype file front end: its format (text, gzip text or bit panel) told in one place, and
// every loader's way in, with running out of memory reported as such.
#pragma once

#include <cstddef>
#include <new>
#include <span>
#include <string>

#include "common/run_status.hpp"
#include "input/bit_panel.hpp"
#include "input/genotype_reading.hpp"

namespace corvane {

// Where a loader that holds bits takes a bit panel's rows: straight into its own storage, each row
// followed by `extra_words_per_row` zero words, in one read.
struct bit_rows_destination {
    bit_row_storage storage;  // empty: the rows are unpacked through the sinks like a text file's
    size_t extra_words_per_row = 0;
};

// Reads the genotype file at `path`: a bit panel (told from its first byte) into `bit_rows` or
// through the sinks, anything else as text, plain or gzip (parse_genotype_text). genotype_missing,
// without a message, when it cannot be opened; every other fault is reported where it is found.
run_status read_genotype_file(const std::string& path, const snp_count_sink& on_snp_count,
                              const haplotype_sink& on_haplotype, const bit_rows_destination& bit_rows = {});

// Reads the genotype file into `table` (which has haplotype_count and snp_count): `on_snp_count`
// takes S, `append(alleles)` takes one haplotype and may throw std::bad_alloc, which ends the load
// with "not enough memory" instead of a crash.
template <typename table_type, typename append_function>
run_status load_genotype_table(const std::string& path, table_type& table, const snp_count_sink& on_snp_count,
                               append_function&& append, const bit_rows_destination& bit_rows = {}) {
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
        return read_genotype_file(path, on_snp_count, take_haplotype, bit_rows);
    } catch (const std::bad_alloc&) {
        return out_of_memory();
    }
}

}  // namespace corvane
