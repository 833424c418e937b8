// The cM of a site: interpolated on the map, or read from the record's INFO tag.
#include "prepare/cm_source.hpp"

#include <cmath>

#include "common/message.hpp"

namespace corvane {

run_status prepare_cm_tag(const vcf_reader& reader, cm_source& source) {
    const int id = bcf_hdr_id2int(reader.header, BCF_DT_ID, source.tag);
    if (id < 0 || !bcf_hdr_idinfo_exists(reader.header, BCF_HL_INFO, id)) {
        print_message(message_kind::tool, "%s: the header defines no INFO field %s\n", reader.path.c_str(),
                      source.tag);
        return run_status::bad_input;
    }
    source.tag_type = bcf_hdr_id2type(reader.header, BCF_HL_INFO, id);
    if (source.tag_type != BCF_HT_REAL && source.tag_type != BCF_HT_INT) {
        print_message(message_kind::tool, "%s: INFO field %s is not numeric (Type=Float or Integer)\n",
                      reader.path.c_str(), source.tag);
        return run_status::bad_input;
    }
    return run_status::run_ok;
}

run_status site_cm(const vcf_reader& reader, bcf1_t* record, cm_source& source, double& cm) {
    if (source.map != nullptr) {
        cm = genetic_position(*source.map, record->pos + 1);
        if (std::fabs(cm) <= max_genetic_position) return run_status::run_ok;
        // Extrapolated far past the map's end at its rate there.
        print_message(message_kind::place,
                      "%s: the genetic map gives this SNP a cM of %g, beyond 3.40282e+38, the largest genetic position "
                      "corvane reads (single precision); is the map of this chromosome and in cM?\n",
                      record_location(reader, record).c_str(), cm);
        return run_status::bad_input;
    }
    int got = 0;
    if (source.tag_type == BCF_HT_REAL) {
        got = bcf_get_info_float(reader.header, record, source.tag, &source.float_values, &source.capacity);
        if (got == 1) cm = bcf_float_is_missing(source.float_values[0]) ? NAN : source.float_values[0];
    } else {
        got = bcf_get_info_int32(reader.header, record, source.tag, &source.integer_values, &source.capacity);
        if (got == 1) cm = source.integer_values[0] == bcf_int32_missing ? NAN : source.integer_values[0];
    }
    if (got != 1 || !std::isfinite(cm)) {
        print_message(message_kind::place, "%s: INFO field %s does not hold one finite cM value\n",
                      record_location(reader, record).c_str(), source.tag);
        return run_status::bad_input;
    }
    return run_status::run_ok;
}

}  // namespace corvane
