// Checks a genotype file line by line and hands each haplotype's alleles to the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "common/run_status.hpp"

namespace corvane {

// Called once, before any row, with the SNP count S taken from the first line.
using snp_count_sink = std::function<run_status(int32_t snp_count)>;
// Called once per haplotype, in file order, with exactly S alleles.
using haplotype_sink = std::function<run_status(std::span<const int32_t> alleles)>;

// Reads the whole file. Every line must hold S whole integers in the signed 32-bit range, separated
// by any C white space (blank, tab, vertical tab, form feed, CR); S is the field count of the first
// line as `split_line` counts it (tabs, or single blanks). Any other content is reported once, as "PATH:LINE: what", on
// standard error. A file that cannot be opened returns genotype_missing without a message.
// A bit panel (told apart by its first byte) is read instead, its rows unpacked to 0 and 1.
run_status parse_genotype_file(const std::string& path, const snp_count_sink& on_snp_count,
                               const haplotype_sink& on_haplotype);

}  // namespace corvane
