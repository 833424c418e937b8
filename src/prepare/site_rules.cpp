// Sorts VCF sites into usable biallelic phased SNPs and the kinds that are skipped or refused.
#include "prepare/site_rules.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/message.hpp"

namespace corvane {

namespace {

bool is_single_base(const char* allele) {
    if (allele == nullptr || allele[0] == '\0' || allele[1] != '\0') return false;
    switch (allele[0]) {
        case 'A': case 'C': case 'G': case 'T':
        case 'a': case 'c': case 'g': case 't': return true;
        default: return false;
    }
}

site_check bad(bad_site_kind kind, int sample = -1) {
    site_check check;
    check.verdict = site_verdict::bad;
    check.kind = kind;
    check.sample = sample;
    return check;
}

site_check malformed(const char* problem, int sample = -1) {
    site_check check;
    check.verdict = site_verdict::malformed;
    check.problem = problem;
    check.sample = sample;
    return check;
}

}  // namespace

std::string_view bad_site_option_name(bad_site_kind kind) {
    switch (kind) {
        case bad_site_kind::multiallelic: return "multiallelic";
        case bad_site_kind::not_snp: return "indel";
        case bad_site_kind::missing: return "missing";
        case bad_site_kind::unphased: return "unphased";
    }
    return "";
}

std::string_view bad_site_description(bad_site_kind kind) {
    switch (kind) {
        case bad_site_kind::multiallelic: return "multi-allelic sites";
        case bad_site_kind::not_snp: return "indels and other sites that are not SNPs";
        case bad_site_kind::missing: return "sites with a missing genotype";
        case bad_site_kind::unphased: return "sites with an unphased genotype";
    }
    return "";
}

site_check check_alleles(const bcf1_t* record) {
    if (record->n_allele > 2) return bad(bad_site_kind::multiallelic);
    // A site without ALT (or with a symbolic, starred or longer allele) is no SNP either.
    if (record->n_allele < 2) return bad(bad_site_kind::not_snp);
    if (!is_single_base(record->d.allele[0]) || !is_single_base(record->d.allele[1])) {
        return bad(bad_site_kind::not_snp);
    }
    return site_check{};
}

bool is_snp_or_multiallelic(const site_check& alleles_check) {
    return alleles_check.verdict == site_verdict::usable ||
           (alleles_check.verdict == site_verdict::bad && alleles_check.kind == bad_site_kind::multiallelic);
}

site_check read_phased_alleles(const bcf_hdr_t* header, bcf1_t* record, std::span<const int> samples,
                               int32_t*& gt_buffer, int& gt_capacity, std::vector<uint8_t>& alleles) {
    constexpr const char* not_diploid = "has a genotype that is not diploid (a phased panel needs two haplotypes per sample)";
    const int sample_count = bcf_hdr_nsamples(header);
    const int values = bcf_get_genotypes(header, record, &gt_buffer, &gt_capacity);
    if (values <= 0) return malformed("has no GT field");
    if (values % sample_count != 0) return malformed(not_diploid);
    // A record whose calls are all "." has one value per sample; shorter genotypes are padded.
    const int ploidy = values / sample_count;
    alleles.resize(2 * samples.size());
    int unphased_sample = -1;
    for (size_t i = 0; i < samples.size(); ++i) {
        const int sample = samples[i];
        const int32_t* genotype = gt_buffer + static_cast<ptrdiff_t>(ploidy) * sample;
        int present = 0;
        bool all_missing = true;
        while (present < ploidy && genotype[present] != bcf_int32_vector_end) {
            all_missing &= bcf_gt_is_missing(genotype[present]) != 0;
            ++present;
        }
        if (present > 0 && all_missing) return bad(bad_site_kind::missing, sample);
        if (present != 2) return malformed(not_diploid, sample);
        const int32_t first = genotype[0];
        const int32_t second = genotype[1];
        if (bcf_gt_is_missing(first) || bcf_gt_is_missing(second)) return bad(bad_site_kind::missing, sample);
        const int first_allele = bcf_gt_allele(first);
        const int second_allele = bcf_gt_allele(second);
        if (first_allele > 1 || second_allele > 1) return malformed("has a GT allele index above 1", sample);
        // Only the second allele carries the phase of a diploid genotype; a homozygote has none to lose.
        if (!bcf_gt_is_phased(second) && first_allele != second_allele && unphased_sample < 0) unphased_sample = sample;
        alleles[2 * i] = static_cast<uint8_t>(first_allele);
        alleles[2 * i + 1] = static_cast<uint8_t>(second_allele);
    }
    if (unphased_sample >= 0) return bad(bad_site_kind::unphased, unphased_sample);
    return site_check{};
}

void count_faulty_calls(const bcf_hdr_t* header, bcf1_t* record, std::span<const int> samples, bad_site_kind kind,
                        int32_t*& gt_buffer, int& gt_capacity, std::vector<int64_t>& per_sample) {
    const int sample_count = bcf_hdr_nsamples(header);
    const int values = bcf_get_genotypes(header, record, &gt_buffer, &gt_capacity);
    if (values <= 0 || sample_count == 0 || values % sample_count != 0) return;
    const int ploidy = values / sample_count;
    for (size_t i = 0; i < samples.size(); ++i) {
        const int32_t* genotype = gt_buffer + static_cast<ptrdiff_t>(ploidy) * samples[i];
        int present = 0;
        bool missing = false;
        while (present < ploidy && genotype[present] != bcf_int32_vector_end) {
            missing |= bcf_gt_is_missing(genotype[present]) != 0;
            ++present;
        }
        const bool unphased = !missing && present == 2 && !bcf_gt_is_phased(genotype[1]) &&
                              bcf_gt_allele(genotype[0]) != bcf_gt_allele(genotype[1]);
        if (kind == bad_site_kind::missing ? missing : kind == bad_site_kind::unphased && unphased) ++per_sample[i];
    }
}

bool below_min_maf(std::span<const uint8_t> alleles, double min_frequency) {
    int64_t ones = 0;
    for (const uint8_t allele : alleles) ones += allele;
    return below_min_maf(ones, static_cast<int64_t>(alleles.size()), min_frequency);
}

bool below_min_maf(int64_t ones, int64_t haplotypes, double min_frequency) {
    const int64_t minor = std::min<int64_t>(ones, haplotypes - ones);
    return static_cast<double>(minor) < min_frequency * static_cast<double>(haplotypes);
}

namespace {

std::string below_min_maf_description(const site_policy& policy) {
    char text[96];
    std::snprintf(text, sizeof text, "sites with a minor allele frequency below %g", policy.min_minor_allele_frequency);
    return text;
}

}  // namespace

void report_site_counts(const site_counts& counts, const site_policy& policy, const std::string& panel_name) {
    const std::string panel = panel_name.empty() ? "" : panel_name + ": ";
    for (const bad_site_kind kind : all_bad_site_kinds) {
        const std::string_view what = bad_site_description(kind);
        print_message(message_kind::note, "%s%.*s skipped: %lld\n", panel.c_str(), static_cast<int>(what.size()),
                      what.data(), static_cast<long long>(counts.skipped[static_cast<int>(kind)]));
    }
    if (counts.duplicates > 0) {
        print_message(message_kind::note, "%sduplicate records of a SNP (same position, alleles and genotypes) read as "
                      "one: %lld\n", panel.c_str(), static_cast<long long>(counts.duplicates));
    }
    print_message(message_kind::note, "%s%s skipped: %lld\n", panel.c_str(), below_min_maf_description(policy).c_str(),
                  static_cast<long long>(counts.below_min_maf));
    print_message(message_kind::note, "%sbiallelic phased SNPs kept: %lld\n", panel.c_str(),
                  static_cast<long long>(counts.kept));
}

std::string skipped_counts_text(const site_counts& counts, const site_policy& policy) {
    std::string text;
    const auto add = [&](std::string_view what, int64_t count) {
        if (count == 0) return;
        if (!text.empty()) text += "; ";
        text += what;
        text += " skipped: " + std::to_string(count);
    };
    for (const bad_site_kind kind : all_bad_site_kinds) add(bad_site_description(kind), counts.skipped[static_cast<int>(kind)]);
    add(below_min_maf_description(policy), counts.below_min_maf);
    return text;
}

}  // namespace corvane
