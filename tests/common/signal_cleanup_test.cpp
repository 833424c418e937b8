// corvane-prepare and corvane-loci ended by SIGTERM, SIGHUP or SIGINT in the middle of a run: they
// end by that signal and leave no temporary file, and the older outputs as they were. Each run reads
// an input from a FIFO that is fed only in part, so it is waiting there, its outputs open, when the
// signal comes.
#include <csignal>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/fixtures.hpp"
#include "support/test_support.hpp"

namespace corvane::testing {
namespace {

// A run of `program` whose input FIFO gets `start` and then nothing more; signalled once a
// temporary file stands in `output_folder`.
run_result signalled_run(const std::string& program, const std::vector<std::string>& arguments, const std::string& fifo,
                         const std::string& start, const std::string& output_folder, int signal_number) {
    int writer = -1;
    size_t written = 0;
    const auto ready = [&] {
        // Opens only once the program has opened its end; fed as fast as it reads.
        if (writer < 0) writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer < 0) return false;
        if (written < start.size()) {
            const ssize_t got = write(writer, start.data() + written, start.size() - written);
            if (got > 0) written += static_cast<size_t>(got);
            return false;
        }
        for (const std::string& name : directory_names(output_folder)) {
            if (name.find(".tmp-") != std::string::npos) return true;
        }
        return false;
    };
    const run_result ran = run_program_until_signalled(program, arguments, signal_number, ready, {.seconds = 60});
    if (writer >= 0) close(writer);
    return ran;
}

struct signal_case {
    const char* tool;
    std::string program;
    // The arguments, with {I} the input folder (where the FIFO "fifo" is) and {O} the output folder.
    std::vector<std::string> arguments;
    std::string start;  // what the FIFO is fed before the signal
    std::map<std::string, std::string> older_outputs;
};

std::vector<signal_case> signal_cases() {
    // htslib reads a few kilobytes before it reads the header: the header is padded past them.
    std::string padding;
    for (int k = 0; k < 1000; ++k) padding += "##comment=padding line " + std::to_string(k) + "\n";
    const std::string vcf_start =
        "##fileformat=VCFv4.2\n##contig=<ID=1,length=1000000>\n" + padding +
        "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
        "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\n1\t100\tx\tA\tG\t.\t.\t.\tGT\t0|1\n";
    return {
        {"corvane-prepare", CORVANE_PREPARE_EXE,
         {"--vcf", "{I}/fifo", "--chr", "1", "--map", "{I}/map.txt", "--out", "{O}/out"}, vcf_start,
         {{"out.hapbits", "older panel\n"}, {"out.legend", "older legend\n"}, {"out.samples", "older samples\n"}}},
        {"corvane-loci", CORVANE_LOCI_EXE,
         {"{I}/fifo", "--bed", "{O}/loci.bed", "-o", "{O}/loci.tsv"}, result_header,
         {{"loci.tsv", "older loci\n"}, {"loci.bed", "older bed\n"}}},
    };
}

TEST(SignalCleanup, ASignalEndsTheRunWithNoTemporaryFileAndTheOlderOutputsKept) {
    for (const signal_case& tool : signal_cases()) {
        for (const int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
            SCOPED_TRACE(std::string(tool.tool) + ", signal " + std::to_string(signal_number));
            scratch_dir input, output;
            ASSERT_EQ(mkfifo(input.file("fifo").c_str(), 0600), 0);
            write_file(input.file("map.txt"), "pos\tchr\tcM\n1\t1\t0\n1000000\t1\t10\n");
            for (const auto& [name, bytes] : tool.older_outputs) write_file(output.file(name), bytes);
            std::vector<std::string> arguments;
            for (std::string argument : tool.arguments) {
                for (const auto& [mark, folder] : {std::pair{"{I}", &input.path}, {"{O}", &output.path}}) {
                    if (const size_t at = argument.find(mark); at != std::string::npos) argument.replace(at, 3, *folder);
                }
                arguments.push_back(argument);
            }
            const run_result ran =
                signalled_run(tool.program, arguments, input.file("fifo"), tool.start, output.path, signal_number);
            EXPECT_FALSE(ran.timed_out) << ran.err;
            EXPECT_EQ(ran.status, 128 + signal_number) << ran.err;
            EXPECT_EQ(directory_contents(output.path), tool.older_outputs);
        }
    }
}

}  // namespace
}  // namespace corvane::testing
