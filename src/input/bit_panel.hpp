// The bit panel file: a 0/1 genotype table at one bit per allele, its layout, loading and checks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "common/run_status.hpp"
#include "input/genotype_reading.hpp"

namespace corvane {

// Layout (all integers little-endian):
//   bytes 0-7    magic 89 43 56 42 0D 0A 1A 0A ("\x89CVB\r\n\x1a\n"; the CR LF and ^Z catch text-mode copies)
//   bytes 8-11   format version, 1
//   bytes 12-15  0 (reserved)
//   bytes 16-23  H, the haplotype count
//   bytes 24-31  S, the SNP count
//   from 32      H rows, one per haplotype in panel order, each words_for_bits(S) = ceil(S / 64) 64-bit
//                words: SNP c at bit c % 64 (bit 0 the least significant) of word c / 64 (bit_words.hpp);
//                the bits after SNP S in a row's last word are 0.
// This is the fast path's table without the zero word after each row, so a load is one read.
constexpr std::array<unsigned char, 8> bit_panel_magic = {0x89, 'C', 'V', 'B', '\r', '\n', 0x1a, '\n'};
constexpr uint32_t bit_panel_version = 1;
constexpr size_t bit_panel_header_bytes = 32;

struct bit_panel_shape {
    int32_t haplotype_count = 0;  // H
    int32_t snp_count = 0;        // S
};

// The 32 header bytes of a panel of `haplotype_count` x `snp_count`.
std::array<unsigned char, bit_panel_header_bytes> bit_panel_header(int64_t haplotype_count, int64_t snp_count);

// True when `path` is a regular file starting with the magic's first byte, which no text or gzip
// panel can start with. Pipes are never taken for bit panels: peeking would consume their bytes.
bool is_bit_panel(const std::string& path);

// Returns where the H rows go: room for H x stride words, stride = ceil(S / 64) + the extra words
// asked for. May throw std::bad_alloc.
using bit_row_storage = std::function<uint64_t*(const bit_panel_shape& shape, size_t stride)>;

// Checks the header and the file size against H and S before anything is allocated, reads every
// row with one read into `storage`, gives each row `extra_words_per_row` zero words after its last
// word, and checks that no row has bits set after its last SNP. Every fault is reported on
// standard error as "PATH: what"; genotype_missing (no message) when the file cannot be opened.
run_status load_bit_panel(const std::string& path, size_t extra_words_per_row, const bit_row_storage& storage);

// The bit panel through the parser's sinks: S, then every haplotype unpacked to 0/1 integers.
run_status read_bit_panel_rows(const std::string& path, const snp_count_sink& on_snp_count,
                               const haplotype_sink& on_haplotype);

}  // namespace corvane
