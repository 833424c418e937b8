// Reads GTF, GFF3 and BED lines into gene spans, every line checked.
#include "input/gene_file.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>

#include "common/chromosome_spelling.hpp"
#include "common/line_reader.hpp"
#include "common/message.hpp"

namespace corvane {

namespace {

constexpr int64_t largest_position = int64_t{1} << 40;

// The format the file's name gives, if it gives one.
std::optional<gene_format> format_of_name(std::string_view path) {
    for (const std::string_view packed : {".gz", ".bgz"}) {
        if (path.ends_with(packed)) path.remove_suffix(packed.size());
    }
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    std::string extension(path.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
    if (extension == "gtf") return gene_format::gtf;
    if (extension == "gff" || extension == "gff3") return gene_format::gff3;
    if (extension == "bed") return gene_format::bed;
    return std::nullopt;
}

// The fields of `line` between tabs; a line without a tab (a BED file written with blanks) is split
// at runs of blanks.
void split_fields(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    if (line.find('\t') != std::string_view::npos) {
        size_t from = 0;
        for (;;) {
            const size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from));
            if (tab == std::string_view::npos) return;
            from = tab + 1;
        }
    }
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && line[at] == ' ') ++at;
        const size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) fields.push_back(line.substr(at, end - at));
        at = end;
    }
}

// The format of a first data line whose file name told none.
std::optional<gene_format> format_of_line(const std::vector<std::string_view>& fields) {
    if (fields.size() == 9 && fields[8].find("gene_id \"") != std::string_view::npos) return gene_format::gtf;
    if (fields.size() == 9 && fields[8].find('=') != std::string_view::npos) return gene_format::gff3;
    if (fields.size() >= 3 && fields.size() != 9) return gene_format::bed;
    return std::nullopt;
}

bool parse_position(std::string_view text, int64_t& value) {
    if (text.empty() || text.size() > 13) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value <= largest_position;
}

// GFF3 escapes a few characters in its values as %XX.
std::string unescaped(std::string_view value) {
    std::string text;
    for (size_t k = 0; k < value.size(); ++k) {
        const auto digit = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
        if (value[k] == '%' && k + 2 < value.size() && digit(value[k + 1]) && digit(value[k + 2])) {
            text += static_cast<char>(std::stoi(std::string(value.substr(k + 1, 2)), nullptr, 16));
            k += 2;
        } else {
            text += value[k];
        }
    }
    return text;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The value of attribute `key` in a GTF (key "value"; ...) or GFF3 (key=value;...) attribute column.
std::optional<std::string> attribute(std::string_view attributes, gene_format format, std::string_view key) {
    size_t from = 0;
    while (from <= attributes.size()) {
        const size_t semicolon = std::min(attributes.find(';', from), attributes.size());
        const std::string_view part = trimmed(attributes.substr(from, semicolon - from));
        from = semicolon + 1;
        const size_t split = part.find(format == gene_format::gtf ? ' ' : '=');
        if (split == std::string_view::npos || part.substr(0, split) != key) continue;
        std::string_view value = trimmed(part.substr(split + 1));
        if (format == gene_format::gtf) {
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            return std::string(value);
        }
        return unescaped(value);
    }
    return std::nullopt;
}

std::optional<std::string> gene_name(std::string_view attributes, gene_format format) {
    const char* const keys[] = {"gene_name", "gene_id", "Name", "ID"};
    for (const char* key : keys) {
        std::optional<std::string> name = attribute(attributes, format, key);
        if (!name || name->empty()) continue;
        // Ensembl's GFF3 gives genes IDs such as gene:ENSG00000141510.
        if (std::string_view(key) == "ID" && name->starts_with("gene:")) name->erase(0, 5);
        return name;
    }
    return std::nullopt;
}

bool is_gene_type(std::string_view type) {
    return type == "gene" || type == "pseudogene" || type.ends_with("_gene");
}

// Features that name a stretch of sequence, not a gene: never made into one.
bool is_sequence_type(std::string_view type) {
    return type == "region" || type == "chromosome" || type == "contig" || type == "scaffold" ||
           type == "supercontig";
}

// What a file read so far holds: its genes, and, until a gene is met, every feature's span by name
// (for a GTF of transcripts and exons only).
struct gene_reading {
    std::string path;
    int64_t line = 0;
    std::vector<std::pair<std::string, gene_span>> genes;  // chromosome key, gene
    bool gene_seen = false;
    std::map<std::pair<std::string, std::string>, std::pair<int64_t, int64_t>> spans_by_name;
};

run_status line_fault(const gene_reading& reading, const std::string& what) {
    print_message(message_kind::place, "%s:%lld: %s\n", reading.path.c_str(), static_cast<long long>(reading.line),
                  what.c_str());
    return run_status::bad_input;
}

std::string quoted(std::string_view value) {
    std::string text(1, '"');
    text += value;
    text += '"';
    return text;
}

// One GTF or GFF3 line.
run_status take_feature_line(gene_reading& reading, const std::vector<std::string_view>& fields, gene_format format) {
    const char* format_name = format == gene_format::gtf ? "GTF" : "GFF3";
    if (fields.size() != 9) {
        return line_fault(reading, "expected 9 tab-separated fields (" + std::string(format_name) + "), found " +
                                       std::to_string(fields.size()));
    }
    int64_t start = 0, end = 0;
    if (!parse_position(fields[3], start) || start < 1) return line_fault(reading, "start is not a position: " + quoted(fields[3]));
    if (!parse_position(fields[4], end)) return line_fault(reading, "end is not a position: " + quoted(fields[4]));
    if (start > end) return line_fault(reading, "start " + std::to_string(start) + " is after end " + std::to_string(end));
    const bool gene = is_gene_type(fields[2]);
    if (!gene && (reading.gene_seen || is_sequence_type(fields[2]))) return run_status::run_ok;
    std::optional<std::string> name = gene_name(fields[8], format);
    if (!name) {
        if (!gene) return run_status::run_ok;
        return line_fault(reading, "a gene without a name (gene_name, gene_id, Name or ID)");
    }
    std::string chromosome(without_chr_prefix(fields[0]));
    if (gene) {
        reading.gene_seen = true;
        reading.spans_by_name.clear();
        reading.genes.push_back({std::move(chromosome), {std::move(*name), start, end}});
        return run_status::run_ok;
    }
    const auto [entry, added] = reading.spans_by_name.try_emplace({std::move(chromosome), std::move(*name)}, start, end);
    if (!added) {
        entry->second.first = std::min(entry->second.first, start);
        entry->second.second = std::max(entry->second.second, end);
    }
    return run_status::run_ok;
}

// One BED line: 0-based start, end past the last base.
run_status take_bed_line(gene_reading& reading, const std::vector<std::string_view>& fields) {
    if (fields.size() < 3) return line_fault(reading, "expected at least 3 fields (BED: chrom, start, end), found " + std::to_string(fields.size()));
    int64_t start = 0, end = 0;
    if (!parse_position(fields[1], start)) return line_fault(reading, "start is not a position: " + quoted(fields[1]));
    if (!parse_position(fields[2], end)) return line_fault(reading, "end is not a position: " + quoted(fields[2]));
    if (start >= end) return line_fault(reading, "start " + std::to_string(start) + " is not before end " + std::to_string(end));
    std::string name = fields.size() >= 4 && !fields[3].empty()
                           ? std::string(fields[3])
                           : std::string(fields[0]) + ":" + std::to_string(start + 1) + "-" + std::to_string(end);
    reading.genes.push_back({std::string(without_chr_prefix(fields[0])), {std::move(name), start + 1, end}});
    return run_status::run_ok;
}

bool passed_over(std::string_view line, gene_format format) {
    if (line.empty() || line[0] == '#') return true;
    return format == gene_format::bed && (line.starts_with("track") || line.starts_with("browser"));
}

}  // namespace

run_status read_gene_file(const std::string& path, gene_table& genes) {
    genes = gene_table{};
    line_reader reader;
    if (!open_line_reader(reader, path)) {
        print_message(message_kind::tool, "%s: cannot open: %s\n", path.c_str(), std::strerror(errno));
        return run_status::input_unreadable;
    }
    gene_reading reading;
    reading.path = path;
    std::optional<gene_format> format = format_of_name(path);
    std::vector<std::string_view> fields;
    std::string_view line;
    line_result got;
    while ((got = read_line(reader, line)) == line_result::line) {
        reading.line = reader.line_number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // GFF3 may end with the sequences themselves.
        if (line.starts_with("##FASTA")) break;
        if (passed_over(line, format.value_or(gene_format::bed))) continue;
        split_fields(line, fields);
        if (!format) {
            format = format_of_line(fields);
            if (!format) {
                return line_fault(reading, "neither GTF, GFF3 nor BED; name the file .gtf, .gff3 or .bed to say which");
            }
        }
        const run_status taken = *format == gene_format::bed ? take_bed_line(reading, fields)
                                                             : take_feature_line(reading, fields, *format);
        if (taken != run_status::run_ok) return taken;
    }
    if (got == line_result::read_error) return run_status::input_unreadable;
    for (auto& [key, span] : reading.spans_by_name) {
        reading.genes.push_back({key.first, {key.second, span.first, span.second}});
    }
    for (auto& [chromosome, gene] : reading.genes) genes.by_chromosome[chromosome].push_back(std::move(gene));
    for (auto& [chromosome, list] : genes.by_chromosome) {
        std::sort(list.begin(), list.end(), [](const gene_span& a, const gene_span& b) {
            return std::tie(a.start, a.end, a.name) < std::tie(b.start, b.end, b.name);
        });
    }
    genes.count = static_cast<int64_t>(reading.genes.size());
    return run_status::run_ok;
}

}  // namespace corvane
