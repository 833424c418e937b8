// Loci across the frequencies of a grid: on each chromosome the longest intervals of the lowest
// frequency become seeds, the seeds cut the chromosome into cells, and every interval of every
// frequency joins the cell that holds its midpoint. A locus is a cell with its intervals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "loci/frequency_tables.hpp"
#include "loci/interval_filter.hpp"
#include "loci/locus.hpp"

namespace corvane {

// A locus without an interval at a frequency.
constexpr size_t no_interval = std::numeric_limits<size_t>::max();

struct cell_loci {
    std::vector<double> frequencies;  // those of the set, increasing
    std::vector<locus> loci;          // chromosomes in the order they first appear, then by position
    // Per locus, then per frequency: the row of its longest interval there, or no_interval.
    std::vector<size_t> longest;

    size_t longest_at(size_t locus_index, size_t frequency) const {
        return longest[locus_index * frequencies.size() + frequency];
    }
};

// The loci of `set`, of the intervals `filter` keeps. On each chromosome the seeds are taken from
// the lowest frequency with an interval there, longest first (then by start, end and the order
// read); an interval becomes a seed unless it lies within `gap` bp of a seed taken before (0: they
// overlap or share a position). Neighbouring cells meet halfway between their seeds; a midpoint on
// that line joins the left cell. A locus's longest interval at a frequency is the longest of its
// intervals there (then the first by start, end and the order read). Peaks and ranks are left to the
// statistic.
cell_loci form_cell_loci(const frequency_table_set& set, const interval_filter& filter, int64_t gap);

}  // namespace corvane
