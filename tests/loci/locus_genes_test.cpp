// The genes column: overlapping genes in position order, else the nearest and how far, from the
// same genes written as GTF, GFF3 and BED, plain or gzip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <zlib.h>

#include "input/gene_file.hpp"
#include "loci/locus_genes.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {
namespace {

// ERG at 39,751,951-40,033,704 and DSCAM at 41,382,926-42,219,084 of chr21, with BACE2 inside DSCAM's
// span and a second ERG record; GENE22 on chromosome 22.
const std::string gtf =
    "#!genome-build GRCh37\n"
    "chr21\tx\tgene\t39751951\t40033704\t.\t-\t.\tgene_id \"G1\"; gene_name \"ERG\";\n"
    "chr21\tx\texon\t39751951\t39760000\t.\t-\t.\tgene_id \"G1\"; gene_name \"ERG\";\n"
    "chr21\tx\tgene\t39800000\t39900000\t.\t-\t.\tgene_id \"G1b\"; gene_name \"ERG\";\n"
    "chr21\tx\tgene\t41382926\t42219084\t.\t-\t.\tgene_id \"G2\"; gene_name \"DSCAM\";\n"
    "chr21\tx\tgene\t41500000\t41600000\t.\t+\t.\tgene_id \"G3\"; gene_name \"BACE2\";\n"
    "chr22\tx\tgene\t100\t200\t.\t+\t.\tgene_id \"G4\";\n";
const std::string gff3 =
    "##gff-version 3\n"
    "21\tx\tregion\t1\t48129895\t.\t+\t.\tID=21;Name=chromosome 21\n"
    "21\tx\tgene\t39751951\t40033704\t.\t-\t.\tID=gene:G1;Name=ERG\n"
    "21\tx\tmRNA\t39751951\t40033704\t.\t-\t.\tID=t1;Parent=gene:G1;Name=ERG-201\n"
    "21\tx\tgene\t39800000\t39900000\t.\t-\t.\tID=gene:G1b;Name=ERG\n"
    "21\tx\tgene\t41382926\t42219084\t.\t-\t.\tID=gene:G2;Name=DSCAM\n"
    "21\tx\tncRNA_gene\t41500000\t41600000\t.\t+\t.\tID=gene:G3;Name=BACE%32\n"
    "22\tx\tgene\t100\t200\t.\t+\t.\tID=gene:G4\n"
    "##FASTA\n>21\nACGT\n";
const std::string bed =
    "track name=genes\n"
    "chr21 39751950 40033704 ERG\n"
    "chr21\t39799999\t39900000\tERG\n"
    "chr21\t41382925\t42219084\tDSCAM\t0\t-\n"
    "chr21\t41499999\t41600000\tBACE2\n"
    "chr22\t99\t200\tG4\n";
// A GTF of transcripts and exons only: each name's span runs from its first start to its last end.
const std::string transcripts =
    "chr21\tx\ttranscript\t39751951\t39900000\t.\t-\t.\tgene_id \"ERG\"; transcript_id \"T1\";\n"
    "chr21\tx\texon\t39990000\t40033704\t.\t-\t.\tgene_id \"ERG\"; transcript_id \"T1\";\n"
    "chr21\tx\ttranscript\t41382926\t42219084\t.\t-\t.\tgene_id \"DSCAM\"; transcript_id \"T2\";\n"
    "chr21\tx\ttranscript\t41500000\t41600000\t.\t+\t.\tgene_id \"BACE2\"; transcript_id \"T3\";\n"
    "chr22\tx\ttranscript\t100\t200\t.\t+\t.\tgene_id \"G4\"; transcript_id \"T4\";\n";

void write_gzip_file(const std::string& path, const std::string& text) {
    gzFile file = gzopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(gzwrite(file, text.data(), static_cast<unsigned>(text.size())), static_cast<int>(text.size()));
    ASSERT_EQ(gzclose(file), Z_OK);
}

TEST(LocusGenes, OverlappingGenesElseTheNearestFromEveryFormat) {
    scratch_dir dir;
    write_file(dir.file("genes.gtf"), gtf);
    write_file(dir.file("genes.gff3"), gff3);
    write_file(dir.file("genes.bed"), bed);
    write_file(dir.file("transcripts.gtf"), transcripts);
    write_gzip_file(dir.file("genes.gtf.gz"), gtf);
    write_gzip_file(dir.file("unnamed"), gff3);  // told by its content
    const std::vector<locus_span> loci = {
        {"21", 39000000, 39751950},  // ends 1 bp before ERG
        {"21", 39850000, 39850001},  // inside both ERG records: one name
        {"chr21", 40000000, 41450000},  // over ERG's end and DSCAM's start
        {"21", 41550000, 41560000},  // inside DSCAM and BACE2, DSCAM starting first
        {"21", 40033805, 40200000},  // 101 bp after ERG's end
        {"21", 40800000, 41370000},  // 12,926 bp before DSCAM, far from ERG
        {"21", 42719084, 42800000},  // 500 kb after DSCAM: nothing on its right
        {"22", 150, 150},
        {"2", 150, 150},  // a chromosome without genes
    };
    const std::vector<std::string> expected = {
        "ERG (+1 bp)", "ERG", "ERG,DSCAM", "DSCAM,BACE2", "ERG (-101 bp)", "DSCAM (+12.9 kb)", "DSCAM (-500.0 kb)",
        "G4", "."};
    for (const char* name : {"genes.gtf", "genes.gff3", "genes.bed", "transcripts.gtf", "genes.gtf.gz", "unnamed"}) {
        SCOPED_TRACE(name);
        gene_table genes;
        ASSERT_EQ(read_gene_file(dir.file(name), genes), run_status::run_ok);
        EXPECT_EQ(genes_column(genes, loci), expected);
    }
}

}  // namespace
}  // namespace corvane::testing
