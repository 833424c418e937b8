// A genetic map of one chromosome and the genetic position (cM) it gives any physical position (bp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_status.hpp"

namespace corvane {

// The column layouts a map file may have.
enum class map_layout {
    automatic,   // told from the first line
    pos_chr_cm,  // "pos chr cM", with a header line
    shapeit,     // "position COMBINED_rate(cM/Mb) Genetic_Map(cM)", with a header line: one chromosome a file
    plink,       // "chr id cM bp", no header
    hapmap,      // "Chromosome Position(bp) Rate(cM/Mb) Map(cM)", with a header line
};

// The width in cM of the stretch at each end whose average rate carries the map past that end.
constexpr double end_stretch_cm = 5.0;

// The largest genetic position (in either direction) a legend may hold: corvane reads cM in single
// precision, so anything beyond reads as infinite.
constexpr double max_genetic_position = 3.40282346638528859811704183484516925e+38;  // FLT_MAX

struct genetic_map {
    std::vector<int64_t> bp;  // strictly increasing
    std::vector<double> cm;   // finite, never decreasing, not all equal
    // Extrapolation rates (cM per bp, above 0) beyond the first and the last map position.
    double rate_before = 0.0;
    double rate_after = 0.0;
};

// Sets the two extrapolation rates of a checked map (at least two positions, cM not all equal):
// the average rate over the last 5 cM on each side, or over the whole map when it spans less.
void set_extrapolation_rates(genetic_map& map);

// Linear interpolation in bp between the map positions around `position` (found by binary search);
// beyond either end, extrapolation from that end at its rate.
double genetic_position(const genetic_map& map, int64_t position);

// Reads the rows of `chromosome` from the map file at `path` (plain, gzip or BGZF) into `map` and
// checks them; "chr21" and "21" name the same chromosome. Every fault is reported on standard error
// ("PATH:LINE: what" where a line is at fault) and makes the result bad_input.
run_status read_genetic_map(const std::string& path, map_layout layout, const std::string& chromosome, genetic_map& map);

}  // namespace corvane
