# Reading a legend (chr, id, cM, bp, and REF, ALT and the ancestral allele where its header names them),
# plain or gzip, field by field as the scan reads it.
import dataclasses
import re

import numpy

from .faults import InputFault
from .text_input import decoded, line_blocks

NUMBER_PREFIX = re.compile(r"\s*[+-]?(?:inf(?:inity)?|nan|(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)", re.IGNORECASE)
INTEGER_PREFIX = re.compile(r"\s*[+-]?\d+")
REF_NAMES = ("ref", "a0", "allele0")
ALT_NAMES = ("alt", "a1", "allele1")
ANCESTRAL_NAMES = ("aa", "ancestral", "ancestral_allele")


@dataclasses.dataclass
class Legend:
    """One entry per SNP row, in panel column order. ref, alt and ancestral are lists of texts, or None
    where the legend has no such column."""
    path: str
    chrom: list
    ids: list
    cM: numpy.ndarray
    bp: numpy.ndarray
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


def read_legend(path, progress=None):
    """Raises InputFault."""
    chrom, ids, genetic, physical = [], [], [], []
    ref, alt, ancestral = [], [], []
    columns = None
    for first_line, block in line_blocks(path, progress):
        for number, line in enumerate(decoded(path, block).split("\n")[:-1], start=first_line):
            line = line.rstrip("\r")
            if columns is None:
                header = split_legend_line(line)
                # corvane-prepare writes REF and ALT as columns 5 and 6; other names are taken where given.
                wide = len(header) >= 6
                columns = (column_named(header, REF_NAMES, 4 if wide else None),
                           column_named(header, ALT_NAMES, 5 if wide else None),
                           column_named(header, ANCESTRAL_NAMES, None))
                continue
            fields = split_legend_line(line)
            if len(fields) < 4:
                raise InputFault("%s:%d: expected at least 4 fields (chr, id, cM, bp), found %d"
                                 % (path, number, len(fields)))
            chrom.append(fields[0])
            ids.append(fields[1])
            genetic.append(as_number(fields[2]))
            physical.append(as_whole_number(fields[3]))
            for values, column in zip((ref, alt, ancestral), columns):
                if column is not None:
                    values.append(fields[column] if column < len(fields) else "")
    if columns is None:
        raise InputFault("%s:1: empty legend: expected a header line, then one row per SNP" % path)
    return Legend(path, chrom, ids, numpy.array(genetic, numpy.float64), numpy.array(physical, numpy.int64),
                  ref if columns[0] is not None else None, alt if columns[1] is not None else None,
                  ancestral if columns[2] is not None else None)


def other_spelling(name):
    return name[3:] if name.startswith("chr") else "chr" + name


def rows_of(legend, name):
    """Indices of the legend's rows of chromosome name (or of its other spelling, chr21 for 21)."""
    chrom = numpy.array(legend.chrom, dtype=object)
    rows = numpy.flatnonzero(chrom == name)
    if rows.size == 0:
        rows = numpy.flatnonzero(chrom == other_spelling(name))
    return rows
