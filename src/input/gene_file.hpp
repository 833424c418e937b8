// A file of genes (GTF, GFF3 or BED; plain or gzip) read into the genes of each chromosome.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/run_status.hpp"

namespace corvane {

// One gene: its name and its span, 1-based and inclusive.
struct gene_span {
    std::string name;
    int64_t start = 0;
    int64_t end = 0;
};

// The genes of every chromosome, each list in position order (by start, then end, then name). The
// chromosome is named without a leading "chr", so that "chr21" and "21" find one list.
struct gene_table {
    std::unordered_map<std::string, std::vector<gene_span>> by_chromosome;
    int64_t count = 0;
};

enum class gene_format { gtf, gff3, bed };

// Reads the genes of `path`. The format goes by the name (.gtf, .gff, .gff3 or .bed, a .gz after it
// allowed), else by the first line that is not a comment; compression goes by the content. From GTF
// and GFF3 the features of type gene (also pseudogene and TYPE_gene) are taken, named by gene_name,
// gene_id, Name or ID; a file with no such feature has its genes made from all its features, each
// name's span from its first start to its last end. BED lines are 0-based and half-open, named by
// their fourth column, else CHR:START-END. Comments (#), track and browser lines and empty lines are
// passed over. A line that cannot be read is reported as "PATH:LINE: what" (bad_input), a file that
// cannot be opened as "TOOL: PATH: cannot open: REASON" (input_unreadable).
run_status read_gene_file(const std::string& path, gene_table& genes);

}  // namespace corvane
