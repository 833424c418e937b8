// Reads corvane result tables (one or several, concatenated or not) into one list of intervals.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/run_status.hpp"

namespace corvane {

// One row of a result table, with where it was read.
struct result_interval {
    uint32_t chr = 0;          // index into result_rows::chr_names
    int32_t start = 0;         // startpos, bp
    int32_t end = 0;           // endpos, bp
    double genetic = 0.0;      // genetic_dist, cM (nan allowed)
    std::string genetic_text;  // genetic_dist as written, so it is echoed unchanged
    int32_t snps = 0;          // n.snp
    uint32_t file = 0;         // index into result_rows::paths
    int64_t line = 0;          // 1-based line in that file
};

struct result_rows {
    std::vector<std::string> paths;
    std::vector<std::string> chr_names;  // in the order chromosomes first appear
    std::unordered_map<std::string, uint32_t> chr_index;
    std::vector<result_interval> intervals;  // in file order
};

// The header line every result table starts with.
inline constexpr const char* result_header = "chr\tstartpos\tendpos\tgenetic_dist\tphysical_dist\tn.snp";

// Appends the rows of the table at `path`. The first line must be the header; later header lines
// (tables joined with cat) are passed over. A fault is reported once as "PATH:LINE: what" on
// standard error (bad_input), a file that cannot be opened or read as "PATH: ..."
// (input_unreadable).
run_status read_result_table(const std::string& path, result_rows& rows);

// "PATH:LINE" of a row, for messages.
std::string row_location(const result_rows& rows, const result_interval& row);

}  // namespace corvane
