# Reading a loci table of corvane-loci by its header names, as columns, and checking that it was made from
# the result table drawn with it.
import dataclasses
import math

import numpy

from .columns import numbers, parse_number, parse_whole, split_rows, texts, whole_numbers
from .faults import InputFault
from .text_input import decoded, line_blocks

REQUIRED = ["locus", "chr", "start", "end", "peak_start", "peak_end", "peak_cM", "peak_snps"]
WHOLE = ["start", "end", "peak_start", "peak_end", "peak_snps"]
# Optional columns drawn where a table has them: numbers (empty fields where a population has no value).
OPTIONAL_NUMBERS = ["rank", "p_value", "q_value", "carriers", "carrier_frequency"]
OPTIONAL_TEXTS = ["genes", "core"]
POPULATION_RANK = ".rank"


@dataclasses.dataclass
class Loci:
    """One entry per locus in table order. Names and chromosomes are byte strings; optional: {column:
    numbers, nan for an empty field} of the optional number columns the table has; texts: {column: list
    of byte strings} likewise; population_ranks: {population: ranks} from the columns POP.rank, in
    header order."""
    path: str
    name: numpy.ndarray
    chrom: numpy.ndarray
    line: numpy.ndarray
    locus_start: numpy.ndarray
    locus_end: numpy.ndarray
    start: numpy.ndarray
    end: numpy.ndarray
    cM: numpy.ndarray
    snps: numpy.ndarray
    optional: dict
    texts: dict
    population_ranks: dict

    def __len__(self):
        return len(self.name)


def header_error(path, missing):
    return InputFault("%s:1: expected the loci header line of corvane-loci, with the columns %s (missing: %s)"
                      % (path, " ".join(REQUIRED), " ".join(missing)))


def slow_rows(path, first_line, block, header, width, wanted):
    """The wanted columns of every row of a block, read line by line with the message a fault needs."""
    rows = []
    for number, line in enumerate(decoded(path, block).split("\n")[:-1], start=first_line):
        fields = line.rstrip("\r").split("\t")
        if not line.strip():
            continue
        where = "%s:%d" % (path, number)
        if len(fields) != width:
            raise InputFault("%s: expected %d tab-separated fields, found %d" % (where, width, len(fields)))
        row = [number]
        for name, kind in wanted:
            text = fields[header[name]]
            if name in ("locus", "chr") and not text:
                raise InputFault("%s: empty %s" % (where, "locus name" if name == "locus" else "chromosome"))
            row.append(read_field(text, name, kind, where))
        rows.append(row)
    return rows


def read_field(text, name, kind, where):
    if kind == "text":
        return text.encode()
    if text == "" and kind != "required":
        return math.nan
    if name in WHOLE or kind == "whole":
        return parse_whole(text, name, where)
    return parse_number(text, name, where)


def fast_rows(block, header, width, wanted, first_line):
    """The same for a block of plain rows, column by column; None where the slow pass must look."""
    fields = split_rows(block, width)
    if fields is None:
        return None
    data, starts, ends = fields
    columns = [first_line + numpy.arange(len(starts))]
    for name, kind in wanted:
        column = header[name]
        s, e = starts[:, column], ends[:, column]
        if kind == "text":
            if name in ("locus", "chr"):
                value = texts(data, s, e)
                if value is None or (e == s).any():
                    return None
            else:
                value = [block[a:b] for a, b in zip(s.tolist(), e.tolist())]
        elif name in WHOLE or kind == "whole":
            found = whole_numbers(data, s, e, empty_allowed=kind != "required")
            if found is None:
                return None
            value = numpy.where(found[1], numpy.nan, found[0]) if kind != "required" else found[0]
        else:
            value = numbers(data, s, e, empty_allowed=kind != "required")
            if value is None:
                return None
        columns.append(value)
    return columns


def read_loci(path, keep_core=False):
    """Raises InputFault. Columns the drawing does not use are passed over, so tables with more columns
    read the same."""
    header, width, wanted, parts = None, 0, None, []
    for first_line, block in line_blocks(path):
        if header is None:
            head, _, block = block.partition(b"\n")
            names = decoded(path, head).rstrip("\r").split("\t")
            header = {name: index for index, name in reversed(list(enumerate(names)))}
            missing = [name for name in REQUIRED if name not in header]
            if missing:
                raise header_error(path, missing)
            width = len(names)
            populations = [name[:-len(POPULATION_RANK)] for name in names
                           if name.endswith(POPULATION_RANK) and len(name) > len(POPULATION_RANK)]
            wanted = [("locus", "text"), ("chr", "text")] + [(name, "required") for name in REQUIRED[2:]]
            wanted += [(name, "whole" if name in ("rank", "carriers") else "optional") for name in OPTIONAL_NUMBERS
                       if name in header]
            wanted += [(name, "text") for name in OPTIONAL_TEXTS if name in header and (keep_core or name != "core")]
            wanted += [(population + POPULATION_RANK, "whole") for population in populations]
            first_line += 1
            if not block:
                continue
        columns = fast_rows(block, header, width, wanted, first_line)
        if columns is None:
            rows = slow_rows(path, first_line, block, header, width, wanted)
            if not rows:
                continue
            columns = [list(column) for column in zip(*rows)]
            for index, (name, kind) in enumerate(wanted, start=1):
                if kind == "text" and name in ("locus", "chr"):
                    columns[index] = numpy.array(columns[index], dtype=bytes)
        parts.append(columns)
    if header is None:
        raise InputFault("%s:1: expected the loci header line of corvane-loci, with the columns %s (the file is "
                         "empty)" % (path, " ".join(REQUIRED)))
    return assemble(path, wanted, parts, populations)


def assemble(path, wanted, parts, populations):
    joined = {}
    for index, (name, kind) in enumerate([("line", "whole")] + wanted):
        pieces = [part[index] for part in parts]
        if kind == "text" and name not in ("locus", "chr"):
            joined[name] = [value for piece in pieces for value in piece]
        elif kind == "text":
            joined[name] = numpy.concatenate(pieces) if pieces else numpy.zeros(0, "S1")
        else:
            dtype = numpy.int64 if (kind == "required" and name in WHOLE) or name == "line" else numpy.float64
            joined[name] = numpy.concatenate([numpy.asarray(piece, dtype) for piece in pieces]) if pieces \
                else numpy.zeros(0, dtype)
    optional = {name: joined[name] for name in OPTIONAL_NUMBERS if name in joined}
    return Loci(path, joined["locus"], joined["chr"], joined["line"], joined["start"], joined["end"],
                joined["peak_start"], joined["peak_end"], joined["peak_cM"], joined["peak_snps"],
                optional, {name: joined[name] for name in OPTIONAL_TEXTS if name in joined},
                {population: joined[population + POPULATION_RANK] for population in populations})


def locus_at(loci, index):
    """One locus as a dict of plain values."""
    def optional(name, kind):
        if name not in loci.optional:
            return None
        value = float(loci.optional[name][index])
        return None if math.isnan(value) else kind(value)
    texts_of = {name: loci.texts[name][index].decode("utf-8", "replace") if name in loci.texts else ""
                for name in OPTIONAL_TEXTS}
    return {"name": loci.name[index].decode("utf-8", "replace"), "chr": loci.chrom[index].decode("utf-8", "replace"),
            "line": int(loci.line[index]), "locus_start": int(loci.locus_start[index]),
            "locus_end": int(loci.locus_end[index]), "start": int(loci.start[index]), "end": int(loci.end[index]),
            "cM": float(loci.cM[index]), "snps": int(loci.snps[index]),
            "rank": optional("rank", int), "p_value": optional("p_value", float),
            "q_value": optional("q_value", float), "carriers": optional("carriers", int),
            "carrier_frequency": optional("carrier_frequency", float), "genes": texts_of["genes"],
            "core": texts_of["core"]}


def haplotype_count(loci):
    """H as the carriers columns give it (carriers / carrier_frequency), or None."""
    if "carriers" not in loci.optional or "carrier_frequency" not in loci.optional:
        return None
    carriers, frequency = loci.optional["carriers"], loci.optional["carrier_frequency"]
    usable = numpy.flatnonzero((carriers > 0) & (frequency > 0))
    if usable.size == 0:
        return None
    return int(round(carriers[usable[0]] / frequency[usable[0]]))


def check_made_from(loci, table):
    """Every locus's peak must be a row of the table (chr, startpos, endpos, genetic_dist): loci made from
    another table (another frequency, another panel) would mark the wrong places."""
    found = numpy.zeros(len(loci), bool)
    for code, name in enumerate(table.names):
        rows = numpy.flatnonzero(table.chrom == code)
        mine = numpy.flatnonzero(loci.chrom == name.encode())
        if mine.size == 0:
            continue
        # (start, end) as one number: positions stay below 2^31.
        keys = table.start[rows] * (1 << 32) + table.end[rows]
        order = numpy.argsort(keys, kind="stable")
        keys, lengths = keys[order], table.cM[rows][order]
        wanted = loci.start[mine] * (1 << 32) + loci.end[mine]
        first = numpy.searchsorted(keys, wanted, "left")
        last = numpy.searchsorted(keys, wanted, "right")
        peak = loci.cM[mine]
        nearest = lengths[numpy.minimum(first, len(keys) - 1)]
        same = (first < last) & ((nearest == peak) | (numpy.isnan(nearest) & numpy.isnan(peak)))
        # A table holding a chromosome twice has equal rows; only there can a later one be the peak.
        for index in numpy.flatnonzero(~same & (last - first > 1)):
            candidates = lengths[first[index]:last[index]]
            same[index] = bool(((candidates == peak[index]) | (numpy.isnan(candidates) & math.isnan(peak[index]))).any())
        found[mine] = same
    if not found.all():
        locus = locus_at(loci, int(numpy.flatnonzero(~found)[0]))
        raise InputFault("%s:%d: locus %s has its peak at %s:%d-%d (%s cM), which is not a row of %s: the loci "
                         "were not made from this table" % (loci.path, locus["line"], locus["name"], locus["chr"],
                                                             locus["start"], locus["end"], format(locus["cM"], "g"),
                                                             table.path))
