// Reads a sample list file and finds its ids in the VCF header.
#include "prepare/sample_list.hpp"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "common/message.hpp"
#include "prepare/text_input.hpp"


namespace corvane {

std::vector<int> all_samples(const bcf_hdr_t* header) {
    std::vector<int> samples(static_cast<size_t>(bcf_hdr_nsamples(header)));
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int>(i);
    return samples;
}

run_status read_sample_list(const std::string& path, const std::string& vcf_path, const bcf_hdr_t* header,
                      std::vector<int>& samples) {
    samples.clear();
    line_reader reader;
    if (open_text_input(reader, path, "sample list") != run_status::run_ok) return run_status::bad_input;
    // The line each header sample was listed on, 0 when it was not listed.
    std::vector<int64_t> listed_on(static_cast<size_t>(bcf_hdr_nsamples(header)), 0);
    std::string id;
    std::string_view line;
    for (;;) {
        const line_result result = read_line(reader, line);
        if (result == line_result::read_error) return run_status::bad_input;
        if (result == line_result::end_of_file) break;
        // Only the line end is taken off: blanks at either end of an id are part of it, as they may
        // be in a VCF header.
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty()) continue;
        id.assign(line);
        const int index = bcf_hdr_id2int(header, BCF_DT_SAMPLE, id.c_str());
        const long long line_number = static_cast<long long>(reader.line_number);
        if (index < 0) {
            const bool padded = std::string_view(" \t").find(id.front()) != std::string_view::npos ||
                                std::string_view(" \t").find(id.back()) != std::string_view::npos;
            print_message(message_kind::place, "%s:%lld: sample \"%s\" is not in %s%s\n", path.c_str(), line_number,
                          id.c_str(), vcf_path.c_str(),
                          padded ? " (blanks and tabs are part of an id: only the line end is taken off)" : "");
            return run_status::bad_input;
        }
        int64_t& seen = listed_on[static_cast<size_t>(index)];
        if (seen != 0) {
            print_message(message_kind::place, "%s:%lld: sample \"%s\" is listed again (first on line %lld)\n", path.c_str(),
                          line_number, id.c_str(), static_cast<long long>(seen));
            return run_status::bad_input;
        }
        seen = reader.line_number;
        samples.push_back(index);
    }
    if (samples.empty()) {
        print_message(message_kind::tool, "sample list %s names no sample\n", path.c_str());
        return run_status::bad_input;
    }
    std::sort(samples.begin(), samples.end());
    return run_status::run_ok;
}

}  // namespace corvane
