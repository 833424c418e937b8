// Looks into the #CHROM line of a header htslib refused, for sample names given twice.
#include "prepare/vcf_header_fault.hpp"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include <htslib/bgzf.h>
#include <htslib/hts.h>
#include <htslib/kseq.h>
#include <htslib/kstring.h>
#include <htslib/tbx.h>

namespace corvane {

namespace {

// The header's text: a VCF's lines up to the #CHROM line, or a BCF's header block.
std::string header_text(const std::string& path) {
    htsFile* file = hts_open(path.c_str(), "r");
    if (file == nullptr) return "";
    std::string text;
    if (hts_get_format(file)->format == bcf) {
        BGZF* compressed = hts_get_bgzfp(file);
        unsigned char start[9];
        if (compressed != nullptr && bgzf_read(compressed, start, sizeof start) == static_cast<ssize_t>(sizeof start)) {
            const uint32_t length = static_cast<uint32_t>(start[5]) | static_cast<uint32_t>(start[6]) << 8 |
                                    static_cast<uint32_t>(start[7]) << 16 | static_cast<uint32_t>(start[8]) << 24;
            // The header is read whole only up to a size no real header reaches.
            if (length <= (1u << 30)) {
                text.resize(length);
                if (bgzf_read(compressed, text.data(), length) != static_cast<ssize_t>(length)) text.clear();
            }
        }
    } else {
        kstring_t line{};
        while (hts_getline(file, KS_SEP_LINE, &line) >= 0 && line.l > 0 && line.s[0] == '#') {
            text.append(line.s, line.l);
            text += '\n';
            if (line.l >= 6 && std::string_view(line.s, 6) == "#CHROM") break;
        }
        ks_free(&line);
    }
    hts_close(file);
    return text;
}

}  // namespace

std::string vcf_header_fault(const std::string& path) {
    const std::string text = header_text(path);
    const size_t start = text.rfind("#CHROM");
    if (start == std::string::npos) return "";
    std::string_view line(text);
    line = line.substr(start);
    line = line.substr(0, line.find_first_of("\n\r"));
    line = line.substr(0, line.find('\0'));
    std::unordered_map<std::string_view, size_t> column_of;
    size_t column = 1;
    for (size_t at = 0; at <= line.size(); ++column) {
        const size_t tab = std::min(line.find('\t', at), line.size());
        const std::string_view name = line.substr(at, tab - at);
        at = tab + 1;
        if (column < 10) continue;
        const auto [seen, added] = column_of.emplace(name, column);
        if (!added) {
            return "the header names sample \"" + std::string(name) + "\" twice (columns " +
                   std::to_string(seen->second) + " and " + std::to_string(column) +
                   "); sample names must be unique: rename one of them";
        }
    }
    return "";
}

}  // namespace corvane
