// The common case of a panel site read straight from htslib's GT bytes: every genotype phased 0/1.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <htslib/vcf.h>

namespace corvane {

// Takes the GT alleles of `samples` into `alleles` (as read_phased_alleles does) when the record's GT
// is stored one byte per allele and every kept genotype is diploid, present, phased and 0 or 1: the
// bytes are read in place, with no copy into 32-bit integers. False otherwise (nothing is reported):
// read_phased_alleles then sorts the site out and says what is wrong with it.
bool read_plain_phased_alleles(const bcf_hdr_t* header, bcf1_t* record, std::span<const int> samples,
                               std::vector<uint8_t>& alleles);

}  // namespace corvane
