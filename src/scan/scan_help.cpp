// Writes the scan tools' help from the constants the search and the reader use.
#include "scan/scan_help.hpp"

#include <cstdio>

#include "common/line_reader.hpp"
#include "common/message.hpp"
#include "search/region_growth.hpp"
#include "search/search_terms.hpp"

namespace corvane {

std::string scan_help_text() {
    const std::string name = program_name();
    const bool reference = name == "corvane-reference";
    char rules[512];
    std::snprintf(rules, sizeof rules,
                  "A haplotype carries the interval's most common haplotype when its similarity to it\n"
                  "exceeds %g (for 0/1 alleles: fewer than one mismatching site in %d). An interval grows by\n"
                  "%d SNPs a side, then by 1, each side keeping its last passing extent. Lines longer than\n"
                  "%zu MiB are refused.\n",
                  similarity_cutoff, static_cast<int>(1.0 / (1.0 - similarity_cutoff) + 0.5), coarse_step,
                  max_line_bytes >> 20);
    return "usage: " + name + " -hap GENOTYPES -legend LEGEND -freq FREQUENCY -out OUTPUT\n" +
           "       " + name + " --help | -h | --version\n"
           "\n"
           "Finds every interval of SNPs over which more than FREQUENCY x H of the H haplotypes carry\n"
           "the interval's most common haplotype, and writes one row per interval.\n" +
           (reference ? "This is the plain path, kept as the oracle corvane is tested against: same\n"
                        "arguments, same output, much slower.\n"
                      : "") +
           "\n"
           "  -hap GENOTYPES     one haplotype per line, one integer allele per SNP, separated by tabs\n"
           "                     or single blanks; plain text or gzip/BGZF\n"
           "  -legend LEGEND     a header line, then chr, id, cM, bp of each SNP in the genotype\n"
           "                     file's column order\n"
           "  -freq FREQUENCY    a number above 0 and below 1\n"
           "  -out OUTPUT        the result table: chr, startpos, endpos, genetic_dist,\n"
           "                     physical_dist, n.snp, one row per interval\n"
           "The four labels stand before their values; the values are taken by position, so the\n"
           "order is fixed. The output must not be one of the inputs.\n"
           "\n" +
           rules +
           "\n"
           "Exit status: 0 done, 1 bad input or an output that could not be written, 2 a wrong\n"
           "command line.\n";
}

}  // namespace corvane
