// The records of one chromosome through the site rules: each usable SNP a legend row and a site of
// the haplotype table, every other site counted or refused.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "common/run_status.hpp"
#include "common/staged_output.hpp"
#include "input/haplotype_table.hpp"
#include "prepare/cm_source.hpp"
#include "prepare/site_rules.hpp"
#include "prepare/vcf_reader.hpp"
#include "report/work_progress.hpp"

namespace corvane {

// The legend's header: the four columns the scan reads, then the SNP's two alleles as the VCF gives
// them (REF is allele 0 of the panel, ALT allele 1).
inline constexpr const char* legend_header = "chr\tid\tcM\tbp\tref\talt\n";

// A conversion under way: its inputs, its outputs, and what it carries from record to record.
struct record_conversion {
    vcf_reader& reader;
    const std::vector<int>& samples;
    const site_policy& policy;
    cm_source& cm;
    staged_output& legend;
    haplotype_table& table;
    work_progress* progress = nullptr;  // told how far the reading is, when set
    site_counts counts{};
    int32_t* gt_buffer = nullptr;
    int gt_capacity = 0;
    std::vector<uint8_t> alleles{};
    std::vector<uint64_t> site_words{};  // the site packed, when read_plain_phased_words could
    std::string row{};
    double last_cm = -INFINITY;
};

// Reads every record of the chromosome: usable SNPs become a legend row and a table site, other
// sites are counted or refused. A chromosome without a usable SNP is bad_input (reported, with the
// counts of what was skipped); the counts of a conversion are printed once its outputs are written.
run_status convert_records(record_conversion& work);

}  // namespace corvane
