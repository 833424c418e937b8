// Tells the genotype file's format and hands it to its reader.
#include "input/genotype_file.hpp"

#include "input/genotype_parser.hpp"

namespace corvane {

run_status read_genotype_file(const std::string& path, const snp_count_sink& on_snp_count,
                              const haplotype_sink& on_haplotype, const bit_rows_destination& bit_rows) {
    if (!is_bit_panel(path)) return parse_genotype_text(path, on_snp_count, on_haplotype);
    if (bit_rows.storage) return load_bit_panel(path, bit_rows.extra_words_per_row, bit_rows.storage);
    return read_bit_panel_rows(path, on_snp_count, on_haplotype);
}

}  // namespace corvane
