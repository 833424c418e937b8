// Finds each locus's genes in the sorted genes of its chromosome.
#include "loci/locus_genes.hpp"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "common/chromosome_spelling.hpp"

namespace corvane {

namespace {

// A chromosome's genes with, for each, the gene of greatest end among it and those before it: the
// genes overlapping a span are found by walking back from the last that starts in it while that end
// still reaches the span.
struct chromosome_genes {
    const std::vector<gene_span>* genes = nullptr;
    std::vector<size_t> furthest_so_far;
};

chromosome_genes indexed(const std::vector<gene_span>& genes) {
    chromosome_genes index{&genes, std::vector<size_t>(genes.size())};
    for (size_t k = 0; k < genes.size(); ++k) {
        index.furthest_so_far[k] = k > 0 && genes[index.furthest_so_far[k - 1]].end >= genes[k].end
                                       ? index.furthest_so_far[k - 1]
                                       : k;
    }
    return index;
}

std::string distance_text(int64_t bp) {
    const int64_t size = bp < 0 ? -bp : bp;
    char text[48];
    if (size < 1000) std::snprintf(text, sizeof text, "%c%lld bp", bp < 0 ? '-' : '+', static_cast<long long>(size));
    else std::snprintf(text, sizeof text, "%c%.1f kb", bp < 0 ? '-' : '+', static_cast<double>(size) / 1000.0);
    return text;
}

std::string genes_of(const chromosome_genes& index, int64_t start, int64_t end) {
    const std::vector<gene_span>& genes = *index.genes;
    // The genes that start at or before the locus's end.
    const size_t before_end = static_cast<size_t>(
        std::upper_bound(genes.begin(), genes.end(), end, [](int64_t bp, const gene_span& gene) { return bp < gene.start; }) -
        genes.begin());
    std::vector<size_t> overlapping;
    for (size_t k = before_end; k > 0 && genes[index.furthest_so_far[k - 1]].end >= start; --k) {
        if (genes[k - 1].end >= start) overlapping.push_back(k - 1);
    }
    if (!overlapping.empty()) {
        std::string names;
        std::vector<std::string_view> written;
        for (auto at = overlapping.rbegin(); at != overlapping.rend(); ++at) {
            const std::string& name = genes[*at].name;
            if (std::find(written.begin(), written.end(), name) != written.end()) continue;
            written.push_back(name);
            if (!names.empty()) names += ',';
            names += name;
        }
        return names;
    }
    // None overlaps: every gene starting before the locus ends before it, and the rest start after it.
    const gene_span* left = before_end > 0 ? &genes[index.furthest_so_far[before_end - 1]] : nullptr;
    const gene_span* right = before_end < genes.size() ? &genes[before_end] : nullptr;
    if (left != nullptr && (right == nullptr || start - left->end <= right->start - end)) {
        return left->name + " (" + distance_text(left->end - start) + ")";
    }
    if (right != nullptr) return right->name + " (" + distance_text(right->start - end) + ")";
    return ".";
}

}  // namespace

std::vector<std::string> genes_column(const gene_table& genes, const std::vector<locus_span>& loci) {
    std::unordered_map<std::string, chromosome_genes> indexes;
    std::vector<std::string> column;
    column.reserve(loci.size());
    for (const locus_span& locus : loci) {
        const std::string key(without_chr_prefix(locus.chromosome));
        const auto found = genes.by_chromosome.find(key);
        if (found == genes.by_chromosome.end() || found->second.empty()) {
            column.emplace_back(".");
            continue;
        }
        auto index = indexes.find(key);
        if (index == indexes.end()) index = indexes.emplace(key, indexed(found->second)).first;
        column.push_back(genes_of(index->second, locus.start, locus.end));
    }
    return column;
}

}  // namespace corvane
