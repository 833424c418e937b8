// Formats the rows of corvane-loci's outputs.
#include "loci/loci_tables.hpp"

#include <cmath>
#include <cstdio>
#include <string_view>

#include "loci/loci_options.hpp"

namespace corvane {

std::string locus_name(const result_rows& rows, const locus& found) {
    return rows.chr_names[found.chr] + ":" + std::to_string(found.number);
}

std::string loci_header(const frequency_columns* by_frequency, bool with_carriers) {
    std::string header = "locus\tchr\tstart\tend\tintervals\tpeak_start\tpeak_end\tpeak_cM\tpeak_snps\trank\tpercentile"
                         "\tpeak_kb\tpeak_cM_per_Mb";
    if (by_frequency != nullptr) {
        header += "\tpeak_freq\tmax_freq";
        for (const double frequency : by_frequency->loci->frequencies) header += "\tcM_" + frequency_text(frequency);
        header += "\tstatistic";
        if (!by_frequency->statistics->p_value.empty()) header += "\tp_value\tq_value";
    }
    if (with_carriers) header += "\tcarriers\tcarrier_frequency\tcore";
    return header + "\n";
}

namespace {

// The peak's cM per Mb; nan where it has no physical length (or no genetic one).
std::string rate_text(const result_interval& peak) {
    const int32_t bp = peak.end - peak.start;
    const double rate = bp == 0 ? std::nan("") : peak.genetic / (bp / 1e6);
    if (std::isnan(rate)) return "nan";
    char text[32];
    std::snprintf(text, sizeof text, "%g", rate);
    return text;
}

void append_frequency_columns(const result_rows& rows, size_t k, const frequency_columns& by_frequency,
                              std::string& line) {
    const cell_loci& loci = *by_frequency.loci;
    const locus_statistics& statistics = *by_frequency.statistics;
    for (const uint32_t shown : {statistics.peak_frequency[k], statistics.highest_frequency[k]}) {
        line += '\t';
        line += frequency_text(loci.frequencies[shown]);
    }
    for (size_t frequency = 0; frequency < loci.frequencies.size(); ++frequency) {
        const size_t longest = loci.longest_at(k, frequency);
        line += '\t';
        line += longest == no_interval ? std::string_view("NA") : genetic_text(rows, longest);
    }
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "\t%.6f", statistics.statistic[k]);
    line += numbers;
    if (!statistics.p_value.empty()) {
        std::snprintf(numbers, sizeof numbers, "\t%.6g\t%.6g", statistics.p_value[k], statistics.q_value[k]);
        line += numbers;
    }
}

}  // namespace

std::string loci_row(const result_rows& rows, const std::vector<locus>& loci, size_t k,
                     const frequency_columns* by_frequency, const locus_carriers* carriers) {
    const locus& found = loci[k];
    const result_interval& peak = rows.intervals[found.peak];
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "\t%d\t%d\t%d\t%d\t%d\t", found.start, found.end, found.interval_count,
                  peak.start, peak.end);
    std::string line = locus_name(rows, found) + "\t" + rows.chr_names[found.chr] + numbers;
    line += genetic_text(rows, found.peak);
    std::snprintf(numbers, sizeof numbers, "\t%d\t%d\t%.6g\t%.3f\t", peak.snps, found.rank, found.percentile,
                  (peak.end - peak.start) / 1000.0);
    line += numbers;
    line += rate_text(peak);
    if (by_frequency != nullptr) append_frequency_columns(rows, k, *by_frequency, line);
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
    const std::string name = locus_name(rows, found) + "\t";
    // A genome-wide list runs to a hundred million lines: each is put together from whole pieces.
    static constexpr std::string_view endings[2][2] = {{"\t1\t1\n", "\t1\t2\n"}, {"\t2\t1\n", "\t2\t2\n"}};
    const std::vector<int32_t>& haplotypes = carriers.rows;
    std::string lines;
    lines.reserve(haplotypes.size() * (name.size() + 5 + (samples.empty() ? 0 : samples[0].size() + 4)));
    const size_t count = haplotypes.size();
    for (size_t k = 0; k < count; ++k) {
        // The rows increase, so a sample's other haplotype, if it carries, stands beside this one.
        // Told without a branch on the data: whether a sample carries twice is as good as random.
        const int32_t row = haplotypes[k];
        const int32_t before = k > 0 ? haplotypes[k - 1] : -1;
        const int32_t after = k + 1 < count ? haplotypes[k + 1] : -1;
        const unsigned both = static_cast<unsigned>(before == (row ^ 1)) | static_cast<unsigned>(after == (row ^ 1));
        lines.append(name);
        lines.append(samples[static_cast<size_t>(row / 2)]);
        lines.append(endings[row & 1][both]);
    }
    return lines;
}

}  // namespace corvane
