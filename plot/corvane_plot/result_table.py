# Reading a result table of corvane into columns: a vectorised pass over blocks of whole lines, and a
# line-by-line pass that gives the exact message wherever a block is not plain rows.
import dataclasses
import math

import numpy

from .faults import InputFault
from .text_input import decoded, line_blocks

HEADER = ["chr", "startpos", "endpos", "genetic_dist", "physical_dist", "n.snp"]
HEADER_LINE = ("\t".join(HEADER) + "\n").encode()
LONGEST_NUMBER = 18  # digits; any count the scan writes is far shorter
TAB, NEWLINE, ZERO = 9, 10, 48


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


def parse_int(text, name, where):
    try:
        value = int(text)
    except ValueError:
        raise InputFault("%s: %s is not an integer: \"%s\"" % (where, name, text)) from None
    if value < 0:
        raise InputFault("%s: %s is negative: %s" % (where, name, text))
    return value


def parse_row(fields, where):
    """One row read the slow way, with the message a fault needs. Genetic lengths may be anything the
    scan writes: negative where legend cM decrease, inf, nan."""
    if len(fields) != len(HEADER):
        raise InputFault("%s: expected %d tab-separated fields, found %d" % (where, len(HEADER), len(fields)))
    if not fields[0]:
        raise InputFault("%s: empty chromosome name" % where)
    start = parse_int(fields[1], "startpos", where)
    end = parse_int(fields[2], "endpos", where)
    if end < start:
        raise InputFault("%s: endpos %d is before startpos %d" % (where, end, start))
    try:
        genetic = float(fields[3])
    except ValueError:
        raise InputFault("%s: genetic_dist is not a number: \"%s\"" % (where, fields[3])) from None
    parse_int(fields[4], "physical_dist", where)
    snps = parse_int(fields[5], "n.snp", where)
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


def field_matrix(data, starts, ends):
    """The bytes of one field of every row, right-aligned in a matrix, with the mask of the field's own
    bytes; None where a field is empty or too long to be a number the scan writes."""
    widths = ends - starts
    if widths.size == 0 or widths.min() < 1 or widths.max() > LONGEST_NUMBER:
        return None, None
    width = int(widths.max())
    index = ends[:, None] + numpy.arange(-width, 0, dtype=ends.dtype)
    mask = index >= starts[:, None]
    # Bytes before a short field are the row's earlier bytes (index never below 0 past the first field).
    matrix = data[numpy.maximum(index, 0)]
    matrix[~mask] = 0
    return matrix, mask


def digits_value(data, starts, ends):
    """Whole numbers written as plain decimal digits; None when any field is something else."""
    matrix, mask = field_matrix(data, starts, ends)
    if matrix is None:
        return None
    digits = matrix - numpy.uint8(ZERO)
    digits[~mask] = 0
    if (digits > 9).any():
        return None
    powers = 10 ** numpy.arange(matrix.shape[1] - 1, -1, -1, dtype=numpy.int64)
    return digits.astype(numpy.int64) @ powers


def text_column(data, starts, ends):
    """The fields as fixed-width byte strings (zero bytes in front, which numpy's byte strings drop
    only at the end: so the matrix is left-aligned first)."""
    widths = ends - starts
    if widths.size == 0 or widths.min() < 1 or widths.max() > 64:
        return None
    width = int(widths.max())
    index = starts[:, None] + numpy.arange(width, dtype=starts.dtype)
    matrix = data[numpy.minimum(index, len(data) - 1)]
    matrix[index >= ends[:, None]] = 0
    return numpy.ascontiguousarray(matrix).view("S%d" % width).ravel()


def fast_block(block):
    """The rows of a block that holds nothing but rows of six tab-separated fields and header lines,
    or None (the slow pass then gives the message, or reads what the fast one does not: CRs, blank lines,
    signs, ...)."""
    if b"\r" in block:
        return None
    data = numpy.frombuffer(block, numpy.uint8)
    separators = numpy.flatnonzero((data == TAB) | (data == NEWLINE)).astype(numpy.int32)
    rows = separators.size // 6
    if rows == 0 or separators.size != rows * 6:
        return None
    ends = separators.reshape(rows, 6)
    if not (data[ends[:, 5]] == NEWLINE).all() or not (data[ends[:, :5]] == TAB).all():
        return None
    starts = numpy.empty_like(ends)
    starts.flat[0] = 0
    starts.flat[1:] = ends.flat[:-1] + 1
    keep = numpy.ones(rows, bool)
    found = block.find(HEADER_LINE)
    while found >= 0:
        if found == 0 or block[found - 1] == NEWLINE:
            keep[numpy.searchsorted(starts[:, 0], found)] = False
        found = block.find(HEADER_LINE, found + 1)
    if not keep.all():
        starts, ends = starts[keep], ends[keep]
        if len(starts) == 0:
            return "only headers"
    chrom = text_column(data, starts[:, 0], ends[:, 0])
    start = digits_value(data, starts[:, 1], ends[:, 1])
    end = digits_value(data, starts[:, 2], ends[:, 2])
    physical = digits_value(data, starts[:, 4], ends[:, 4])
    snps = digits_value(data, starts[:, 5], ends[:, 5])
    genetic = text_column(data, starts[:, 3], ends[:, 3])
    if chrom is None or start is None or end is None or physical is None or snps is None or genetic is None:
        return None
    if (end < start).any():
        return None
    try:
        genetic = genetic.astype(numpy.float64)
    except ValueError:
        return None
    return chrom, start, end, genetic, snps


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


def genetic_lengths_set_aside(table):
    """Counts of the rows no cM height can be given: (nan, +-inf)."""
    return int(numpy.isnan(table.cM).sum()), int(numpy.isinf(table.cM).sum())


def is_finite(value):
    return not (math.isnan(value) or math.isinf(value))
