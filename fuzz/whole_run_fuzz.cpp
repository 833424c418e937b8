// Fuzz target: a whole run of both drivers on small inputs; any difference in status, messages or
// output bytes is a failure.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "common/field_split.hpp"
#include "fuzz_support.hpp"
#include "scan/fast_run.hpp"
#include "scan/reference_run.hpp"
#include "scan/run_setup.hpp"

namespace corvane::fuzzing {
namespace {

// Where the output goes; both drivers write the same path so their messages can match byte for byte.
// Removed when the fuzzer ends normally.
struct scratch_space {
    std::string directory;
    scratch_space() {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/corvane-fuzz-XXXXXX" : "/tmp/corvane-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) fail("mkdtemp failed");
        directory = pattern;
    }
    ~scratch_space() {
        unlink((directory + "/out.tsv").c_str());
        rmdir(directory.c_str());
    }
};

const std::string& scratch_directory() {
    static const scratch_space space;
    return space.directory;
}

// A well-formed legend with one row per field of the first genotype line, for inputs without their own.
std::string legend_for(std::string_view genotypes) {
    field_list fields;
    split_line(fields, genotypes.substr(0, genotypes.find('\n')));
    const size_t rows = fields.size() < 4096 ? fields.size() : 4096;
    std::string legend = "chr\tid\tcM\tbp\n";
    char row[96];
    for (size_t i = 0; i < rows; ++i) {
        std::snprintf(row, sizeof row, "21\trs%zu\t%.4f\t%zu\n", i, 0.0137 * static_cast<double>(i), 1000 + 37 * i);
        legend += row;
    }
    return legend;
}

struct run_record {
    int exit_status = -1;
    captured_streams streams;
    std::string output;
};

using driver = run_status (*)(int, const char* const*, scan_settings&);

run_record run_driver(driver run, const std::vector<std::string>& arguments, const std::string& output) {
    unlink(output.c_str());
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    run_record record;
    begin_capture();
    scan_settings settings;
    const run_status status = run(static_cast<int>(arguments.size()), argv.data(), settings);
    record.exit_status = finish_run(status, settings);
    record.streams = end_capture();
    record.output = file_bytes_or_absent(output);
    return record;
}

const char* const frequencies[16] = {"0.05", "0.2", "0.5", "0.8", "0.3", "0.1", "0.6", "0.9",
                                     "0.01", "0.45", "0.99", "0.7", "0", "1", "nan", "0.9999999999"};

}  // namespace
}  // namespace corvane::fuzzing

// Input: a control byte (low half: frequency; high half: how the command line is formed), then the
// genotype file, then optionally byte 0x1e and the legend file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvane;
    using namespace corvane::fuzzing;
    static const memory_file genotype_file = make_memory_file("genotypes");
    static const memory_file legend_file = make_memory_file("legend");
    if (size < 1) return 0;
    const uint8_t control = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t split = rest.find('\x1e');
    const std::string_view genotypes = rest.substr(0, split);
    fill_memory_file(genotype_file, genotypes);
    fill_memory_file(legend_file, split == std::string_view::npos ? legend_for(genotypes) : rest.substr(split + 1));

    const std::string output = scratch_directory() + "/out.tsv";
    std::vector<std::string> arguments = {"corvane", "-hap", genotype_file.path, "-legend", legend_file.path,
                                          "-freq", frequencies[control & 15], "-out", output};
    switch (control >> 4) {
        case 12: arguments[4] = scratch_directory() + "/no-such-legend"; break;
        case 13: arguments[8] = genotype_file.path; break;
        case 14: arguments.pop_back(); break;
        case 15: arguments[8] = scratch_directory() + "/no-such-dir/out.tsv"; break;
        default: break;
    }
    const std::string& written = arguments.size() == 9 ? arguments[8] : output;
    const run_record reference = run_driver(run_corvane_reference, arguments, written);
    const run_record fast = run_driver(run_corvane, arguments, written);
    if (reference.exit_status != fast.exit_status) {
        fail("exit status " + std::to_string(reference.exit_status) + " (reference) against " +
             std::to_string(fast.exit_status) + " (fast)");
    }
    if (!(reference.streams == fast.streams)) {
        fail("messages differ:\nreference:\n" + reference.streams.out + reference.streams.err + "fast:\n" + fast.streams.out +
             fast.streams.err);
    }
    if (reference.output != fast.output) fail("output differs:\nreference:\n" + reference.output + "fast:\n" + fast.output);
    return 0;
}
