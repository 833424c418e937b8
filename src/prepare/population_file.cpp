// Reads a population file and finds its samples in the VCF header.
#include "prepare/population_file.hpp"

#include <algorithm>
#include <string_view>

#include "common/message.hpp"
#include "common/word_split.hpp"
#include "prepare/text_input.hpp"

namespace corvane {

namespace {

// Letters, digits, ".", "_" and "-", not starting with "." (a hidden file, or "." and ".."): what
// PREFIX.POP.hapbits may hold on every file system.
bool is_file_name_part(std::string_view name) {
    if (name.empty() || name.front() == '.') return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
               c == '-';
    });
}

run_status line_fault(const std::string& path, int64_t line, const std::string& what) {
    print_message(message_kind::place, "%s:%lld: %s\n", path.c_str(), static_cast<long long>(line), what.c_str());
    return run_status::bad_input;
}

}  // namespace

run_status read_populations(const std::string& path, const std::string& vcf_path, const bcf_hdr_t* header,
                            std::vector<panel_target>& targets, int64_t& left_out) {
    targets.clear();
    line_reader reader;
    if (open_text_input(reader, path, "population file") != run_status::run_ok) return run_status::bad_input;
    // The line each header sample was listed on, 0 when it was not listed.
    std::vector<int64_t> listed_on(static_cast<size_t>(bcf_hdr_nsamples(header)), 0);
    std::vector<std::string_view> words;
    std::string id;
    bool first_line = true;
    std::string_view line;
    for (;;) {
        const line_result result = read_line(reader, line);
        if (result == line_result::read_error) return run_status::bad_input;
        if (result == line_result::end_of_file) break;
        split_words(line, words);
        if (words.empty()) continue;
        const bool may_be_header = first_line;
        first_line = false;
        if (words.size() < 2) {
            return line_fault(path, reader.line_number,
                              "expected a sample id and its population, found only \"" + std::string(words[0]) + "\"");
        }
        id.assign(words[0]);
        const int index = bcf_hdr_id2int(header, BCF_DT_SAMPLE, id.c_str());
        if (index < 0 && may_be_header) continue;
        if (index < 0) return line_fault(path, reader.line_number, "sample \"" + id + "\" is not in " + vcf_path);
        int64_t& seen = listed_on[static_cast<size_t>(index)];
        if (seen != 0) {
            return line_fault(path, reader.line_number,
                              "sample \"" + id + "\" is listed again (first on line " + std::to_string(seen) + ")");
        }
        seen = reader.line_number;
        const std::string_view population = words[1];
        if (!is_file_name_part(population)) {
            return line_fault(path, reader.line_number,
                              "population \"" + std::string(population) + "\" cannot be part of a file name (PREFIX." +
                                  std::string(population) + ".hapbits): use letters, digits, \".\", \"_\" and \"-\", "
                                  "not starting with \".\"");
        }
        auto target = std::find_if(targets.begin(), targets.end(),
                                   [&](const panel_target& each) { return each.name == population; });
        if (target == targets.end()) target = targets.insert(targets.end(), panel_target{std::string(population), {}});
        target->samples.push_back(index);
    }
    if (targets.empty()) {
        print_message(message_kind::tool, "population file %s names no sample of %s\n", path.c_str(), vcf_path.c_str());
        return run_status::bad_input;
    }
    for (panel_target& target : targets) std::sort(target.samples.begin(), target.samples.end());
    left_out = std::count(listed_on.begin(), listed_on.end(), 0);
    return run_status::run_ok;
}

}  // namespace corvane
