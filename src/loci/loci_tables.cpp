// Formats the rows of corvane-loci's outputs.
#include "loci/loci_tables.hpp"

#include <cmath>
#include <cstdio>

namespace corvane {

std::string locus_name(const result_rows& rows, const locus& found) {
    return rows.chr_names[found.chr] + ":" + std::to_string(found.number);
}

std::string loci_header(bool with_carriers) {
    std::string header = "locus\tchr\tstart\tend\tintervals\tpeak_start\tpeak_end\tpeak_cM\tpeak_snps\trank\tpercentile";
    if (with_carriers) header += "\tcarriers\tcarrier_frequency\tcore";
    return header + "\n";
}

std::string loci_row(const result_rows& rows, const locus& found, const locus_carriers* carriers) {
    const result_interval& peak = rows.intervals[found.peak];
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "\t%d\t%d\t%d\t%d\t%d\t", found.start, found.end, found.interval_count,
                  peak.start, peak.end);
    std::string line = locus_name(rows, found) + "\t" + rows.chr_names[found.chr] + numbers + peak.genetic_text;
    std::snprintf(numbers, sizeof numbers, "\t%d\t%d\t%.6g", peak.snps, found.rank, found.percentile);
    line += numbers;
    if (carriers != nullptr) {
        std::snprintf(numbers, sizeof numbers, "\t%d\t%.6g\t", carriers->count,
                      static_cast<double>(carriers->count) / carriers->haplotype_count);
        line += numbers;
        line += carriers->core;
    }
    return line + "\n";
}

std::string bed_line(const result_rows& rows, const locus& found) {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "\t%d\t%d\t", found.start > 0 ? found.start - 1 : 0, found.end);
    const long score = std::lround(1000.0 * found.percentile);
    return rows.chr_names[found.chr] + numbers + locus_name(rows, found) + "\t" + std::to_string(score) + "\n";
}

std::string carrier_list_header() { return "locus\tsample\thaplotype\tcopies\n"; }

std::string carrier_lines(const result_rows& rows, const locus& found, const locus_carriers& carriers,
                          const std::vector<std::string>& samples) {
    const std::string name = locus_name(rows, found);
    std::string lines;
    const std::vector<int32_t>& haplotypes = carriers.rows;
    for (size_t k = 0; k < haplotypes.size(); ++k) {
        // The rows increase, so a sample's other haplotype, if it carries, stands beside this one.
        const int32_t other = haplotypes[k] ^ 1;
        const bool both = (k > 0 && haplotypes[k - 1] == other) ||
                          (k + 1 < haplotypes.size() && haplotypes[k + 1] == other);
        lines += name;
        lines += '\t';
        lines += samples[static_cast<size_t>(haplotypes[k] / 2)];
        lines += haplotypes[k] % 2 == 0 ? "\t1" : "\t2";
        lines += both ? "\t2\n" : "\t1\n";
    }
    return lines;
}

}  // namespace corvane
