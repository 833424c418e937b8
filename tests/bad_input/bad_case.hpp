// One bad-input case run against every built scan tool, with the checks every case shares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../test_support.hpp"

namespace corvane::testing {

inline const std::string output_header = "chr\tstartpos\tendpos\tgenetic_dist\tphysical_dist\tn.snp\n";

struct bad_case {
    std::vector<std::string> arguments;  // everything after argv[0]
    std::vector<std::string> inputs;     // paths whose bytes (or absence, or directory) must not change
    std::string output;                  // removed before each tool's run unless it existed before the case
    run_limits limits = {.seconds = 60};  // a hang fails the case
    bool same_messages = true;  // false where the text depends on the tool's memory layout
};

struct case_outcome {
    int status = -1;
    bool timed_out = false;
    std::string out;
    std::string err;
    bool output_exists = false;
    std::string output;  // the output file's bytes after the run
};

// `-hap G -legend L -freq F -out O`
std::vector<std::string> scan_arguments(const std::string& genotypes, const std::string& legend,
                                        const std::string& frequency, const std::string& output);

// A scan of `genotypes` and `legend` into `output`, both inputs watched.
bad_case scan_case(const std::string& genotypes, const std::string& legend, const std::string& frequency,
                   const std::string& output);

// Runs the case with corvane and, when it is built, corvane-reference. Expects (gtest) that no input
// changed, that no run hung, and that the reference agrees with corvane on status, standard output,
// standard error and output bytes. Returns corvane's outcome.
case_outcome run_bad_case(const bad_case& to_run);

// Another process holding an exclusive lock (flock) on `path` from construction to destruction, as a
// run writing that file does. The lock is held before the constructor returns.
struct held_lock {
    int pid = -1;
    int release = -1;  // closing it ends the holder
    explicit held_lock(const std::string& path);
    ~held_lock();
    held_lock(const held_lock&) = delete;
    held_lock& operator=(const held_lock&) = delete;
};

// The sorted names in `directory`, to show that a refused run created nothing.
std::vector<std::string> directory_names(const std::string& directory);

// Tables for the cases: rows of alleles, and their text with `separator` between alleles and
// `line_end` after each row.
using allele_rows = std::vector<std::vector<int32_t>>;
std::string panel_text(const allele_rows& rows, const std::string& separator = " ",
                       const std::string& line_end = "\n");
// A tab-separated legend (header, then chr 21, id, cM, bp per SNP) with `line_end` after each line.
std::string legend_text(int32_t snp_count, const std::string& line_end = "\n");
// `legend` with the row of SNP `snp` (line snp + 2) missing its last field.
std::string with_short_row(std::string legend, int32_t snp);
// `haplotypes` copies of one 0/1 row of `snps` alleles.
allele_rows identical_rows(int32_t haplotypes, int32_t snps);
// A 0/1 panel with shared stretches of several lengths, so a scan at 0.5 reports several regions.
allele_rows shared_stretch_panel();

}  // namespace corvane::testing
