// The genotype loader: table shape, line ends, compressed and unreadable input. Every way a line can
// be malformed is a row of the scan's bad-input case table (scan/scan_bad_input_test.cpp).
#include <gtest/gtest.h>

#include "input/genotype_matrix.hpp"
#include "support/test_support.hpp"

namespace corvane {
namespace {

using testing::scratch_dir;
using testing::write_file;

struct load_result {
    run_status status;
    genotype_matrix matrix;
    std::string err;
};

load_result load_text(const std::string& text) {
    scratch_dir dir;
    const std::string path = dir.file("g.txt");
    write_file(path, text);
    load_result result;
    ::testing::internal::CaptureStderr();
    result.status = load_genotype_matrix(path, result.matrix);
    result.err = ::testing::internal::GetCapturedStderr();
    // Messages name the file; tests compare what follows the path.
    if (result.err.rfind(path, 0) == 0) result.err = result.err.substr(path.size());
    return result;
}

TEST(GenotypeLoader, ShapeAndValues) {
    const load_result tabs = load_text("0\t1\t0\t1\n1\t1\t0\t0\n-7\t+3\t256\t2147483647\n");
    ASSERT_EQ(tabs.status, run_status::run_ok);
    EXPECT_EQ(tabs.matrix.haplotype_count, 3);
    EXPECT_EQ(tabs.matrix.snp_count, 4);
    EXPECT_EQ(tabs.matrix.cells, (std::vector<int32_t>{0, 1, 0, 1, 1, 1, 0, 0, -7, 3, 256, 2147483647}));
    EXPECT_EQ(tabs.err, "");

    // The last line counts without its newline; blanks separate as well as tabs; CR LF ends work.
    const load_result no_newline = load_text("0 1 0 1\r\n1 1 0 0\r\n-2147483648 0 0 1");
    ASSERT_EQ(no_newline.status, run_status::run_ok);
    EXPECT_EQ(no_newline.matrix.haplotype_count, 3);
    EXPECT_EQ(no_newline.matrix.at(2, 0), -2147483648);
    EXPECT_EQ(no_newline.matrix.at(2, 3), 1);

    const load_result one_line = load_text("5");
    ASSERT_EQ(one_line.status, run_status::run_ok);
    EXPECT_EQ(one_line.matrix.haplotype_count, 1);
    EXPECT_EQ(one_line.matrix.snp_count, 1);
}

TEST(GenotypeLoader, MissingFileAndCompressedInput) {
    genotype_matrix matrix;
    EXPECT_EQ(load_genotype_matrix("/nonexistent/g.txt", matrix), run_status::genotype_missing);

    // The example panel ships gzip-compressed: 758 haplotypes of 1,813 SNPs.
    ASSERT_EQ(load_genotype_matrix(CORVANE_EXAMPLES "/chr21.hap.gz", matrix), run_status::run_ok);
    EXPECT_EQ(matrix.haplotype_count, 758);
    EXPECT_EQ(matrix.snp_count, 1813);
}

TEST(GenotypeLoader, UnreadableInputs) {
    scratch_dir dir;
    genotype_matrix matrix;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(load_genotype_matrix(dir.path, matrix), run_status::input_unreadable);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("cannot read: Is a directory"), std::string::npos);

    // A gzip file cut short is an error, not a shorter table.
    const std::string whole = testing::read_file(CORVANE_EXAMPLES "/chr21.hap.gz");
    const std::string cut = dir.file("cut.gz");
    write_file(cut, whole.substr(0, whole.size() / 2));
    ::testing::internal::CaptureStderr();
    const run_status status = load_genotype_matrix(cut, matrix);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, run_status::input_unreadable);
    EXPECT_EQ(err, "corvane: " + cut + ": cannot read: compressed data ends early (truncated file)\n");

    // A damaged checksum fails the run even though every line read well.
    std::string damaged = whole;
    damaged[damaged.size() - 8] = static_cast<char>(damaged[damaged.size() - 8] ^ 0xff);
    const std::string damaged_path = dir.file("damaged.gz");
    write_file(damaged_path, damaged);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(load_genotype_matrix(damaged_path, matrix), run_status::input_unreadable);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "corvane: " + damaged_path + ": cannot read: incorrect data check\n");
}

}  // namespace
}  // namespace corvane
