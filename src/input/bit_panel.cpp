// Reads and checks bit panel files: header, size, one read of all rows, row padding.
#include "input/bit_panel.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "common/counted.hpp"
#include "common/message.hpp"
#include "input/bit_words.hpp"
#include "input/genotype_reading.hpp"

namespace corvane {

namespace {

uint64_t read_le(const unsigned char* bytes, int count) {
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

void write_le(unsigned char* bytes, uint64_t value, int count) {
    for (int i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

// Closes the descriptor on every way out.
struct open_descriptor {
    int fd = -1;
    ~open_descriptor() {
        if (fd >= 0) close(fd);
    }
};

run_status bad_panel(const std::string& path, const std::string& what) {
    print_message(message_kind::place, "%s: %s\n", path.c_str(), what.c_str());
    return run_status::genotype_malformed;
}

run_status unreadable(const std::string& path, int error) {
    print_message(message_kind::tool, "%s: cannot read: %s\n", path.c_str(), std::strerror(error));
    return run_status::input_unreadable;
}

// Reads up to `size` bytes at `offset`; the count read, or -1 with errno set.
int64_t read_fully(int fd, void* target, size_t size, int64_t offset) {
    char* bytes = static_cast<char*>(target);
    size_t done = 0;
    while (done < size) {
        // Linux reads at most about 2 GiB per call.
        const size_t chunk = std::min<size_t>(size - done, size_t{1} << 30);
        const ssize_t got = pread(fd, bytes + done, chunk, static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

std::string shape_text(uint64_t haplotypes, uint64_t snps) {
    return counted(static_cast<int64_t>(haplotypes), "haplotype", "haplotypes") + " x " +
           counted(static_cast<int64_t>(snps), "SNP", "SNPs");
}

// Checks the header against the file size; fills `shape`.
run_status check_header(const std::string& path, int fd, bit_panel_shape& shape) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return unreadable(path, errno);
    const uint64_t file_bytes = static_cast<uint64_t>(info.st_size);
    unsigned char header[bit_panel_header_bytes] = {};
    const int64_t got = read_fully(fd, header, sizeof header, 0);
    if (got < 0) return unreadable(path, errno);
    const size_t magic_bytes = std::min<size_t>(static_cast<size_t>(got), bit_panel_magic.size());
    if (std::memcmp(header, bit_panel_magic.data(), magic_bytes) != 0) {
        return bad_panel(path, "not a genotype file: it starts with byte 0x89 but not with the bit panel's magic "
                               "bytes 89 43 56 42 0D 0A 1A 0A (damaged, or another format)");
    }
    if (static_cast<size_t>(got) < bit_panel_header_bytes) {
        return bad_panel(path, "truncated bit panel: " + std::to_string(got) + " bytes, shorter than its " +
                                   std::to_string(bit_panel_header_bytes) + "-byte header");
    }
    const uint64_t version = read_le(header + 8, 4);
    if (version != bit_panel_version) {
        return bad_panel(path, "bit panel format version " + std::to_string(version) +
                                   " is not supported (this corvane reads version " +
                                   std::to_string(bit_panel_version) + ")");
    }
    const uint64_t haplotypes = read_le(header + 16, 8);
    const uint64_t snps = read_le(header + 24, 8);
    if (haplotypes == 0 || snps == 0) {
        return bad_panel(path, "bit panel of " + shape_text(haplotypes, snps) + ": it must hold at least one of each");
    }
    constexpr uint64_t most = std::numeric_limits<int32_t>::max();
    if (haplotypes > most || snps > most) {
        return bad_panel(path, "bit panel of " + shape_text(haplotypes, snps) + ": at most " + std::to_string(most) +
                                   " of each are supported");
    }
    const uint64_t expected = bit_panel_header_bytes + haplotypes * words_for_bits(static_cast<int64_t>(snps)) * 8;
    if (file_bytes < expected) {
        return bad_panel(path, "truncated bit panel: " + shape_text(haplotypes, snps) + " take " +
                                   std::to_string(expected) + " bytes, the file has " + std::to_string(file_bytes));
    }
    if (file_bytes > expected) {
        return bad_panel(path, "bit panel of " + shape_text(haplotypes, snps) + " should take " +
                                   std::to_string(expected) + " bytes, but the file has " + std::to_string(file_bytes) +
                                   " (a wrong H or S in the header, or bytes appended)");
    }
    shape.haplotype_count = static_cast<int32_t>(haplotypes);
    shape.snp_count = static_cast<int32_t>(snps);
    return run_status::run_ok;
}

// Reads the H rows of the file into `rows`, `stride` words apart: one read when they are packed,
// else the kernel puts each row in its place (up to IOV_MAX rows per call), so no row is moved
// after the read. The count of bytes read, or -1 with errno set.
int64_t read_rows(int fd, uint64_t* rows, size_t haplotypes, size_t row_words, size_t stride) {
    const size_t row_bytes = row_words * 8;
    if (stride == row_words) return read_fully(fd, rows, haplotypes * row_bytes, bit_panel_header_bytes);
    std::vector<iovec> slots(std::min<size_t>(haplotypes, IOV_MAX));
    int64_t done = 0;
    for (size_t first = 0; first < haplotypes;) {
        const size_t count = std::min(slots.size(), haplotypes - first);
        for (size_t i = 0; i < count; ++i) slots[i] = {rows + (first + i) * stride, row_bytes};
        const ssize_t got = preadv(fd, slots.data(), static_cast<int>(count),
                                   static_cast<off_t>(bit_panel_header_bytes + first * row_bytes));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        done += got;
        // A short read (a file shrinking under us, or a signal) restarts after the last whole row.
        if (got == 0) break;
        first += static_cast<size_t>(got) / row_bytes;
        done -= static_cast<int64_t>(static_cast<size_t>(got) % row_bytes);
    }
    return done;
}

}  // namespace

std::array<unsigned char, bit_panel_header_bytes> bit_panel_header(int64_t haplotype_count, int64_t snp_count) {
    std::array<unsigned char, bit_panel_header_bytes> header{};
    std::copy(bit_panel_magic.begin(), bit_panel_magic.end(), header.begin());
    write_le(header.data() + 8, bit_panel_version, 4);
    write_le(header.data() + 16, static_cast<uint64_t>(haplotype_count), 8);
    write_le(header.data() + 24, static_cast<uint64_t>(snp_count), 8);
    return header;
}

bool is_bit_panel(const std::string& path) {
    open_descriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat info {};
    if (file.fd < 0 || fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    unsigned char first = 0;
    return pread(file.fd, &first, 1, 0) == 1 && first == bit_panel_magic[0];
}

run_status load_bit_panel(const std::string& path, size_t extra_words_per_row, const bit_row_storage& storage) {
    open_descriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) return run_status::genotype_missing;
    bit_panel_shape shape;
    run_status status = check_header(path, file.fd, shape);
    if (status != run_status::run_ok) return status;
    const size_t haplotypes = static_cast<size_t>(shape.haplotype_count);
    const size_t row_words = words_for_bits(shape.snp_count);
    const size_t stride = row_words + extra_words_per_row;
    uint64_t* rows = nullptr;
    try {
        rows = storage(shape, stride);
    } catch (const std::bad_alloc&) {
        return report_out_of_memory(path, 0, shape.snp_count);
    }
    posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    const size_t data_bytes = haplotypes * row_words * 8;
    const int64_t got = read_rows(file.fd, rows, haplotypes, row_words, stride);
    if (got < 0) return unreadable(path, errno);
    if (static_cast<size_t>(got) != data_bytes) {
        return bad_panel(path, "truncated bit panel: it ended while being read (" +
                                   std::to_string(bit_panel_header_bytes + static_cast<size_t>(got)) + " bytes)");
    }
    for (size_t r = 0; r < haplotypes; ++r) std::fill(rows + r * stride + row_words, rows + (r + 1) * stride, uint64_t{0});
    const unsigned used_bits = static_cast<unsigned>(shape.snp_count % 64);
    const uint64_t padding = used_bits == 0 ? 0 : ~uint64_t{0} << used_bits;
    for (size_t r = 0; r < haplotypes; ++r) {
        uint64_t* row = rows + r * stride;
        if constexpr (std::endian::native != std::endian::little) {
            for (size_t w = 0; w < row_words; ++w) row[w] = little_endian_word(row[w]);
        }
        if ((row[row_words - 1] & padding) != 0) {
            return bad_panel(path, "bit panel row " + std::to_string(r + 1) + " has bits set after its last SNP (" +
                                       std::to_string(shape.snp_count) +
                                       "); the rest of a row's last word must be 0");
        }
    }
    return run_status::run_ok;
}

run_status read_bit_panel_rows(const std::string& path, const snp_count_sink& on_snp_count,
                               const haplotype_sink& on_haplotype) {
    std::vector<uint64_t> words;
    bit_panel_shape shape;
    run_status status = load_bit_panel(path, 0, [&](const bit_panel_shape& found, size_t stride) {
        shape = found;
        words.resize(static_cast<size_t>(found.haplotype_count) * stride);
        return words.data();
    });
    if (status != run_status::run_ok) return status;
    status = on_snp_count(shape.snp_count);
    const size_t snps = static_cast<size_t>(shape.snp_count);
    const size_t row_words = words_for_bits(shape.snp_count);
    std::vector<int32_t> alleles(snps);
    for (size_t r = 0; r < static_cast<size_t>(shape.haplotype_count) && status == run_status::run_ok; ++r) {
        const uint64_t* row = words.data() + r * row_words;
        unpack_bits(row, snps, alleles.data());
        status = on_haplotype(alleles);
    }
    return status;
}

}  // namespace corvane
