// The message for a genotype table that does not fit in memory.
#include "input/genotype_reading.hpp"

#include "common/message.hpp"

namespace corvane {

run_status report_out_of_memory(const std::string& path, int64_t haplotypes_read, int64_t snp_count) {
    print_message(message_kind::tool, "%s: not enough memory for the genotype table (%lld haplotypes of %lld SNPs read)\n",
                  path.c_str(), static_cast<long long>(haplotypes_read), static_cast<long long>(snp_count));
    return run_status::out_of_memory;
}

}  // namespace corvane
