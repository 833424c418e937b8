// Reads corvane result tables (one or several, concatenated or not) into one lean list of intervals.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/run_status.hpp"

namespace corvane {

// One row of a result table: 24 bytes, so that the tables of a thousand simulated replicates at
// every frequency of a grid fit in memory with room to spare.
struct result_interval {
    double genetic = 0.0;  // genetic_dist, cM (nan allowed)
    int32_t start = 0;     // startpos, bp
    int32_t end = 0;       // endpos, bp
    int32_t snps = 0;      // n.snp
    uint32_t chr = 0;      // index into result_rows::chr_names
};

// Where a chromosome's rows begin in a table: each time the chromosome column changes, a new run.
struct chromosome_run {
    uint32_t chr = 0;
    int64_t line = 0;
};

// One table read: its rows are those from the previous table's row_end up to its own.
struct table_read {
    std::string path;
    size_t row_end = 0;
    std::vector<chromosome_run> runs;
};

struct result_rows {
    std::vector<table_read> tables;
    std::vector<std::string> chr_names;  // in the order chromosomes first appear
    std::unordered_map<std::string, uint32_t> chr_index;
    std::vector<result_interval> intervals;  // in file order
    // Kept unless the rows are read lean (keep_origins false): each row's line in its table and its
    // genetic_dist as written (echoed unchanged), the k-th text ending at text_ends[k] in texts.
    bool keep_origins = true;
    std::vector<int64_t> lines;
    std::string texts;
    std::vector<uint64_t> text_ends;
};

// The header line every result table starts with.
inline constexpr const char* result_header = "chr\tstartpos\tendpos\tgenetic_dist\tphysical_dist\tn.snp";

// Appends the rows of the table at `path`. The first line must be the header; later header lines
// (tables joined with cat) are passed over. A fault is reported once as "PATH:LINE: what" on
// standard error (bad_input), a file that cannot be opened or read as "PATH: ..."
// (input_unreadable).
run_status read_result_table(const std::string& path, result_rows& rows);

// The table row `row` was read from (an index into rows.tables).
size_t table_of_row(const result_rows& rows, size_t row);

// "PATH:LINE" of a row, for messages; needs the rows' origins.
std::string row_location(const result_rows& rows, size_t row);

// The genetic_dist of a row as its table wrote it; needs the rows' origins.
std::string_view genetic_text(const result_rows& rows, size_t row);

}  // namespace corvane
