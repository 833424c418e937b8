# Reading a legend (chr, id, cM, bp, and REF, ALT and the ancestral allele where its header names them),
# plain or gzip, field by field as the scan reads it: columns a block at a time, line by line where a
# block is not plain rows.
import dataclasses
import re

import numpy

from .columns import numbers, split_rows, texts, whole_numbers
from .faults import InputFault
from .text_input import decoded, line_blocks

NUMBER_PREFIX = re.compile(r"\s*[+-]?(?:inf(?:inity)?|nan|(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)", re.IGNORECASE)
INTEGER_PREFIX = re.compile(r"\s*[+-]?\d+")
REF_NAMES = ("ref", "a0", "allele0")
ALT_NAMES = ("alt", "a1", "allele1")
ANCESTRAL_NAMES = ("aa", "ancestral", "ancestral_allele")


@dataclasses.dataclass
class Legend:
    """One entry per SNP row, in panel column order; chrom as byte strings. ids, ref, alt and ancestral
    are lists of texts when the reader was asked for the alleles (ref, alt, ancestral: None where the
    legend has no such column)."""
    path: str
    chrom: numpy.ndarray
    cM: numpy.ndarray
    bp: numpy.ndarray
    ids: list
    ref: list
    alt: list
    ancestral: list

    def __len__(self):
        return len(self.bp)


def split_legend_line(line):
    """Tabs, or single blanks on a line without a tab: the scan's own splitting."""
    return line.split("\t") if "\t" in line else line.split(" ")


def as_number(text):
    """Read as C's atof reads it: the longest numeric prefix, 0 where there is none."""
    try:
        return float(text)
    except ValueError:
        match = NUMBER_PREFIX.match(text)
        return float(match.group(0)) if match else 0.0


def as_whole_number(text):
    try:
        return int(text)
    except ValueError:
        match = INTEGER_PREFIX.match(text)
        return int(match.group(0)) if match else 0


def column_named(header, names, fallback):
    for index, name in enumerate(header):
        if name.strip().lower() in names:
            return index
    return fallback


def slow_block(path, first_line, block, texts_wanted):
    """(chrom, cM, bp, [text columns]) of every row, line by line."""
    chrom, genetic, physical = [], [], []
    text_values = [[] for _ in texts_wanted]
    for number, line in enumerate(decoded(path, block).split("\n")[:-1], start=first_line):
        fields = split_legend_line(line.rstrip("\r"))
        if len(fields) < 4:
            raise InputFault("%s:%d: expected at least 4 fields (chr, id, cM, bp), found %d" % (path, number,
                                                                                                 len(fields)))
        chrom.append(fields[0].encode())
        genetic.append(as_number(fields[2]))
        physical.append(as_whole_number(fields[3]))
        for values, column in zip(text_values, texts_wanted):
            values.append(fields[column] if column < len(fields) else "")
    return (numpy.array(chrom, dtype=bytes), numpy.array(genetic, numpy.float64), numpy.array(physical, numpy.int64),
            text_values)


def fast_block(block, width, texts_wanted):
    """The same for a block of tab-separated rows of width fields; None where the slow pass must look."""
    fields = split_rows(block, width)
    if fields is None:
        return None
    data, starts, ends = fields
    chrom = texts(data, starts[:, 0], ends[:, 0])
    genetic = numbers(data, starts[:, 2], ends[:, 2])
    physical = whole_numbers(data, starts[:, 3], ends[:, 3])
    if chrom is None or genetic is None or physical is None:
        return None
    text_values = []
    for column in texts_wanted:
        text_values.append([block[a:b].decode("utf-8", "replace")
                            for a, b in zip(starts[:, column].tolist(), ends[:, column].tolist())])
    return chrom, genetic, physical[0], text_values


def read_legend(path, progress=None, alleles=False):
    """Raises InputFault. With alleles, the SNP ids and the REF, ALT and ancestral columns are kept."""
    parts = []
    columns = None
    for first_line, block in line_blocks(path, progress):
        if columns is None:
            head, _, block = block.partition(b"\n")
            header = split_legend_line(decoded(path, head).rstrip("\r"))
            # corvane-prepare writes REF and ALT as columns 5 and 6; other names are taken where given.
            wide = len(header) >= 6
            columns = (column_named(header, REF_NAMES, 4 if wide else None),
                       column_named(header, ALT_NAMES, 5 if wide else None),
                       column_named(header, ANCESTRAL_NAMES, None))
            texts_wanted = ([1] + [column for column in columns if column is not None]) if alleles else []
            width = len(header)
            first_line += 1
            if not block:
                continue
        rows = fast_block(block, width, texts_wanted) if width >= 4 else None
        if rows is None:
            rows = slow_block(path, first_line, block, texts_wanted)
        parts.append(rows)
    if columns is None:
        raise InputFault("%s:1: empty legend: expected a header line, then one row per SNP" % path)
    chrom = numpy.concatenate([part[0] for part in parts]) if parts else numpy.zeros(0, "S1")
    genetic = numpy.concatenate([part[1] for part in parts]) if parts else numpy.zeros(0)
    physical = numpy.concatenate([part[2] for part in parts]) if parts else numpy.zeros(0, numpy.int64)
    text_columns = [[value for part in parts for value in part[3][k]] for k in range(len(texts_wanted))]
    ids, ref, alt, ancestral = None, None, None, None
    if alleles:
        ids = text_columns[0]
        rest = iter(text_columns[1:])
        ref, alt, ancestral = [next(rest) if column is not None else None for column in columns]
    return Legend(path, chrom, genetic, physical, ids, ref, alt, ancestral)


def other_spelling(name):
    return name[3:] if name.startswith("chr") else "chr" + name


def rows_of(legend, name):
    """Indices of the legend's rows of chromosome name (or of its other spelling, chr21 for 21)."""
    rows = numpy.flatnonzero(legend.chrom == name.encode())
    if rows.size == 0:
        rows = numpy.flatnonzero(legend.chrom == other_spelling(name).encode())
    return rows
