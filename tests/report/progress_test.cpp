// The progress line: its text, and that it appears on a terminal and nowhere else; the progress of
// corvane-prepare and corvane-loci, on a terminal and as plain lines elsewhere.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "report/progress.hpp"
#include "support/test_support.hpp"

namespace corvane {
namespace {

std::string progress_text(int32_t next_focal, int32_t snp_count, int64_t regions, double elapsed,
                          const char* count_path = "") {
    char text[160];
    format_progress(text, sizeof text, next_focal, snp_count, regions, elapsed, count_path);
    return text;
}

TEST(Progress, LineText) {
    EXPECT_EQ(progress_text(450, 1000, 12, 9.0), "corvane: 45.0% of 1000 SNPs, 12 regions, 0:09 elapsed, about 0:11 left");
    EXPECT_EQ(progress_text(0, 1000, 0, 0.2), "corvane: 0.0% of 1000 SNPs, 0 regions, 0:00 elapsed, about ? left");
    // Past the end (the last region's end + 2) is 100%.
    EXPECT_EQ(progress_text(1002, 1000, 90, 3725.0), "corvane: 100.0% of 1000 SNPs, 90 regions, 1:02:05 elapsed, about 0:00 left");
    EXPECT_EQ(progress_text(450, 1000, 12, 9.0, "bits+rare"),
              "corvane: 45.0% of 1000 SNPs, 12 regions, 0:09 elapsed, about 0:11 left, bits+rare");
}

// Runs `program` with `arguments` and standard error on a pseudo-terminal, with the progress test
// variable set to `progress_seconds` unless that is empty; returns what the terminal received and the
// exit status.
std::pair<std::string, int> terminal_output_of(const char* program, const std::vector<std::string>& arguments,
                                               const char* progress_seconds = "") {
    std::vector<const char*> argv = {program};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        // Standard output goes to /dev/null so only standard error reaches the terminal.
        freopen("/dev/null", "w", stdout);
        if (*progress_seconds != '\0') setenv("CORVANE_PROGRESS_SECONDS", progress_seconds, 1);
        execv(program, const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    std::string received;
    char buffer[4096];
    for (;;) {
        pollfd ready{terminal, POLLIN, 0};
        if (poll(&ready, 1, 20000) <= 0) break;
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        if (got <= 0) break;
        received.append(buffer, static_cast<size_t>(got));
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(terminal);
    return {received, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

// Runs corvane on the chr21 genotypes with `legend` and standard error on a pseudo-terminal.
std::pair<std::string, int> terminal_output_of_a_scan(const std::string& legend, const std::string& output_path) {
    return terminal_output_of(CORVANE_EXE, {"-hap", CORVANE_EXAMPLES "/chr21.hap.gz", "-legend", legend, "-freq", "0.2",
                                            "-out", output_path});
}

TEST(Progress, ShownOnATerminalAndWipedAtTheEnd) {
    testing::scratch_dir dir;
    const auto [shown, status] = terminal_output_of_a_scan(CORVANE_EXAMPLES "/chr21.legend.gz", dir.file("out"));
    EXPECT_EQ(status, 0);
    EXPECT_NE(shown.find("% of 1813 SNPs, "), std::string::npos) << shown;
    EXPECT_NE(shown.find(" region"), std::string::npos);
    EXPECT_NE(shown.find(" left, 0/1 bits"), std::string::npos);
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "\033[K");

    // The same scan with standard error not a terminal prints nothing there, and the rows are the same.
    const auto plain = testing::run_scan_tool(CORVANE_EXE, CORVANE_EXAMPLES "/chr21.hap.gz",
                                            CORVANE_EXAMPLES "/chr21.legend.gz", "0.2", dir.file("plain"));
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(testing::read_file(dir.file("plain")), testing::read_file(dir.file("out")));
}

// A message printed while the line is shown (here a legend row that a later region uses, short of
// its last field) clears the line first, so no characters of it are left after the message.
TEST(Progress, ClearedBeforeAMessage) {
    testing::scratch_dir dir;
    std::string legend = testing::read_gzip_file(CORVANE_EXAMPLES "/chr21.legend.gz");
    // Every row from SNP 900 on loses its bp column: the scan is well under way when it meets one.
    size_t line_start = 0;
    for (int line = 0; line < 901; ++line) line_start = legend.find('\n', line_start) + 1;
    for (size_t end = legend.find('\n', line_start); end != std::string::npos; end = legend.find('\n', line_start)) {
        const size_t last_tab = legend.rfind('\t', end);
        legend.erase(last_tab, end - last_tab);
        line_start = legend.find('\n', last_tab) + 1;
    }
    testing::write_file(dir.file("legend"), legend);

    const auto [shown, status] = terminal_output_of_a_scan(dir.file("legend"), dir.file("out"));
    EXPECT_EQ(status, 1);
    const size_t progress_line = shown.find("% of 1813 SNPs, ");
    const size_t message = shown.find(dir.file("legend") + ":");
    ASSERT_NE(progress_line, std::string::npos) << shown;
    ASSERT_NE(message, std::string::npos) << shown;
    EXPECT_LT(progress_line, message) << "the line should be on the terminal when the message comes";
    // The line is drawn with the cursor back at its start; the message clears it before it is written.
    EXPECT_EQ(shown.substr(message - 4, 4), "\r\033[K") << shown;
    EXPECT_NE(shown.find("expected at least 4 fields (chr, id, cM, bp), found 3", message), std::string::npos) << shown;
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// corvane-prepare with standard error not a terminal: with the waits cut to nothing, plain lines say
// how far the reading is; left as they are, a run this short prints none. Standard output stays empty.
TEST(WorkProgress, PlainLinesElsewhereAndNoneForAShortRun) {
    testing::scratch_dir dir;
    const std::vector<std::string> arguments = {"--vcf", CORVANE_EXAMPLES "/chr21.phased.vcf.gz", "--chr", "21", "--map",
                                                CORVANE_EXAMPLES "/chr21.b37.gmap.gz", "--out", dir.file("quiet")};
    const testing::run_result quiet = testing::run_program(CORVANE_PREPARE_EXE, arguments);
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err.find(" elapsed"), std::string::npos) << quiet.err;
    setenv("CORVANE_PROGRESS_SECONDS", "0", 1);
    std::vector<std::string> shown_arguments = arguments;
    shown_arguments.back() = dir.file("shown");
    const testing::run_result shown = testing::run_program(CORVANE_PREPARE_EXE, shown_arguments);
    unsetenv("CORVANE_PROGRESS_SECONDS");
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out, "");
    // The first record read, its share of chromosome 21's length in the VCF's header giving the time left.
    const size_t line = ("\n" + shown.err).find("\ncorvane-prepare: reading " CORVANE_EXAMPLES
                                                "/chr21.phased.vcf.gz: 21:38,347,375, 0 SNPs kept, ");
    ASSERT_NE(line, std::string::npos) << shown.err;
    const std::string first = shown.err.substr(line, shown.err.find('\n', line) - line);
    EXPECT_NE(first.find(" elapsed, about "), std::string::npos) << first;
    EXPECT_TRUE(first.ends_with(" left")) << first;
    EXPECT_EQ(shown.err.find('\r'), std::string::npos);
    EXPECT_EQ(testing::read_file(dir.file("shown.hapbits")), testing::read_file(dir.file("quiet.hapbits")));
}

// corvane-loci on a terminal draws the line and wipes it at the end.
TEST(WorkProgress, OneLineOnATerminalWipedAtTheEnd) {
    testing::scratch_dir dir;
    const auto [shown, status] = terminal_output_of(
        CORVANE_LOCI_EXE, {CORVANE_EXAMPLES "/expected/chr21.f0.2.tsv", "--hap", CORVANE_EXAMPLES "/chr21.hap.gz",
                           "--legend", CORVANE_EXAMPLES "/chr21.legend.gz", "-o", dir.file("loci.tsv")}, "0");
    EXPECT_EQ(status, 0) << shown;
    EXPECT_NE(shown.find("\033[Kcorvane-loci: reading " CORVANE_EXAMPLES "/expected/chr21.f0.2.tsv, 0:00 elapsed\r"),
              std::string::npos) << shown;
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "\033[K");
}

}  // namespace
}  // namespace corvane
