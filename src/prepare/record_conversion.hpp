// The records of a chromosome, or of one range of its positions, through the site rules: each usable
// SNP a legend row and a site of the haplotype table of every panel made, every other site counted or
// refused, per panel.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/message.hpp"
#include "common/run_status.hpp"
#include "input/haplotype_table.hpp"
#include "prepare/cm_source.hpp"
#include "prepare/panel_gather.hpp"
#include "prepare/site_rules.hpp"
#include "prepare/vcf_reader.hpp"
#include "report/work_progress.hpp"

namespace corvane {

// The legend's header: the four columns the scan reads, then the SNP's two alleles as the VCF gives
// them (REF is allele 0 of the panel, ALT allele 1).
inline constexpr const char* legend_header = "chr\tid\tcM\tbp\tref\talt\n";

// One panel a run makes: the samples it keeps (header indices, increasing). Its name is its
// population's; empty for the one panel of a run without populations.
struct panel_target {
    std::string name;
    std::vector<int> samples;
};

// What a stretch of records gives one panel: its sites and legend rows in order, and its counts.
struct panel_part {
    haplotype_table table;
    std::string legend;
    site_counts counts{};
    // Per sample of the panel: the missing or unphased calls at the sites skipped for them.
    std::vector<int64_t> missing_calls;
    std::vector<int64_t> unphased_calls;
    double last_cm = -INFINITY;  // of the last SNP kept
};

// The first SNP a panel keeps in a range: its cM must not be below that of the panel's last SNP of
// the ranges before, which only the merge knows. Noted with what one reader of the whole chromosome
// would have printed by then, had the check failed there.
struct range_start {
    size_t panel = 0;
    double cm = 0.0;
    std::string location;  // "PATH: CHR:POS"
    size_t messages = 0;   // the range's messages before it
};

// A conversion of a stretch of records under way: its inputs, what it gives each panel, and what it
// carries from record to record.
struct record_conversion {
    vcf_reader& reader;
    const std::vector<panel_target>& targets;
    const site_policy& policy;
    cm_source& cm;
    work_progress* progress = nullptr;  // told how far the reading is, when set
    std::vector<panel_part> parts{};  // one per target
    // Set for a range read beside others: its messages are kept here, and the first SNP of each panel
    // is noted in `starts`.
    const std::vector<captured_message>* messages = nullptr;
    std::vector<range_start> starts{};
    // Called for a panel whose legend rows grew long, between two blocks of its sites, to take its
    // rows and sites out (legend and table); none keeps them all.
    std::function<run_status(size_t panel, panel_part& part)> drain{};
    int32_t* gt_buffer = nullptr;
    int gt_capacity = 0;
    std::vector<uint8_t> alleles{};
    std::vector<uint64_t> site_words{};  // the site packed, when read_plain_phased_words could
    std::string row{};
    // Several panels: each site's genotypes are packed once for every sample, and each panel gathers
    // its own bits from them.
    std::vector<int> every_sample{};
    std::vector<panel_gather> gathers{};
    std::vector<uint64_t> every_words{};
};

// The progress line of a reading at `position` of `chromosome`: the SNPs kept by a run of one panel,
// the records read by a run of several. `kept` is the first panel's.
std::string reading_progress_text(const std::string& path, const std::string& chromosome, int64_t position,
                                  size_t panels, int64_t kept, int64_t records);

// Makes one empty part per target in `work` (and, for several, their gathers).
void start_parts(record_conversion& work);

// Reads every record the reader gives: usable SNPs become a legend row and a table site of each panel
// whose rules they pass, other sites are counted or refused. Stops at the first fault (reported).
run_status convert_records(record_conversion& work);

// "PATH: CHR:POS: cM C is below the L of the SNP before; ..."
void report_decreasing_cm(const std::string& location, double cm, double last_cm);

}  // namespace corvane
