// Fuzz target: the field splitter on arbitrary bytes, checked against what a split must keep.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/field_split.hpp"
#include "fuzz_support.hpp"

namespace corvane::fuzzing {
namespace {

void check_split(std::string_view line, char delimiter, const field_list& fields) {
    if (fields.empty()) fail("a split gave no field at all");
    size_t kept = 0;
    for (const std::string& field : fields) {
        kept += field.size();
        if (field.find('\0') != std::string::npos) fail("a field holds a NUL byte");
    }
    if (kept > line.size()) fail("the fields hold more bytes than the line");
    // Without quotes, line ends or NUL bytes, splitting is exactly undone by joining.
    if (line.find_first_of(std::string_view("\"\r\n\0", 4)) == std::string_view::npos) {
        std::string joined;
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) joined.push_back(delimiter);
            joined += fields[i];
        }
        if (joined != line) fail("joining the fields does not give back the line");
    }
}

}  // namespace
}  // namespace corvane::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvane;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    field_list by_tab, by_blank, split;
    _csvline_populate(by_tab, line, '\t');
    fuzzing::check_split(line, '\t', by_tab);
    _csvline_populate(by_blank, line, ' ');
    fuzzing::check_split(line, ' ', by_blank);
    split_line(split, line);
    if (split != (by_tab.size() == 1 ? by_blank : by_tab)) fuzzing::fail("split_line is not tab-then-blank");
    return 0;
}
