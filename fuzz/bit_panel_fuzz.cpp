// Fuzz target: the bit panel loader of both paths on arbitrary files, against a slow reading of the layout.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.hpp"
#include "input/fast_genotype_loading.hpp"
#include "input/genotype_matrix.hpp"

namespace corvane::fuzzing {
namespace {

uint64_t little_endian(std::string_view bytes, size_t at, int count) {
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The input as a file. Input whose first byte is odd gets a well-formed header of a small H x S
// drawn from its next two bytes, and the rest of it cut or zero-filled to exactly the rows' size,
// so that most runs get past the header checks and reach the rows; other input is the file as it is.
std::string file_for_input(std::string_view data) {
    if (data.size() < 3 || (static_cast<unsigned char>(data[0]) & 1) == 0) return std::string(data);
    const uint64_t haplotypes = 1 + static_cast<unsigned char>(data[1]) % 40;
    const uint64_t snps = 1 + static_cast<unsigned char>(data[2]) % 200;
    std::string file = "\x89" "CVB\r\n\x1a\n";
    const auto append = [&](uint64_t value, int count) {
        for (int i = 0; i < count; ++i) file += static_cast<char>(value >> (8 * i) & 0xff);
    };
    append(1, 4);
    append(0, 4);
    append(haplotypes, 8);
    append(snps, 8);
    std::string rows(data.substr(3));
    rows.resize(haplotypes * ((snps + 63) / 64) * 8, '\0');
    return file + rows;
}

// What the layout says about `file`: valid or not, and its cells when valid.
struct expected_panel {
    bool valid = false;
    std::vector<std::vector<int32_t>> rows;
};

expected_panel model_read(std::string_view file) {
    expected_panel expected;
    if (file.size() < 32 || file.substr(0, 8) != std::string_view("\x89" "CVB\r\n\x1a\n", 8)) return expected;
    if (little_endian(file, 8, 4) != 1) return expected;
    const uint64_t haplotypes = little_endian(file, 16, 8), snps = little_endian(file, 24, 8);
    constexpr uint64_t most = std::numeric_limits<int32_t>::max();
    if (haplotypes == 0 || snps == 0 || haplotypes > most || snps > most) return expected;
    const uint64_t row_bytes = (snps + 63) / 64 * 8;
    if (file.size() != 32 + haplotypes * row_bytes) return expected;
    for (uint64_t r = 0; r < haplotypes; ++r) {
        const std::string_view row = file.substr(32 + r * row_bytes, row_bytes);
        std::vector<int32_t> cells;
        for (uint64_t bit = 0; bit < row_bytes * 8; ++bit) {
            const int value = static_cast<unsigned char>(row[bit / 8]) >> (bit % 8) & 1;
            if (bit < snps) cells.push_back(value);
            else if (value != 0) return expected;
        }
        expected.rows.push_back(std::move(cells));
    }
    expected.valid = true;
    return expected;
}

}  // namespace
}  // namespace corvane::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvane;
    using namespace corvane::fuzzing;
    static const memory_file file = make_memory_file("bits");
    const std::string bytes = file_for_input(std::string_view(reinterpret_cast<const char*>(data), size));
    // Only files starting with 0x89 are bit panels; the genotype_parser target has the rest.
    if (bytes.empty() || static_cast<unsigned char>(bytes[0]) != 0x89) return 0;
    fill_memory_file(file, bytes);

    fast_genotype_matrix table;
    begin_capture();
    const run_status fast_status = load_fast_genotype_matrix(file.path, table);
    const captured_streams fast_streams = end_capture();
    genotype_matrix matrix;
    begin_capture();
    const run_status reference_status = load_genotype_matrix(file.path, matrix);
    const captured_streams reference_streams = end_capture();

    if (!(fast_streams == reference_streams) || fast_status != reference_status) {
        fail("the two loaders disagree: " + fast_streams.err + " | " + reference_streams.err);
    }
    if (!fast_streams.out.empty()) fail("a loader wrote on standard output");
    const expected_panel expected = model_read(bytes);
    if (!expected.valid) {
        if (fast_status != run_status::genotype_malformed) fail("a faulty bit panel was not refused as malformed");
        const std::string prefix = file.path + ": ";
        const std::string& message = fast_streams.err;
        if (message.compare(0, prefix.size(), prefix) != 0 || message.find('\n') != message.size() - 1) {
            fail("not one PATH: message: " + message);
        }
        return 0;
    }
    if (fast_status != run_status::run_ok) fail("a valid bit panel was refused: " + fast_streams.err);
    if (!fast_streams.err.empty()) fail("a valid bit panel printed a message");
    const auto haplotypes = static_cast<int32_t>(expected.rows.size());
    const auto snps = static_cast<int32_t>(expected.rows[0].size());
    if (table.haplotype_count != haplotypes || table.snp_count != snps || matrix.haplotype_count != haplotypes ||
        matrix.snp_count != snps || table.kind != cell_kind::bits) {
        fail("the loaded shape differs from the header's");
    }
    for (int32_t r = 0; r < haplotypes; ++r) {
        if (table.bit_row(r)[table.words_per_row - 1] != 0) fail("the zero word after a row is not zero");
        for (int32_t c = 0; c < snps; ++c) {
            const int32_t value = expected.rows[static_cast<size_t>(r)][static_cast<size_t>(c)];
            if (table.at(r, c) != value || matrix.at(r, c) != value) fail("a loaded cell differs from the file's bit");
        }
    }
    return 0;
}
