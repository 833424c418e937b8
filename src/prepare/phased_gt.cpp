// Reads phased 0/1 genotypes from the GT field's bytes in place.
#include "prepare/phased_gt.hpp"

namespace corvane {

bool read_plain_phased_alleles(const bcf_hdr_t* header, bcf1_t* record, std::span<const int> samples,
                               std::vector<uint8_t>& alleles) {
    if (bcf_unpack(record, BCF_UN_FMT) != 0) return false;
    const bcf_fmt_t* gt = bcf_get_fmt(header, record, "GT");
    if (gt == nullptr || gt->type != BCF_BT_INT8 || gt->n != 2 || gt->p == nullptr) return false;
    // A GT byte is (allele + 1) << 1 | phased. A first allele 0 or 1, either phase bit: 2 to 5; a
    // second allele 0 or 1 with the phase bit: 3 or 5. Anything else (missing, vector end, allele 2,
    // unphased) goes the long way.
    const uint8_t* bytes = gt->p;
    alleles.resize(2 * samples.size());
    unsigned bad = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const size_t sample = static_cast<size_t>(samples[i]);
        const uint8_t first = bytes[2 * sample], second = bytes[2 * sample + 1];
        bad |= static_cast<unsigned>(static_cast<uint8_t>(first - 2) > 3);
        bad |= static_cast<unsigned>(second != 3 && second != 5);
        alleles[2 * i] = static_cast<uint8_t>(first >> 2 & 1);
        alleles[2 * i + 1] = static_cast<uint8_t>(second >> 2 & 1);
    }
    return bad == 0;
}

}  // namespace corvane
