// The genes column of the loci table: the genes each locus overlaps, or the nearest and how far.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/gene_file.hpp"

namespace corvane {

// A locus as the genes column sees it: its chromosome (either spelling) and bp span, inclusive.
struct locus_span {
    std::string_view chromosome;
    int64_t start = 0;
    int64_t end = 0;
};

// One text per locus, in the order of `loci`: the names of the genes overlapping it, comma-separated
// in position order, each name once ("APP,CYYR1"); else the nearest gene with the distance from the
// locus to it, "-" before the locus and "+" after it, in bp under 1 kb, else in kb
// ("GRIK1 (+12.3 kb)", "SOD1 (-850 bp)"; of two as near, the one before); "." when the chromosome has
// no gene.
std::vector<std::string> genes_column(const gene_table& genes, const std::vector<locus_span>& loci);

}  // namespace corvane
