// The shared tables and texts of the tests.
#include "support/fixtures.hpp"

namespace corvane::testing {

std::string panel_text(const allele_rows& rows, const std::string& separator, const std::string& line_end) {
    std::string text;
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0) text += separator;
            text += std::to_string(row[i]);
        }
        text += line_end;
    }
    return text;
}

std::string legend_text(int32_t snp_count, const std::string& line_end, const std::string& chr) {
    std::string text = "chr\tid\tcM\tbp" + line_end;
    for (int32_t snp = 0; snp < snp_count; ++snp) {
        text += chr + "\trs" + std::to_string(snp + 1) + "\t" + std::to_string(0.125 * snp) + "\t" +
                std::to_string(10000 + 250 * snp) + line_end;
    }
    return text;
}

std::string with_short_row(std::string legend, int32_t snp) {
    size_t line_start = 0;
    for (int32_t line = 0; line < snp + 1; ++line) line_start = legend.find('\n', line_start) + 1;
    const size_t line_end = legend.find('\n', line_start);
    const size_t last_tab = legend.rfind('\t', line_end);
    return legend.erase(last_tab, line_end - last_tab);
}

allele_rows identical_rows(int32_t haplotypes, int32_t snps) {
    std::vector<int32_t> row(static_cast<size_t>(snps));
    for (int32_t snp = 0; snp < snps; ++snp) row[static_cast<size_t>(snp)] = (snp * 7 / 3) % 2;
    return allele_rows(static_cast<size_t>(haplotypes), row);
}

allele_rows shared_stretch_panel() {
    constexpr int32_t haplotypes = 12, snps = 90;
    uint32_t state = 12345;
    const auto next_bit = [&] {
        state = state * 1103515245u + 12345u;
        return static_cast<int32_t>((state >> 16) & 1u);
    };
    allele_rows rows(haplotypes, std::vector<int32_t>(snps));
    for (auto& row : rows) {
        for (auto& allele : row) allele = next_bit();
    }
    // Rows 0..k-1 copy row 0 over a stretch whose length shrinks with k.
    const int32_t stretches[][3] = {{8, 5, 45}, {7, 50, 62}, {9, 66, 88}};
    for (const auto& stretch : stretches) {
        for (int32_t r = 1; r < stretch[0]; ++r) {
            for (int32_t snp = stretch[1]; snp <= stretch[2]; ++snp) rows[r][snp] = rows[0][snp];
        }
    }
    return rows;
}

allele_rows five_region_example() {
    allele_rows rows(10, std::vector<int32_t>(40));
    for (int32_t r = 0; r < 10; ++r) {
        for (int32_t c = 0; c < 40; ++c) {
            const bool one = r >= 6 || (r == 4 && c >= 33) || (r == 5 && c >= 25);
            rows[static_cast<size_t>(r)][static_cast<size_t>(c)] = one ? 1 : 0;
        }
    }
    return rows;
}

genotype_matrix to_matrix(const allele_rows& rows) {
    genotype_matrix matrix;
    matrix.haplotype_count = static_cast<int32_t>(rows.size());
    matrix.snp_count = static_cast<int32_t>(rows.front().size());
    for (const auto& row : rows) matrix.cells.insert(matrix.cells.end(), row.begin(), row.end());
    return matrix;
}

}  // namespace corvane::testing
