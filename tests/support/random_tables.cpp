// Random haplotype tables for the equivalence tests.
#include "support/random_tables.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "input/bit_panel.hpp"
#include "input/bit_words.hpp"
#include "search/region.hpp"

namespace corvane::testing {

namespace {

// Allele codes that stress the reference path's rules: equal low bytes with different values, negative
// values, and squares far beyond 32 bits.
const int32_t unusual_values[] = {0, 1, 2, -1, 255, 256, 257, -256, 512, 65536, 65537,
                                  std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()};

// Missing-data and other codes a mostly 0/1 panel may hold: the same low byte as 0 or 1 with other
// values, odd low bytes, and one too far apart for exact sums of squares in double.
const int32_t rare_values[] = {9, -1, 256, 257, 2, 255, -255, 1 << 20, std::numeric_limits<int32_t>::min()};

}  // namespace

allele_rows random_table(std::mt19937_64& random, int32_t rows, int32_t snps, table_style style) {
    const auto chance = [&](double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(random) < p; };
    const auto pick = [&](int32_t n) { return static_cast<int32_t>(random() % static_cast<uint64_t>(n)); };
    allele_rows table(static_cast<size_t>(rows), std::vector<int32_t>(static_cast<size_t>(snps)));
    if (style == table_style::noisy_bits) {
        for (auto& row : table) {
            for (auto& allele : row) allele = pick(2);
        }
        return table;
    }
    const int32_t value_count = 2 + pick(static_cast<int32_t>(std::size(unusual_values)) - 1);
    // Rare codes: one or two of them, in about 2% of cells, mostly in the founders so rows share them
    // (and now and then swap one for the other, so groups split at them).
    const bool rare = style == table_style::rare_codes;
    const int32_t rare_first = rare ? pick(static_cast<int32_t>(std::size(rare_values))) : 0;
    const int32_t rare_second = rare ? pick(static_cast<int32_t>(std::size(rare_values))) : 0;
    const auto allele_with_rare = [&] {
        if (!chance(0.02)) return pick(2);
        return chance(0.5) ? rare_values[rare_first] : rare_values[rare_second];
    };
    const auto random_allele = [&] {
        switch (style) {
            case table_style::mosaic_values: return unusual_values[pick(value_count)];
            case table_style::rare_codes: return allele_with_rare();
            case table_style::few_codes: return pick(4);
            default: return pick(2);
        }
    };
    const int32_t founder_count = style == table_style::identical_bits ? 1 : 1 + pick(4);
    allele_rows founders(static_cast<size_t>(founder_count), std::vector<int32_t>(static_cast<size_t>(snps)));
    for (auto& founder : founders) {
        for (auto& allele : founder) allele = random_allele();
    }
    const double switch_rate = style == table_style::identical_bits ? 0.0 : 0.002 + 0.05 * (pick(100) / 100.0);
    const double flip_rate = style == table_style::identical_bits ? 0.0 : 0.01 * pick(3);
    for (auto& row : table) {
        int32_t founder = pick(founder_count);
        for (int32_t s = 0; s < snps; ++s) {
            if (chance(switch_rate)) founder = pick(founder_count);
            row[static_cast<size_t>(s)] = chance(flip_rate) ? (rare ? pick(2) : random_allele())
                                                            : founders[static_cast<size_t>(founder)][static_cast<size_t>(s)];
            int32_t& allele = row[static_cast<size_t>(s)];
            if (rare && (allele & ~1) != 0 && chance(0.2)) allele = allele == rare_values[rare_first] ? rare_values[rare_second] : rare_values[rare_first];
        }
    }
    return table;
}

fast_genotype_matrix to_allele_table(const allele_rows& table, other_alleles rule) {
    fast_genotype_matrix result;
    result.snp_count = static_cast<int32_t>(table.front().size());
    result.words_per_row = words_for_bits(result.snp_count) + 1;
    for (const auto& row : table) append_haplotype(result, row.data(), rule);
    return result;
}

// A random table of 1 to 300 SNPs for draw `t`: the styles in turn, mostly up to 12 haplotypes
// so that every threshold of those sizes comes up.
allele_rows random_table_for_draw(std::mt19937_64& random, int32_t t) {
    const auto style = static_cast<table_style>(t % table_style_count);
    const int32_t rows = 1 + static_cast<int32_t>(random() % (t % 10 == 0 ? 40 : 12));
    const int32_t snps = 1 + static_cast<int32_t>(random() % (t % 50 == 0 ? 300 : 90));
    return random_table(random, rows, snps, style);
}

// The thresholds tried on a table of `rows` haplotypes: one drawn from 0 to H - 1, or both ends.
std::vector<int32_t> thresholds_for_draw(std::mt19937_64& random, int32_t t, int32_t rows) {
    if (t % 5 == 0) return {0, rows - 1};
    return {static_cast<int32_t>(random() % static_cast<uint64_t>(rows))};
}

std::string bit_panel_bytes(const allele_rows& table) {
    const size_t snps = table.front().size();
    const auto header = bit_panel_header(static_cast<int64_t>(table.size()), static_cast<int64_t>(snps));
    std::string bytes(header.begin(), header.end());
    const size_t row_bytes = (snps + 63) / 64 * 8;
    for (const auto& row : table) {
        std::string packed(row_bytes, '\0');
        for (size_t c = 0; c < snps; ++c) {
            if (row[c] == 1) packed[c / 8] = static_cast<char>(packed[c / 8] | 1 << (c % 8));
        }
        bytes += packed;
    }
    return bytes;
}

std::string random_legend_text(int32_t snps, std::mt19937_64& random) {
    std::string text = "chr\tid\tcM\tbp\n";
    int64_t position = 1000 + static_cast<int64_t>(random() % 1000);
    double genetic = 0.0;
    for (int32_t s = 0; s < snps; ++s) {
        position += 1 + static_cast<int64_t>(random() % 500);
        genetic += static_cast<double>(random() % 1000) * 1e-4;
        char line[96];
        std::snprintf(line, sizeof line, "7\trs%d\t%.6f\t%lld\n", s, genetic, static_cast<long long>(position));
        text += line;
    }
    return text;
}

std::string frequency_for_threshold(int32_t rows, int32_t threshold) {
    for (const double offset : {0.5, 0.25, 0.75, 0.1, 0.9}) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", (threshold + offset) / rows);
        const auto frequency = static_cast<float>(std::atof(text));
        if (frequency > 0.0f && frequency < 1.0f && carrier_threshold(rows, frequency) == static_cast<float>(threshold)) {
            return text;
        }
    }
    return "";
}

}  // namespace corvane::testing
