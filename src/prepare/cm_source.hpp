// Where a site's genetic position comes from: a genetic map, or an INFO tag of the VCF record.
#pragma once

#include <cstdint>
#include <cstdlib>

#include <htslib/vcf.h>

#include "common/run_status.hpp"
#include "prepare/genetic_map.hpp"
#include "prepare/vcf_reader.hpp"

namespace corvane {

// A map, or an INFO tag with htslib's buffers for its values.
struct cm_source {
    const genetic_map* map = nullptr;
    const char* tag = nullptr;
    int tag_type = BCF_HT_REAL;
    float* float_values = nullptr;
    int32_t* integer_values = nullptr;
    int capacity = 0;

    cm_source() = default;
    cm_source(const cm_source&) = delete;
    cm_source& operator=(const cm_source&) = delete;
    ~cm_source() {
        std::free(float_values);
        std::free(integer_values);
    }
};

// Checks that the VCF header defines the tag as a numeric INFO field and notes its type; bad_input
// (reported) when it does not.
run_status prepare_cm_tag(const vcf_reader& reader, cm_source& source);

// The cM of `record`. bad_input (reported) when its INFO tag has no single finite number.
run_status site_cm(const vcf_reader& reader, bcf1_t* record, cm_source& source, double& cm);

}  // namespace corvane
