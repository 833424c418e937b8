// The samples behind the sites a site rule dropped: per sample counts for the run's log, and the
// message naming the few with most such calls when a rule dropped more than a small share of sites.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <htslib/vcf.h>

#include "prepare/chromosome_conversion.hpp"
#include "prepare/record_conversion.hpp"
#include "prepare/site_rules.hpp"

namespace corvane {

// One sample's calls that had sites of its panel skipped: missing calls at the sites skipped for a
// missing genotype, unphased heterozygotes at those skipped for an unphased genotype.
struct sample_faulty_calls {
    std::string sample;
    int64_t missing = 0;
    int64_t unphased = 0;
};

// Every sample of the panel `target` in panel order, with its calls of `panel`.
std::vector<sample_faulty_calls> faulty_calls_by_sample(const bcf_hdr_t* header, const panel_target& target,
                                                        const panel_result& panel);

// The share of a panel's sites above which a rule's drop is told with the samples behind it.
constexpr double notable_drop_share = 0.01;

// For the missing and for the unphased rule: when it dropped more than notable_drop_share of the
// panel's sites, says how many and names the (at most five) samples with most such calls, with their
// counts, and how to leave samples out: a list for --samples, or, for a population of
// `populations_path`, that file without them.
void report_samples_behind_drops(const bcf_hdr_t* header, const panel_target& target, const panel_result& panel,
                                 const std::string& populations_path);

}  // namespace corvane
