// Writes bit panel files: the whole site-major table of a conversion at once, or a header and then
// one haplotype row after another.
#pragma once

#include <cstdint>

#include "common/run_status.hpp"
#include "common/staged_output.hpp"
#include "input/haplotype_table.hpp"

namespace corvane {

// Writes `table` as a bit panel (header, then one row per haplotype) into the plain output, turning
// it on its side 64 x 64 bits at a time; with `threads` above 1, groups of 512 haplotypes are turned
// by that many threads while the calling thread writes the groups turned, in order (each thread's
// group takes 64 x 8 bytes per SNP). out_of_memory or output_failed, reported, when memory runs out
// or a write fails.
run_status write_bit_panel(const haplotype_table& table, staged_output& output, int threads = 0);

// The header of a panel of `haplotype_count` x `snp_count`: written first, and written again over
// the first one (rewrite_staged_start) once the haplotypes are counted.
run_status write_bit_panel_header(staged_output& output, int64_t haplotype_count, int64_t snp_count);

// Haplotype rows, each its words_for_bits(S) words with the bits after SNP S zero, one after another.
run_status write_bit_panel_rows(staged_output& output, const uint64_t* words, size_t word_count);

}  // namespace corvane
