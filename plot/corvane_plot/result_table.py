# Reading a result table of corvane into columns: a vectorised pass over blocks of whole lines, and a
# line-by-line pass that gives the exact message wherever a block is not plain rows.
import dataclasses

import numpy

from .columns import numbers, parse_number, parse_whole, split_rows, texts, whole_numbers
from .faults import InputFault
from .text_input import decoded, line_blocks

HEADER = ["chr", "startpos", "endpos", "genetic_dist", "physical_dist", "n.snp"]
HEADER_LINE = ("\t".join(HEADER) + "\n").encode()


@dataclasses.dataclass
class ResultTable:
    """The rows of a result table, in file order, as columns. chrom holds indices into names, the
    chromosomes in the order they first appear."""
    path: str
    names: list
    chrom: numpy.ndarray
    start: numpy.ndarray
    end: numpy.ndarray
    cM: numpy.ndarray
    snps: numpy.ndarray

    def __len__(self):
        return len(self.start)


def parse_row(fields, where):
    """One row read the slow way, with the message a fault needs. Genetic lengths may be anything the
    scan writes: negative where legend cM decrease, inf, nan."""
    if len(fields) != len(HEADER):
        raise InputFault("%s: expected %d tab-separated fields, found %d" % (where, len(HEADER), len(fields)))
    if not fields[0]:
        raise InputFault("%s: empty chromosome name" % where)
    start = parse_whole(fields[1], "startpos", where)
    end = parse_whole(fields[2], "endpos", where)
    if end < start:
        raise InputFault("%s: endpos %d is before startpos %d" % (where, end, start))
    genetic = parse_number(fields[3], "genetic_dist", where)
    parse_whole(fields[4], "physical_dist", where)
    snps = parse_whole(fields[5], "n.snp", where)
    return fields[0], start, end, genetic, snps


def slow_block(path, first_line, block):
    """Every row of a block, line by line: blank lines and repeated header lines passed over."""
    rows = []
    for number, line in enumerate(decoded(path, block).split("\n")[:-1], start=first_line):
        line = line.rstrip("\r")
        fields = line.split("\t")
        if fields == HEADER or not line.strip():
            continue
        rows.append(parse_row(fields, "%s:%d" % (path, number)))
    if not rows:
        return None
    chroms, starts, ends, genetic, snps = zip(*rows)
    return (numpy.array([name.encode() for name in chroms]), numpy.array(starts, numpy.int64),
            numpy.array(ends, numpy.int64), numpy.array(genetic, numpy.float64), numpy.array(snps, numpy.int64))


def fast_block(block):
    """The rows of a block that holds nothing but rows of six tab-separated fields and header lines, or
    None (the slow pass then gives the message, or reads what this one does not: CRs, blank lines,
    signs, ...)."""
    fields = split_rows(block, len(HEADER), HEADER_LINE)
    if fields is None:
        return None
    data, starts, ends = fields
    if len(starts) == 0:
        return "only headers"
    chrom = texts(data, starts[:, 0], ends[:, 0])
    start = whole_numbers(data, starts[:, 1], ends[:, 1])
    end = whole_numbers(data, starts[:, 2], ends[:, 2])
    physical = whole_numbers(data, starts[:, 4], ends[:, 4])
    snps = whole_numbers(data, starts[:, 5], ends[:, 5])
    genetic = numbers(data, starts[:, 3], ends[:, 3])
    if any(column is None for column in (chrom, start, end, physical, snps, genetic)):
        return None
    if (chrom == b"").any() or (end[0] < start[0]).any():
        return None
    return chrom, start[0], end[0], genetic, snps[0]


def read_result_table(path, progress=None):
    """The rows of a result table (plain or gzip; several tables concatenated, with their header lines,
    read as one). Raises InputFault."""
    parts = []
    names = {}
    first = True
    for first_line, block in line_blocks(path, progress):
        if first:
            first = False
            head, _, block = block.partition(b"\n")
            if head.rstrip(b"\r").split(b"\t") != [name.encode() for name in HEADER]:
                decoded(path, head)
                raise InputFault("%s:1: expected the tab-separated header line: %s" % (path, " ".join(HEADER)))
            first_line += 1
            if not block:
                continue
        rows = fast_block(block)
        if rows is None:
            rows = slow_block(path, first_line, block)
        if rows is None or rows == "only headers":
            continue
        chrom_text, start, end, genetic, snps = rows
        uniques, first_index, inverse = numpy.unique(chrom_text, return_index=True, return_inverse=True)
        codes = numpy.empty(len(uniques), numpy.int32)
        for position in numpy.argsort(first_index, kind="stable"):
            name = decoded(path, uniques[position])
            codes[position] = names.setdefault(name, len(names))
        parts.append((codes[inverse], start, end, genetic, snps.astype(numpy.int32)))
    if first:
        raise InputFault("corvane-plot: %s: empty file, expected the tab-separated header line: %s"
                         % (path, " ".join(HEADER)))
    columns = [numpy.concatenate([part[k] for part in parts]) if parts else numpy.zeros(0, dtype)
               for k, dtype in enumerate([numpy.int32, numpy.int64, numpy.int64, numpy.float64, numpy.int32])]
    return ResultTable(path, list(names), *columns)
