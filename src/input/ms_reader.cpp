// The ms format line by line: command line, replicate markers, segsites, positions, haplotypes.
#include "input/ms_reader.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/message.hpp"
#include "common/word_split.hpp"
#include "input/bit_words.hpp"

namespace corvane {

namespace {

run_status fault(const ms_reader& reader, int64_t line, const std::string& what) {
    print_message(message_kind::place, "%s:%lld: %s\n", reader.path.c_str(), static_cast<long long>(line), what.c_str());
    return run_status::bad_input;
}

std::string_view without_trailing_space(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return line;
}

// A whole number of decimal digits, at most 18 of them.
bool parse_whole(std::string_view text, int64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// The next line; `got` false at the end of the file. input_unreadable (reported by the line reader)
// on a read error.
run_status next_line(ms_reader& reader, std::string_view& line, bool& got) {
    const line_result result = read_line(reader.lines, line);
    if (result == line_result::read_error) return run_status::input_unreadable;
    got = result == line_result::line;
    if (got) line = without_trailing_space(line);
    return run_status::run_ok;
}

std::string replicate_name(int64_t replicate) { return "replicate " + std::to_string(replicate); }

run_status read_positions(ms_reader& reader, std::vector<double>& positions) {
    std::string_view line;
    bool got = false;
    run_status status = next_line(reader, line, got);
    if (status != run_status::run_ok) return status;
    const int64_t line_number = reader.lines.line_number;
    if (!got || !line.starts_with("positions:")) {
        return fault(reader, got ? line_number : reader.lines.line_number + 1,
                     "expected the positions line (positions: p1 ... pN) of " + replicate_name(reader.replicate) +
                         " after its segsites line");
    }
    std::vector<std::string_view> words;
    split_words(line.substr(std::strlen("positions:")), words);
    if (static_cast<int64_t>(words.size()) != reader.snp_count) {
        return fault(reader, line_number, std::to_string(words.size()) + " positions, but the segsites line (line " +
                                              std::to_string(reader.segsites_line) + ") says " +
                                              std::to_string(reader.snp_count));
    }
    positions.clear();
    for (size_t k = 0; k < words.size(); ++k) {
        const std::string text(words[k]);
        char* end = nullptr;
        const double position = std::strtod(text.c_str(), &end);
        const std::string which = "position " + std::to_string(k + 1) + " (\"" + text + "\")";
        if (end != text.c_str() + text.size()) return fault(reader, line_number, which + " is not a number");
        if (!(position > 0.0 && position < 1.0)) {
            return fault(reader, line_number, which + " is outside (0, 1); ms positions are fractions of the region");
        }
        if (!positions.empty() && position < positions.back()) {
            return fault(reader, line_number, which + " comes before the position before it; positions must not decrease");
        }
        positions.push_back(position);
    }
    return run_status::run_ok;
}

// Everything a replicate holds before its positions: "segsites: N", after any tree, time or
// probability lines that ms writes with -T, -L or -s.
run_status read_segsites(ms_reader& reader) {
    std::string_view line;
    for (;;) {
        bool got = false;
        const run_status status = next_line(reader, line, got);
        if (status != run_status::run_ok) return status;
        if (!got) {
            return fault(reader, reader.lines.line_number + 1,
                         "the file ends before the segsites line of " + replicate_name(reader.replicate));
        }
        if (line.starts_with("(") || line.starts_with("[") || line.starts_with("time:") || line.starts_with("prob:")) {
            continue;
        }
        break;
    }
    reader.segsites_line = reader.lines.line_number;
    std::vector<std::string_view> words;
    split_words(line, words);
    if (words.size() != 2 || words[0] != "segsites:" || !parse_whole(words[1], reader.snp_count)) {
        return fault(reader, reader.segsites_line, "expected \"segsites: N\" after the // line of " +
                                                      replicate_name(reader.replicate));
    }
    if (reader.snp_count == 0) {
        return fault(reader, reader.segsites_line,
                     replicate_name(reader.replicate) + " has no segregating sites; a panel needs at least one SNP");
    }
    return run_status::run_ok;
}

}  // namespace

run_status open_ms_file(ms_reader& reader, const std::string& path) {
    reader.path = path;
    if (!open_line_reader(reader.lines, path)) {
        print_message(message_kind::tool, "cannot open the ms file %s: %s\n", path.c_str(), std::strerror(errno));
        return run_status::bad_input;
    }
    std::string_view line;
    bool got = false;
    const run_status status = next_line(reader, line, got);
    if (status != run_status::run_ok) return status;
    if (!got) return run_status::run_ok;
    if (line.starts_with("//")) {
        reader.replicate_pending = true;
        return run_status::run_ok;
    }
    // "ms nsam howmany ...", as every ms-like simulator writes it: the counts the file must hold.
    std::vector<std::string_view> words;
    split_words(line, words);
    int64_t haplotypes = 0, replicates = 0;
    if (words.size() >= 3 && parse_whole(words[1], haplotypes) && parse_whole(words[2], replicates) && haplotypes > 0) {
        reader.expected_haplotypes = haplotypes;
        reader.expected_replicates = replicates;
    }
    return run_status::run_ok;
}

run_status next_ms_replicate(ms_reader& reader, std::vector<double>& positions, bool& found) {
    found = false;
    std::string_view line;
    while (!reader.replicate_pending && !reader.at_end) {
        bool got = false;
        const run_status status = next_line(reader, line, got);
        if (status != run_status::run_ok) return status;
        if (!got) reader.at_end = true;
        else if (line.starts_with("//")) reader.replicate_pending = true;
        else if (reader.replicate > 0 && !line.empty()) {
            return fault(reader, reader.lines.line_number,
                         "expected a // line or the end of the file after the haplotypes of " +
                             replicate_name(reader.replicate));
        }
    }
    if (!reader.replicate_pending) {
        if (reader.replicate == 0) {
            print_message(message_kind::tool, "%s: no replicate: an ms file's replicates each start with a line //\n",
                          reader.path.c_str());
            return run_status::bad_input;
        }
        if (reader.expected_replicates >= 0 && reader.replicate != reader.expected_replicates) {
            print_message(message_kind::tool, "%s: %lld replicates, but its command line (line 1) asks for %lld; is the "
                          "file cut short?\n", reader.path.c_str(), static_cast<long long>(reader.replicate),
                          static_cast<long long>(reader.expected_replicates));
            return run_status::bad_input;
        }
        return run_status::run_ok;
    }
    reader.replicate_pending = false;
    ++reader.replicate;
    reader.haplotypes = 0;
    run_status status = read_segsites(reader);
    if (status == run_status::run_ok) status = read_positions(reader, positions);
    found = status == run_status::run_ok;
    return status;
}

run_status next_ms_haplotype(ms_reader& reader, std::vector<uint64_t>& bits, bool& found) {
    found = false;
    std::string_view line;
    bool got = false;
    const run_status status = next_line(reader, line, got);
    if (status != run_status::run_ok) return status;
    const bool ended = !got || line.empty() || line.starts_with("//");
    if (got && line.starts_with("//")) reader.replicate_pending = true;
    if (!got) reader.at_end = true;
    if (ended) {
        const int64_t line_number = got ? reader.lines.line_number : reader.lines.line_number + 1;
        if (reader.haplotypes == 0) {
            return fault(reader, line_number, replicate_name(reader.replicate) + " has no haplotypes");
        }
        if (reader.expected_haplotypes >= 0 && reader.haplotypes != reader.expected_haplotypes) {
            return fault(reader, line_number,
                         replicate_name(reader.replicate) + " has " + std::to_string(reader.haplotypes) +
                             " haplotypes, but " + (reader.expected_replicates >= 0 ? "its command line (line 1) asks for "
                                                                                    : "replicate 1 has ") +
                             std::to_string(reader.expected_haplotypes) + "; is the file cut short?");
        }
        reader.expected_haplotypes = reader.haplotypes;
        return run_status::run_ok;
    }
    ++reader.haplotypes;
    const int64_t line_number = reader.lines.line_number;
    if (static_cast<int64_t>(line.size()) != reader.snp_count) {
        return fault(reader, line_number, "haplotype " + std::to_string(reader.haplotypes) + " of " +
                                              replicate_name(reader.replicate) + " has " + std::to_string(line.size()) +
                                              " alleles, but its segsites line (line " +
                                              std::to_string(reader.segsites_line) + ") says " +
                                              std::to_string(reader.snp_count));
    }
    bits.assign(words_for_bits(reader.snp_count), 0);
    for (size_t c = 0; c < line.size(); ++c) {
        if (line[c] == '1') bits[c / 64] |= uint64_t{1} << (c % 64);
        else if (line[c] != '0') {
            return fault(reader, line_number, "allele " + std::to_string(c + 1) + " of haplotype " +
                                                  std::to_string(reader.haplotypes) + " is '" + std::string(1, line[c]) +
                                                  "'; ms haplotypes hold only 0 and 1");
        }
    }
    found = true;
    return run_status::run_ok;
}

}  // namespace corvane
