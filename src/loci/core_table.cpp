// Writes the core table: the SNPs of each peak with their legend rows and allele shares.
#include "loci/core_table.hpp"

#include <algorithm>
#include <cstdio>

#include "input/legend/legend_alleles.hpp"

namespace corvane {

run_status name_core_snps(const loci_options& options, std::vector<locus_carriers>& measured) {
    for (size_t panel = 0; panel < options.legend_paths.size(); ++panel) {
        std::vector<int32_t> columns;
        for (const locus_carriers& carriers : measured) {
            if (carriers.panel != panel) continue;
            for (const core_snp& snp : carriers.core_snps) columns.push_back(snp.column);
        }
        if (columns.empty()) continue;
        std::sort(columns.begin(), columns.end());
        columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
        std::vector<legend_snp_texts> texts;
        const run_status read = read_legend_snp_texts(options.legend_paths[panel], columns, texts);
        if (read != run_status::run_ok) return read;
        for (locus_carriers& carriers : measured) {
            if (carriers.panel != panel) continue;
            for (core_snp& snp : carriers.core_snps) {
                const auto at = std::lower_bound(columns.begin(), columns.end(), snp.column) - columns.begin();
                snp.named = texts[static_cast<size_t>(at)];
            }
        }
    }
    return run_status::run_ok;
}

std::string core_table_header() {
    return "locus\tid\tbp\tcM\tcore_allele\tref\talt\tcarrier_share\tallele_frequency\n";
}

std::string core_table_lines(const std::string& locus_name, const locus_carriers& carriers) {
    std::string lines;
    char numbers[96];
    for (const core_snp& snp : carriers.core_snps) {
        const legend_snp_texts& named = snp.named;
        lines += locus_name + "\t" + named.id + "\t" + std::to_string(named.bp) + "\t" + named.cm + "\t" +
                 std::to_string(snp.allele) + "\t" + named.ref + "\t" + named.alt;
        std::snprintf(numbers, sizeof numbers, "\t%.6g\t%.6g\n",
                      carriers.count > 0 ? static_cast<double>(snp.carriers_with) / carriers.count : 0.0,
                      carriers.haplotype_count > 0 ? static_cast<double>(snp.haplotypes_with) / carriers.haplotype_count
                                                   : 0.0);
        lines += numbers;
    }
    return lines;
}

}  // namespace corvane
