// What every reader of genotype files shares: the sinks it hands a file's contents to, and the
// message for a table that does not fit in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "common/run_status.hpp"

namespace corvane {

// Called once, before any row, with the SNP count S.
using snp_count_sink = std::function<run_status(int32_t snp_count)>;
// Called once per haplotype, in file order, with exactly S alleles.
using haplotype_sink = std::function<run_status(std::span<const int32_t> alleles)>;

// Reports that the table being read does not fit in memory: "TOOL: PATH: not enough memory for the
// genotype table (N haplotypes of S SNPs read)" (out_of_memory).
run_status report_out_of_memory(const std::string& path, int64_t haplotypes_read, int64_t snp_count);

}  // namespace corvane
