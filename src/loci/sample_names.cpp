// Reads a sample list through the shared line reader.
#include "loci/sample_names.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "common/line_reader.hpp"
#include "common/message.hpp"

namespace corvane {

run_status read_sample_names(const std::string& path, std::vector<std::string>& names) {
    line_reader reader;
    if (!open_line_reader(reader, path)) {
        print_message(message_kind::tool, "%s: cannot open: %s\n", path.c_str(), std::strerror(errno));
        return run_status::input_unreadable;
    }
    std::string_view line;
    line_result got = line_result::line;
    std::unordered_map<std::string, int64_t> line_of;  // each id and the line it is first on
    while ((got = read_line(reader, line)) == line_result::line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const long long line_number = static_cast<long long>(reader.line_number);
        if (line.empty()) {
            print_message(message_kind::place, "%s:%lld: empty line\n", path.c_str(), line_number);
            return run_status::bad_input;
        }
        const auto [first, added] = line_of.emplace(std::string(line), reader.line_number);
        if (!added) {
            // Two haplotype pairs under one id would make its carriers ambiguous.
            print_message(message_kind::place, "%s:%lld: sample \"%s\" is listed again (first on line %lld)\n",
                          path.c_str(), line_number, first->first.c_str(), static_cast<long long>(first->second));
            return run_status::bad_input;
        }
        names.emplace_back(line);
    }
    return got == line_result::read_error ? run_status::input_unreadable : run_status::run_ok;
}

}  // namespace corvane
