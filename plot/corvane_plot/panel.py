# Reading the columns of a haplotype panel that a figure needs: a bit panel (read in place, only the words
# of those columns) or a text panel, plain or gzip.
import os

import numpy

from .faults import InputFault
from .text_input import cannot_read, decoded, line_blocks

BIT_PANEL_MAGIC = b"\x89CVB\r\n\x1a\n"
HEADER_BYTES = 32
LARGEST_COUNT = 2 ** 31 - 1


def is_bit_panel(path):
    try:
        with open(path, "rb") as stream:
            return stream.read(1) == b"\x89"
    except OSError as fault:
        raise cannot_read(path, fault) from None


def bit_panel_shape(path):
    """(H, S) from a bit panel's header, its size checked against them."""
    try:
        with open(path, "rb") as stream:
            head = stream.read(HEADER_BYTES)
            size = os.fstat(stream.fileno()).st_size
    except OSError as fault:
        raise cannot_read(path, fault) from None
    if len(head) < HEADER_BYTES:
        raise InputFault("%s: truncated bit panel: %d bytes, shorter than its 32-byte header" % (path, len(head)))
    if head[:8] != BIT_PANEL_MAGIC:
        raise InputFault("%s: not a genotype file: it starts with byte 0x89 but not with the bit panel's magic "
                         "bytes 89 43 56 42 0D 0A 1A 0A (damaged, or another format)" % path)
    version = int.from_bytes(head[8:12], "little")
    if version != 1:
        raise InputFault("%s: bit panel format version %d is not supported (this corvane reads version 1)"
                         % (path, version))
    haplotypes = int.from_bytes(head[16:24], "little")
    snps = int.from_bytes(head[24:32], "little")
    if not (1 <= haplotypes <= LARGEST_COUNT and 1 <= snps <= LARGEST_COUNT):
        raise InputFault("%s: bit panel of %d haplotypes x %d SNPs: it must hold at least one of each, at most "
                         "2147483647" % (path, haplotypes, snps))
    expected = HEADER_BYTES + 8 * haplotypes * ((snps + 63) // 64)
    if size != expected:
        raise InputFault("%s: bit panel of %d haplotypes x %d SNPs should take %d bytes, but the file has %d"
                         % (path, haplotypes, snps, expected, size))
    return haplotypes, snps


def bit_panel_columns(path, first, last):
    """The alleles of SNPs first..last (from 0) of every haplotype, as an H x n matrix of bytes 0/1."""
    haplotypes, snps = bit_panel_shape(path)
    words = (snps + 63) // 64
    try:
        table = numpy.memmap(path, dtype="<u8", mode="r", offset=HEADER_BYTES, shape=(haplotypes, words))
        part = numpy.array(table[:, first // 64:last // 64 + 1])
    except (OSError, ValueError) as fault:
        raise cannot_read(path, fault) from None
    bits = numpy.unpackbits(part.view(numpy.uint8), axis=1, bitorder="little")
    offset = first - (first // 64) * 64
    return numpy.ascontiguousarray(bits[:, offset:offset + last - first + 1]), haplotypes, snps


def text_panel_columns(path, first, last, progress=None):
    """The same from a text panel: one haplotype per line, whitespace-separated integer alleles."""
    rows = []
    snps = None
    for first_line, block in line_blocks(path, progress):
        for number, line in enumerate(decoded(path, block).split("\n")[:-1], start=first_line):
            alleles = line.split()
            if snps is None:
                if not alleles:
                    raise InputFault("%s:%d: empty line" % (path, number))
                snps = len(alleles)
                if last >= snps:
                    raise InputFault("%s:1: the panel has %d SNPs, but the legend's SNP %d is drawn"
                                     % (path, snps, last + 1))
            if len(alleles) != snps:
                if not alleles:
                    raise InputFault("%s:%d: empty line" % (path, number))
                raise InputFault("%s:%d: expected %d alleles, found %d" % (path, number, snps, len(alleles)))
            try:
                rows.append([int(allele) for allele in alleles[first:last + 1]])
            except ValueError:
                for column, allele in enumerate(alleles[first:last + 1], start=first + 1):
                    try:
                        int(allele)
                    except ValueError:
                        raise InputFault("%s:%d: allele %d is not an integer: \"%s\"" % (path, number, column, allele)) \
                            from None
    if not rows:
        raise InputFault("%s:1: empty file: no haplotypes" % path)
    try:
        matrix = numpy.array(rows, numpy.int32)
    except OverflowError:
        raise InputFault("%s: an allele is outside the 32-bit integer range" % path) from None
    return matrix, len(rows), snps


def panel_columns(path, first, last, progress=None):
    """(H x n allele matrix of SNPs first..last, H, S)."""
    if is_bit_panel(path):
        return bit_panel_columns(path, first, last)
    return text_panel_columns(path, first, last, progress)


def panel_shape(path):
    """(H, S) of a panel without reading its alleles where the format allows (a bit panel's header);
    a text panel is counted line by line."""
    if is_bit_panel(path):
        return bit_panel_shape(path)
    haplotypes, snps = 0, None
    for _, block in line_blocks(path):
        if snps is None:
            snps = len(decoded(path, block[:block.find(b"\n")]).split())
        haplotypes += block.count(b"\n")
    return haplotypes, snps or 0
