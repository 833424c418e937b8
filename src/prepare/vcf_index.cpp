// Finds, dates and checks the index of a VCF/BCF, and says what is wrong with one that does not fit.
#include "prepare/vcf_index.hpp"

#include <cstring>

#include <sys/stat.h>

#include <htslib/bgzf.h>
#include <htslib/kstring.h>
#include <htslib/tbx.h>

#include "common/message.hpp"

namespace corvane {

namespace {

bool is_file(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// DATA.EXT, else DATA with its last extension replaced by EXT; empty when neither is a file.
std::string index_named(const std::string& data_path, const char* extension) {
    const std::string added = data_path + extension;
    if (is_file(added)) return added;
    const size_t dot = data_path.rfind('.');
    const size_t slash = data_path.rfind('/');
    if (dot == std::string::npos || dot == 0 || (slash != std::string::npos && dot < slash + 2)) return "";
    const std::string replaced = data_path.substr(0, dot) + extension;
    return is_file(replaced) ? replaced : "";
}

bool ends_with(const std::string& text, const char* end) {
    const size_t length = std::strlen(end);
    return text.size() >= length && text.compare(text.size() - length, length, end) == 0;
}

uint32_t little_endian_32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

std::string find_index_beside(const std::string& data_path, bool bcf) {
    const std::string csi = index_named(data_path, ".csi");
    if (!csi.empty() || bcf) return csi;
    return index_named(data_path, ".tbi");
}

run_status check_index_age(const std::string& data_path, const std::string& index_path) {
    struct stat data {};
    struct stat index {};
    if (stat(data_path.c_str(), &data) != 0 || stat(index_path.c_str(), &index) != 0) return run_status::run_ok;
    // Whole seconds, as htslib compares them: copies made within one second keep their order.
    if (index.st_mtime >= data.st_mtime) return run_status::run_ok;
    print_message(message_kind::tool,
                  "%s is older than %s: it may describe the file as it was before it last changed; remake it "
                  "(%s), or give --no-index to read the file without it\n",
                  index_path.c_str(), data_path.c_str(), remake_index_command(data_path, index_path).c_str());
    return run_status::bad_input;
}

std::string remake_index_command(const std::string& data_path, const std::string& index_path) {
    return std::string("bcftools index -f ") + (ends_with(index_path, ".tbi") ? "-t " : "") + data_path;
}

void report_index_misfit(const std::string& data_path, const std::string& index_path, const std::string& what) {
    print_message(message_kind::tool,
                  "%s does not fit %s: %s (the index was made for another file, or before the file changed); "
                  "remake it (%s), or give --no-index to read the file without it\n",
                  index_path.c_str(), data_path.c_str(), what.c_str(),
                  remake_index_command(data_path, index_path).c_str());
}

std::optional<uint64_t> index_record_count(const hts_idx_t* index, int tid) {
    uint64_t mapped = 0;
    uint64_t unmapped = 0;
    if (hts_idx_get_stat(index, tid, &mapped, &unmapped) != 0) return std::nullopt;
    return mapped + unmapped;
}

bool record_starts_at(htsFile* file, uint64_t offset, int tid, const std::string& chromosome) {
    BGZF* compressed = hts_get_bgzfp(file);
    if (compressed == nullptr || bgzf_seek(compressed, static_cast<int64_t>(offset), SEEK_SET) < 0) return false;
    if (hts_get_format(file)->format == bcf) {
        // A BCF record starts with its two lengths, then the contig id and the 0-based position.
        unsigned char start[16];
        if (bgzf_read(compressed, start, sizeof start) != static_cast<ssize_t>(sizeof start)) return false;
        return little_endian_32(start) >= 24 && little_endian_32(start + 8) == static_cast<uint32_t>(tid) &&
               little_endian_32(start + 12) < 0x80000000u;
    }
    // A VCF line: the contig's name, a tab, the position's digits, a tab.
    kstring_t line{};
    const bool read = bgzf_getline(compressed, '\n', &line) >= 0;
    bool fits = read && line.l > chromosome.size() + 2 && std::memcmp(line.s, chromosome.data(), chromosome.size()) == 0 &&
                line.s[chromosome.size()] == '\t';
    if (fits) {
        size_t at = chromosome.size() + 1;
        const size_t first_digit = at;
        while (at < line.l && line.s[at] >= '0' && line.s[at] <= '9') ++at;
        fits = at > first_digit && at < line.l && line.s[at] == '\t';
    }
    ks_free(&line);
    return fits;
}

}  // namespace corvane
