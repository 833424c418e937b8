// corvane-panel-gen: writes a deterministic, realistic test panel (genotype file and legend).
//
// Haplotypes are mosaics of a few founder haplotypes: each copies one founder for a stretch whose
// length is drawn log-uniformly (so shared segments come in many lengths), then switches to another
// founder drawn by a skewed popularity, and every copied allele mutates with a small probability.
// Optionally a sweep: a fraction of the haplotypes carries one founder over a long middle stretch.
// Optionally other allele codes: founders over the codes 0..K-1 instead of 0/1 (multi-allelic sites
// coded by allele index), or a share of cells set to one code (a missing-data code such as 9 or -1)
// drawn from a random stream of their own, so the panel is otherwise the one without them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// splitmix64: small, fast and the same on every machine.
struct random_source {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

struct panel_options {
    int32_t haplotypes = 600;
    int32_t snps = 25000;
    uint64_t seed = 1;
    int32_t founders = 24;
    double mutation = 0.002;
    double sweep_fraction = 0.0;  // share of haplotypes carrying the sweep haplotype
    double sweep_length = 0.05;   // share of the SNPs the sweep spans, centred
    int32_t codes = 2;            // founder alleles 0..codes-1
    int32_t other_code = 9;       // the code set in `other_share` of the cells
    double other_share = 0.0;
    std::string genotype_path;
    std::string legend_path;
    bool bit_panel = false;  // write the genotypes as a bit panel instead of text (0/1 panels only)
};

void usage() {
    std::fprintf(stderr,
                 "usage: corvane-panel-gen -haplotypes H -snps S (-out-hap FILE | -out-bits FILE) -out-legend FILE\n"
                 "       [-seed N] [-founders K] [-mutation P] [-sweep FRACTION] [-sweep-length FRACTION]\n"
                 "       [-codes K] [-other-code CODE -other-share FRACTION]\n");
    std::exit(2);
}

panel_options parse_options(int argc, char** argv) {
    panel_options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "-haplotypes") options.haplotypes = std::atoi(value);
        else if (name == "-snps") options.snps = std::atoi(value);
        else if (name == "-seed") options.seed = std::strtoull(value, nullptr, 10);
        else if (name == "-founders") options.founders = std::atoi(value);
        else if (name == "-mutation") options.mutation = std::atof(value);
        else if (name == "-sweep") options.sweep_fraction = std::atof(value);
        else if (name == "-sweep-length") options.sweep_length = std::atof(value);
        else if (name == "-codes") options.codes = std::atoi(value);
        else if (name == "-other-code") options.other_code = std::atoi(value);
        else if (name == "-other-share") options.other_share = std::atof(value);
        else if (name == "-out-hap") options.genotype_path = value;
        else if (name == "-out-bits") options.genotype_path = value, options.bit_panel = true;
        else if (name == "-out-legend") options.legend_path = value;
        else usage();
    }
    if (argc % 2 != 1 || options.haplotypes < 1 || options.snps < 1 || options.founders < 2 || options.codes < 2 ||
        options.codes > 10 || (options.bit_panel && (options.codes != 2 || options.other_share > 0.0)) ||
        options.genotype_path.empty() || options.legend_path.empty()) {
        usage();
    }
    return options;
}

// Founder haplotypes over all SNPs; the derived allele of each SNP has its own frequency, skewed
// towards rare variants as in real panels.
// With more than two codes, a derived allele is one of the codes 1..K-1.
std::vector<std::vector<uint8_t>> make_founders(const panel_options& options, random_source& random) {
    std::vector<std::vector<uint8_t>> founders(static_cast<size_t>(options.founders),
                                               std::vector<uint8_t>(static_cast<size_t>(options.snps)));
    for (int32_t s = 0; s < options.snps; ++s) {
        const double u = random.uniform();
        const double frequency = 0.02 + 0.96 * u * u;
        for (auto& founder : founders) {
            uint8_t allele = random.uniform() < frequency ? 1 : 0;
            if (allele == 1 && options.codes > 2) allele = static_cast<uint8_t>(1 + random.next() % static_cast<uint64_t>(options.codes - 1));
            founder[static_cast<size_t>(s)] = allele;
        }
    }
    return founders;
}

// Popularity of founder k falls off as 1 / (k + 1): a few common haplotypes, many rare ones.
int32_t pick_founder(const std::vector<double>& cumulative, random_source& random) {
    const double target = random.uniform() * cumulative.back();
    int32_t k = 0;
    while (k + 1 < static_cast<int32_t>(cumulative.size()) && cumulative[static_cast<size_t>(k)] < target) ++k;
    return k;
}

bool write_legend(const panel_options& options, random_source& random) {
    std::FILE* out = std::fopen(options.legend_path.c_str(), "w");
    if (out == nullptr) return false;
    std::fprintf(out, "chr\tid\tcM\tbp\n");
    int64_t position = 100000;
    double genetic = 0.0;
    for (int32_t s = 0; s < options.snps; ++s) {
        const int64_t step = 20 + static_cast<int64_t>(random.uniform() * 300.0);
        position += step;
        genetic += static_cast<double>(step) * 1.2e-6 * (0.2 + 1.6 * random.uniform());
        std::fprintf(out, "20\tsnp%d\t%.6f\t%lld\n", s + 1, genetic, static_cast<long long>(position));
    }
    return std::fclose(out) == 0;
}

bool write_genotypes(const panel_options& options, const std::vector<std::vector<uint8_t>>& founders,
                     random_source& random) {
    std::FILE* out = std::fopen(options.genotype_path.c_str(), "w");
    if (out == nullptr) return false;
    std::vector<double> cumulative;
    double total = 0.0;
    for (int32_t k = 0; k < options.founders; ++k) cumulative.push_back(total += 1.0 / (k + 1));

    const int32_t sweep_snps = static_cast<int32_t>(options.sweep_length * options.snps);
    const int32_t sweep_start = (options.snps - sweep_snps) / 2;
    const int32_t sweep_carriers = static_cast<int32_t>(options.sweep_fraction * options.haplotypes);
    const double log_shortest = std::log(10.0), log_longest = std::log(5000.0);
    random_source other_cells{options.seed ^ 0x5bd1e995u};
    const std::string other_code = std::to_string(options.other_code);

    std::string line;
    // A bit panel (the layout corvane reads, written out by hand here): header, then packed rows.
    const size_t row_words = (static_cast<size_t>(options.snps) + 63) / 64;
    std::vector<uint64_t> row(row_words);
    if (options.bit_panel) {
        unsigned char header[32] = {0x89, 'C', 'V', 'B', '\r', '\n', 0x1a, '\n', 1};
        for (int i = 0; i < 8; ++i) {
            header[16 + i] = static_cast<unsigned char>(static_cast<uint64_t>(options.haplotypes) >> (8 * i));
            header[24 + i] = static_cast<unsigned char>(static_cast<uint64_t>(options.snps) >> (8 * i));
        }
        if (std::fwrite(header, 1, sizeof header, out) != sizeof header) return std::fclose(out), false;
    }
    for (int32_t h = 0; h < options.haplotypes; ++h) {
        int32_t founder = pick_founder(cumulative, random);
        int32_t stretch_left = 0;
        // Sweep carriers are spread over the file, not bunched at its start.
        const bool carries_sweep =
            sweep_carriers > 0 && (static_cast<int64_t>(h) * sweep_carriers) % options.haplotypes < sweep_carriers;
        line.clear();
        for (int32_t s = 0; s < options.snps; ++s) {
            if (stretch_left-- <= 0) {
                founder = pick_founder(cumulative, random);
                stretch_left = static_cast<int32_t>(std::exp(log_shortest + (log_longest - log_shortest) * random.uniform()));
            }
            const bool in_sweep = carries_sweep && s >= sweep_start && s < sweep_start + sweep_snps;
            uint8_t allele = founders[static_cast<size_t>(in_sweep ? 0 : founder)][static_cast<size_t>(s)];
            if (random.uniform() < options.mutation) allele ^= 1;
            if (options.other_share > 0.0 && other_cells.uniform() < options.other_share) line += other_code;
            else line += static_cast<char>('0' + allele);
            line += s + 1 < options.snps ? '\t' : '\n';
        }
        const void* bytes = line.data();
        size_t size = line.size();
        if (options.bit_panel) {
            std::fill(row.begin(), row.end(), uint64_t{0});
            for (size_t s = 0; s < static_cast<size_t>(options.snps); ++s) {
                row[s / 64] |= static_cast<uint64_t>(line[2 * s] - '0') << (s % 64);
            }
            bytes = row.data();  // little-endian words on the machines this runs on
            size = row_words * 8;
        }
        if (std::fwrite(bytes, 1, size, out) != size) {
            std::fclose(out);
            return false;
        }
    }
    return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const panel_options options = parse_options(argc, argv);
    random_source random{options.seed};
    const auto founders = make_founders(options, random);
    if (!write_legend(options, random)) {
        std::fprintf(stderr, "corvane-panel-gen: cannot write %s\n", options.legend_path.c_str());
        return 1;
    }
    if (!write_genotypes(options, founders, random)) {
        std::fprintf(stderr, "corvane-panel-gen: cannot write %s\n", options.genotype_path.c_str());
        return 1;
    }
    return 0;
}
