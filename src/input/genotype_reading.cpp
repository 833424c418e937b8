// The message for a genotype table that does not fit in memory.
#include "input/genotype_reading.hpp"

#include "common/counted.hpp"
#include "common/message.hpp"

namespace corvane {

run_status report_out_of_memory(const std::string& path, int64_t haplotypes_read, int64_t snp_count) {
    print_message(message_kind::tool, "%s: not enough memory for the genotype table (%s of %s read)\n", path.c_str(),
                  counted(haplotypes_read, "haplotype", "haplotypes").c_str(), counted(snp_count, "SNP", "SNPs").c_str());
    return run_status::out_of_memory;
}

}  // namespace corvane
