// Fills the fast table from a text panel haplotype by haplotype, or from a bit panel in one read.
#include "input/fast_genotype_loading.hpp"

#include <cassert>
#include <span>

#include "input/bit_words.hpp"
#include "input/genotype_file.hpp"

namespace corvane {

run_status load_fast_genotype_matrix(const std::string& path, fast_genotype_matrix& table, other_alleles rule) {
    table = fast_genotype_matrix{};
    const auto take_snp_count = [&](int32_t snp_count) {
        table.snp_count = snp_count;
        table.words_per_row = words_for_bits(snp_count) + 1;
        return run_status::run_ok;
    };
    const auto take_haplotype = [&](std::span<const int32_t> alleles) {
        assert(alleles.size() == static_cast<size_t>(table.snp_count));
        append_haplotype(table, alleles.data(), rule);
    };
    // A bit panel goes straight into the table's bits, each row followed by its zero word.
    const auto bit_rows = [&](const bit_panel_shape& shape, size_t stride) {
        table.haplotype_count = shape.haplotype_count;
        table.snp_count = shape.snp_count;
        table.words_per_row = stride;
        table.bits.resize(static_cast<size_t>(shape.haplotype_count) * stride);
        table.rare.row_start.assign(static_cast<size_t>(shape.haplotype_count) + 1, 0);  // no rare cells
        return table.bits.data();
    };
    return load_genotype_table(path, table, take_snp_count, take_haplotype, {bit_rows, 1});
}

}  // namespace corvane
