// The common case of a panel site read straight from htslib's GT bytes: every genotype phased 0/1.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <htslib/vcf.h>

namespace corvane {

// Packs the GT alleles of `samples` (two per sample, first haplotype first) into `words`, haplotype
// h at bit h % 64 of word h / 64, when the record's GT is stored one byte per allele and every kept
// genotype is diploid, present, phased and 0 or 1: the bytes are read in place, with no copy into
// 32-bit integers, 16 at a time when every sample is kept. False otherwise (nothing is reported):
// read_phased_alleles then sorts the site out and says what is wrong with it.
bool read_plain_phased_words(const bcf_hdr_t* header, bcf1_t* record, std::span<const int> samples,
                             std::vector<uint64_t>& words);

}  // namespace corvane
