// Reads the ms format of coalescent simulators (ms, msms, discoal, scrm, msprime's mspms): a
// command line, then per replicate "//", "segsites: N", "positions: p1 ... pN" in (0, 1) and one
// string of N 0/1 characters per haplotype; plain or gzip, one replicate at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/line_reader.hpp"
#include "common/run_status.hpp"

namespace corvane {

struct ms_reader {
    line_reader lines;
    std::string path;
    int64_t expected_haplotypes = -1;  // nsam of the command line, or of the first replicate; -1 unknown
    int64_t expected_replicates = -1;  // howmany of the command line; -1 unknown
    int64_t replicate = 0;             // replicates started so far
    int64_t snp_count = 0;             // of the current replicate
    int64_t haplotypes = 0;            // haplotypes of the current replicate read so far
    int64_t segsites_line = 0;
    bool replicate_pending = false;    // a "//" line has been read but its replicate not yet
    bool at_end = false;
};

// Opens the file and reads its command line. bad_input (reported) when it cannot be opened or read.
run_status open_ms_file(ms_reader& reader, const std::string& path);

// Moves to the next replicate and reads its positions; `found` false at the end of the file, where
// the replicate count is checked. Every fault is reported as "PATH:LINE: what" (bad_input).
run_status next_ms_replicate(ms_reader& reader, std::vector<double>& positions, bool& found);

// The next haplotype of the current replicate, its alleles packed as bits (words_for_bits(N) words);
// `found` false after the last one, where the haplotype count is checked.
run_status next_ms_haplotype(ms_reader& reader, std::vector<uint64_t>& bits, bool& found);

}  // namespace corvane
