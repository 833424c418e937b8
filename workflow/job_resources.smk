# What each step asks a cluster for (memory in MB, run time in minutes), from the size of its input.
#
# Both corvane-prepare and corvane hold the panel as one bit per allele, so their memory grows with
# H x S (haplotypes x SNPs). The scan reads the panel corvane-prepare wrote: a bit panel, whose
# header holds H and S; or text of 0/1 alleles, each with its tab or newline, so H x S is half the
# panel's text, read from the BGZF block headers without decompressing. corvane's measured peak is about 0.21 bytes per allele (209 MB for 5,000 x 200,000,
# 2.5 to 3 s); it asks for 0.5 bytes per allele plus 200 MB, and 10 minutes plus one per 10^8
# alleles. corvane-prepare learns H x S only while it reads, so it is bounded from the VCF/BCF's
# size: genotypes compress to no less than 1/64 byte per allele, whose bit table (8 bytes per
# compressed byte) is copied while it grows: 24 MB per MB of input, and 10 minutes plus one per
# 10 MB. corvane-plot was measured at about 66 MB plus 145 bytes per row of a genome figure with loci
# (122 bytes per row for one chromosome's panel), and a row of a scan table is about 40 bytes of
# text: a plot asks for 100 MB plus 0.0002 MB (200 bytes) per row, the rows taken as the table's
# bytes / 40 (2 million rows: 500 MB). Every request is at least 1000 MB and 10 minutes; the config's
# `resources` overrides any.
import gzip
import math
import os
import struct

MEBIBYTE = 1024 * 1024
SMALLEST_MEM_MB = 1000
SHORTEST_RUNTIME = 10
SCAN_ROW_BYTES = 40


def bgzf_text_bytes(path):
    """Uncompressed size of a BGZF file, summed from its blocks' sizes; None if it is not BGZF."""
    total = 0
    with open(path, "rb") as stream:
        while True:
            head = stream.read(18)
            if not head:
                return total
            # gzip magic, deflate, FEXTRA, a 6-byte extra field holding the "BC" subfield of 2 bytes
            if len(head) < 18 or head[:4] != b"\x1f\x8b\x08\x04" or head[10:16] != b"\x06\x00BC\x02\x00":
                return None
            block_size = struct.unpack("<H", head[16:18])[0] + 1
            stream.seek(block_size - 18 - 4, os.SEEK_CUR)
            tail = stream.read(4)
            if len(tail) < 4:
                return None
            total += struct.unpack("<I", tail)[0]


def text_bytes(path):
    """Uncompressed size of a plain, gzip or BGZF file."""
    size = bgzf_text_bytes(path)
    if size is not None:
        return size
    with open(path, "rb") as stream:
        compressed = stream.read(2) == b"\x1f\x8b"
    if not compressed:
        return os.path.getsize(path)
    size = 0
    with gzip.open(path, "rb") as stream:
        while chunk := stream.read(1 << 20):
            size += len(chunk)
    return size


def existing_size(path):
    """Size of an input in bytes; 0 while it does not exist yet (Snakemake asks again when it does)."""
    return os.path.getsize(path) if os.path.exists(path) else 0


def bit_panel_shape(path):
    """(H, S) from a bit panel's header; None if PATH is not a bit panel."""
    with open(path, "rb") as stream:
        head = stream.read(32)
    if len(head) == 32 and head[:8] == b"\x89CVB\r\n\x1a\n":
        return struct.unpack("<QQ", head[16:32])
    return None


def panel_alleles(path):
    """H x S of a panel: from a bit panel's header, else half of its text."""
    if not os.path.exists(path):
        return 0
    shape = bit_panel_shape(path)
    if shape:
        return shape[0] * shape[1]
    return text_bytes(path) // 2


def prepare_mem_mb(wildcards, input):
    return max(SMALLEST_MEM_MB, 200 + math.ceil(24 * existing_size(input.vcf) / MEBIBYTE))


def prepare_runtime(wildcards, input):
    return max(SHORTEST_RUNTIME, 10 + math.ceil(existing_size(input.vcf) / (10 * MEBIBYTE)))


def scan_mem_mb(wildcards, input):
    return max(SMALLEST_MEM_MB, 200 + math.ceil(0.5 * panel_alleles(input.hap) / MEBIBYTE))


def scan_runtime(wildcards, input):
    return max(SHORTEST_RUNTIME, 10 + math.ceil(panel_alleles(input.hap) / 1e8))


def plot_mem_mb(wildcards, input):
    rows = existing_size(input.table) / SCAN_ROW_BYTES
    return max(SMALLEST_MEM_MB, math.ceil(100 + 0.0002 * rows))
