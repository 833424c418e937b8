// Which VCF sites make a row of the haplotype table, and what happens to the others.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <htslib/vcf.h>

namespace corvane {

// The kinds of site that cannot be a row of a phased 0/1 table. A site falls into the first kind
// that applies, in this order.
enum class bad_site_kind { multiallelic, not_snp, missing, unphased };
constexpr int bad_site_kind_count = 4;
constexpr std::array<bad_site_kind, bad_site_kind_count> all_bad_site_kinds = {
    bad_site_kind::multiallelic, bad_site_kind::not_snp, bad_site_kind::missing, bad_site_kind::unphased};

// The name used on the command line: "multiallelic", "indel", "missing", "unphased".
std::string_view bad_site_option_name(bad_site_kind kind);
// A plural phrase for messages, e.g. "multi-allelic sites".
std::string_view bad_site_description(bad_site_kind kind);

// What to do with each kind: skip the site (and count it) or stop with an error. Skip by default.
// Usable SNPs whose minor allele frequency is below the minimum are skipped too (none by default).
struct site_policy {
    std::array<bool, bad_site_kind_count> refuse{};
    double min_minor_allele_frequency = 0.0;
};

struct site_counts {
    int64_t kept = 0;
    std::array<int64_t, bad_site_kind_count> skipped{};
    int64_t below_min_maf = 0;
    int64_t duplicates = 0;  // further records of a SNP with the same calls, passed over
};

enum class site_verdict { usable, bad, malformed };

struct site_check {
    site_verdict verdict = site_verdict::usable;
    bad_site_kind kind = bad_site_kind::multiallelic;  // when bad
    const char* problem = "";                           // when malformed: what is wrong
    int sample = -1;                                    // when malformed or missing/unphased: header index
};

// Looks at REF and ALT only (the record must be unpacked up to BCF_UN_STR): exactly two alleles,
// each one base A, C, G or T in either case.
site_check check_alleles(const bcf1_t* record);

// True for a record that, beside another such record at the same position, makes the position a
// multi-allelic site: a SNP, or a multi-allelic record (its alleles checked by check_alleles).
bool is_snp_or_multiallelic(const site_check& alleles_check);

// Takes the GT field of the samples `samples` (header indices) into `alleles`, two per sample in the
// order of `samples`, first haplotype first. `gt_buffer`/`gt_capacity` are htslib's reusable buffer.
// A missing call (".", "./.", or one allele missing) or an unphased heterozygote makes the site bad
// (an unphased homozygote has no phase to lose); a record without GT, a genotype that is not diploid
// or an allele index above 1 makes it malformed.
site_check read_phased_alleles(const bcf_hdr_t* header, bcf1_t* record, std::span<const int> samples,
                               int32_t*& gt_buffer, int& gt_capacity, std::vector<uint8_t>& alleles);

// Adds 1 to per_sample[i] for each sample samples[i] whose call at `record` is of `kind`, missing (in
// whole or in part) or unphased (a heterozygote without phase): the calls that have a site skipped
// for that kind. `gt_buffer`/`gt_capacity` are htslib's reusable buffer.
void count_faulty_calls(const bcf_hdr_t* header, bcf1_t* record, std::span<const int> samples, bad_site_kind kind,
                        int32_t*& gt_buffer, int& gt_capacity, std::vector<int64_t>& per_sample);

// True when the minor allele (0 or 1) is carried by fewer than `min_frequency` of `alleles`.
bool below_min_maf(std::span<const uint8_t> alleles, double min_frequency);
// The same for a site of `haplotypes` alleles of which `ones` are 1.
bool below_min_maf(int64_t ones, int64_t haplotypes, double min_frequency);

// One line per kind on standard error, zero counts included, the duplicates when there were any, then
// the sites below the minimum minor allele frequency of `policy` and the count of SNPs kept; each line
// after "PANEL: " when the counts are of the panel of population `panel_name`.
void report_site_counts(const site_counts& counts, const site_policy& policy, const std::string& panel_name);

// The kinds with sites skipped, as "multi-allelic sites skipped: 2; ...", for a message about a
// conversion that kept none.
std::string skipped_counts_text(const site_counts& counts, const site_policy& policy);

}  // namespace corvane
