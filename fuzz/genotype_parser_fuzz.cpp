// Fuzz target: the text genotype parser on arbitrary file contents, against a slow model of the format.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/field_split.hpp"
#include "fuzz_support.hpp"
#include "input/genotype_parser.hpp"

namespace corvane::fuzzing {
namespace {

// What reading a file should give: its rows, or the line and the kind of the first fault.
struct expected_parse {
    std::vector<std::vector<int32_t>> rows;
    int64_t fault_line = 0;  // 0: no fault
    std::string fault_kind;  // the message's first words
};

// Any C white space but the line feed, which ends the line.
bool is_separator(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }

std::optional<int32_t> whole_int32(std::string_view token) {
    size_t digits = token[0] == '-' || token[0] == '+' ? 1 : 0;
    if (digits == token.size()) return std::nullopt;
    for (size_t i = digits; i < token.size(); ++i) {
        if (token[i] < '0' || token[i] > '9') return std::nullopt;
    }
    return 0;  // the value is checked separately
}

// The format as the README states it, one line and one token at a time, no speed tricks.
expected_parse model_parse(std::string_view bytes) {
    expected_parse expected;
    if (bytes.empty()) {
        expected.fault_line = 1;
        expected.fault_kind = "empty file";
        return expected;
    }
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < bytes.size();) {
        const size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    field_list first;
    split_line(first, lines[0]);
    const size_t snp_count = first.size();
    for (size_t n = 0; n < lines.size(); ++n) {
        std::string_view line = lines[n];
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto fault = [&](std::string kind) {
            expected.fault_line = static_cast<int64_t>(n + 1);
            expected.fault_kind = std::move(kind);
            return expected;
        };
        if (line.empty()) return fault("empty line");
        std::vector<int32_t> row;
        size_t p = 0;
        while (true) {
            while (p < line.size() && is_separator(line[p])) ++p;
            if (p == line.size()) break;
            const size_t token_start = p;
            while (p < line.size() && !is_separator(line[p])) ++p;
            const std::string token(line.substr(token_start, p - token_start));
            const std::string allele = "allele " + std::to_string(row.size() + 1);
            if (!whole_int32(token)) return fault(allele + " is not an integer");
            // strtoll saturates far outside; anything beyond 32 bits is out of range either way.
            const long long value = std::strtoll(token.c_str(), nullptr, 10);
            if (value < INT32_MIN || value > INT32_MAX) return fault(allele + " is outside");
            row.push_back(static_cast<int32_t>(value));
        }
        if (row.size() != snp_count) return fault("expected");
        expected.rows.push_back(std::move(row));
    }
    return expected;
}

// "PATH:LINE: what" split into line and what.
bool parse_message(const std::string& message, const std::string& path, int64_t& line, std::string& what) {
    if (message.compare(0, path.size() + 1, path + ":") != 0 || message.back() != '\n') return false;
    char* after = nullptr;
    line = std::strtoll(message.c_str() + path.size() + 1, &after, 10);
    if (after[0] != ':' || after[1] != ' ') return false;
    const char* const what_begin = after + 2;
    what = std::string(what_begin, message.c_str() + message.size() - 1);
    return message.find('\n') == message.size() - 1;
}

}  // namespace
}  // namespace corvane::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvane;
    using namespace corvane::fuzzing;
    static const memory_file file = make_memory_file("genotypes");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fill_memory_file(file, bytes);

    int32_t snp_count = -1;
    std::vector<std::vector<int32_t>> rows;
    const auto take_snp_count = [&](int32_t count) {
        if (snp_count != -1 || !rows.empty()) fail("the SNP count was given twice or after a row");
        snp_count = count;
        return run_status::run_ok;
    };
    const auto take_haplotype = [&](std::span<const int32_t> alleles) {
        if (static_cast<int64_t>(alleles.size()) != snp_count) fail("a row does not hold S alleles");
        rows.emplace_back(alleles.begin(), alleles.end());
        return run_status::run_ok;
    };
    begin_capture();
    const run_status status = parse_genotype_text(file.path, take_snp_count, take_haplotype);
    const captured_streams streams = end_capture();

    if (!streams.out.empty()) fail("the parser wrote on standard output");
    if (status == run_status::run_ok && !streams.err.empty()) fail("a successful parse printed a message");
    // Input that starts like gzip is unpacked by the reader (and may be corrupt); the model reads text.
    if (size >= 2 && data[0] == 0x1f && data[1] == 0x8b) {
        const std::string unreadable = "corvane: " + file.path + ": cannot read: ";
        const std::string trailing = "corvane: " + file.path + ": data after the end of the compressed stream\n";
        if (status == run_status::input_unreadable && streams.err.compare(0, unreadable.size(), unreadable) != 0 &&
            streams.err != trailing) {
            fail("a read error without its message: " + streams.err);
        }
        return 0;
    }
    if (status != run_status::run_ok && status != run_status::genotype_malformed) {
        fail("unexpected status " + std::to_string(static_cast<int>(status)));
    }

    const expected_parse expected = model_parse(bytes);
    if (expected.fault_line == 0) {
        if (status != run_status::run_ok) fail("a valid file was refused: " + streams.err);
        if (rows != expected.rows) fail("the rows differ from the model's");
        return 0;
    }
    if (status == run_status::run_ok) fail("a faulty file was accepted (line " + std::to_string(expected.fault_line) + ")");
    if (rows != expected.rows) fail("the rows before the fault differ from the model's");
    int64_t line = 0;
    std::string what;
    if (!parse_message(streams.err, file.path, line, what)) fail("not one PATH:LINE: message: " + streams.err);
    if (line != expected.fault_line || what.compare(0, expected.fault_kind.size(), expected.fault_kind) != 0) {
        fail("expected a fault \"" + expected.fault_kind + "\" on line " + std::to_string(expected.fault_line) +
             ", got: " + streams.err);
    }
    return 0;
}
