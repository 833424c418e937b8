// corvane-vcf-gen: writes a panel (any genotype file corvane reads, 0/1 alleles) and its legend as a
// phased VCF.gz and BCF through htslib, so the converter is timed on files like the ones users have.
//
// Haplotypes 2i and 2i+1 become sample i's genotype; REF A, ALT G; the legend's cM go into INFO/CM
// (convert with --cm-tag CM) and its chromosome, id and bp into CHROM, ID and POS.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <htslib/hts.h>
#include <htslib/vcf.h>

#include "input/fast_genotype_loading.hpp"

namespace {

struct legend_row {
    std::string chromosome, id;
    float cm = 0.0f;
    long long bp = 0;
};

bool read_legend(const char* path, std::vector<legend_row>& rows) {
    std::FILE* in = std::fopen(path, "r");
    if (in == nullptr) return false;
    char line[4096];
    if (std::fgets(line, sizeof line, in) == nullptr) return std::fclose(in), false;  // header
    char chromosome[256], id[256];
    double cm = 0.0;
    long long bp = 0;
    while (std::fgets(line, sizeof line, in) != nullptr) {
        if (std::sscanf(line, "%255s %255s %lf %lld", chromosome, id, &cm, &bp) != 4) return std::fclose(in), false;
        rows.push_back({chromosome, id, static_cast<float>(cm), bp});
    }
    return std::fclose(in) == 0;
}

// Every site of `table` into `path` in `mode` ("wz" VCF.gz, "wb" BCF).
bool write_panel(const corvane::fast_genotype_matrix& table, const std::vector<legend_row>& legend, const char* path,
                 const char* mode, int threads) {
    htsFile* out = hts_open(path, mode);
    if (out == nullptr) return false;
    if (threads > 0) hts_set_threads(out, threads);
    bcf_hdr_t* header = bcf_hdr_init("w");
    const std::string contig = "##contig=<ID=" + legend[0].chromosome + ">";
    bcf_hdr_append(header, contig.c_str());
    bcf_hdr_append(header, "##INFO=<ID=CM,Number=1,Type=Float,Description=\"Genetic position (cM)\">");
    bcf_hdr_append(header, "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">");
    const int32_t samples = table.haplotype_count / 2;
    std::string name;
    for (int32_t i = 0; i < samples; ++i) {
        name = std::to_string(i + 1);
        name.insert(0, 1, 's');
        bcf_hdr_add_sample(header, name.c_str());
    }
    bcf_hdr_add_sample(header, nullptr);
    bool ok = bcf_hdr_write(out, header) == 0;
    bcf1_t* record = bcf_init();
    std::vector<int32_t> genotypes(static_cast<size_t>(2 * samples));
    std::vector<uint64_t> column(static_cast<size_t>(table.haplotype_count));
    const int32_t rid = bcf_hdr_name2id(header, legend[0].chromosome.c_str());
    for (int32_t s = 0; s < table.snp_count && ok; ++s) {
        // One word of every row per 64 sites: the rows are read once, not once per site.
        if (s % 64 == 0) {
            for (int32_t h = 0; h < table.haplotype_count; ++h) column[static_cast<size_t>(h)] = table.bit_row(h)[s / 64];
        }
        for (int32_t h = 0; h < 2 * samples; ++h) {
            const int allele = static_cast<int>((column[static_cast<size_t>(h)] >> (s % 64)) & 1u);
            genotypes[static_cast<size_t>(h)] = h % 2 == 0 ? bcf_gt_unphased(allele) : bcf_gt_phased(allele);
        }
        const legend_row& site = legend[static_cast<size_t>(s)];
        bcf_clear(record);
        record->rid = rid;
        record->pos = site.bp - 1;
        bcf_update_id(header, record, site.id.c_str());
        bcf_update_alleles_str(header, record, "A,G");
        bcf_update_info_float(header, record, "CM", &site.cm, 1);
        bcf_update_genotypes(header, record, genotypes.data(), static_cast<int>(genotypes.size()));
        ok = bcf_write(out, header, record) == 0;
    }
    bcf_destroy(record);
    bcf_hdr_destroy(header);
    return hts_close(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: corvane-vcf-gen GENOTYPES LEGEND OUT.vcf.gz OUT.bcf THREADS   ('-' skips an output)\n");
        return 2;
    }
    corvane::fast_genotype_matrix table;
    if (corvane::load_fast_genotype_matrix(argv[1], table) != corvane::run_status::run_ok ||
        table.kind != corvane::cell_kind::bits || table.haplotype_count < 2) {
        std::fprintf(stderr, "corvane-vcf-gen: %s is not a 0/1 panel of at least two haplotypes\n", argv[1]);
        return 1;
    }
    std::vector<legend_row> legend;
    if (!read_legend(argv[2], legend) || static_cast<int64_t>(legend.size()) < table.snp_count) {
        std::fprintf(stderr, "corvane-vcf-gen: cannot read %s as the panel's legend\n", argv[2]);
        return 1;
    }
    const int threads = std::atoi(argv[5]);
    for (const auto& [path, mode] : {std::pair{argv[3], "wz"}, std::pair{argv[4], "wb"}}) {
        if (std::strcmp(path, "-") == 0) continue;  // that kind not wanted
        if (!write_panel(table, legend, path, mode, threads)) {
            std::fprintf(stderr, "corvane-vcf-gen: cannot write %s\n", path);
            return 1;
        }
    }
    return 0;
}
