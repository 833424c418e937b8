# Reading a loci table of corvane-loci by its header names, and checking that it was made from the result
# table drawn with it.
import math

import numpy

from .faults import InputFault
from .text_input import decoded, line_blocks

REQUIRED = ["locus", "chr", "start", "end", "peak_start", "peak_end", "peak_cM", "peak_snps"]
WHOLE_NUMBERS = ["start", "end", "peak_start", "peak_end", "peak_snps"]
POPULATION_RANK = ".rank"


def whole_number(text, name, where):
    try:
        value = int(text)
    except ValueError:
        raise InputFault("%s: %s is not an integer: \"%s\"" % (where, name, text)) from None
    if value < 0:
        raise InputFault("%s: %s is negative: %s" % (where, name, text))
    return value


def optional_number(fields, column, name, where, kind):
    """The value of an optional column, None where the column is absent or the field empty."""
    if column is None or fields[column] == "":
        return None
    if kind is int:
        return whole_number(fields[column], name, where)
    try:
        return float(fields[column])
    except ValueError:
        raise InputFault("%s: %s is not a number: \"%s\"" % (where, name, fields[column])) from None


def read_loci(path):
    """The loci of a loci table as dicts: name, chr, locus_start/locus_end (its span), start/end/cM/snps
    (its peak), line, and where the table has them rank, p_value, q_value, genes, carriers,
    carrier_frequency, core, and population_ranks ({population: rank or None}, from columns POP.rank).
    Other columns are passed over, so tables with more columns read the same. Raises InputFault."""
    loci = []
    header = None
    for first_line, block in line_blocks(path):
        for number, line in enumerate(decoded(path, block).split("\n")[:-1], start=first_line):
            fields = line.rstrip("\r").split("\t")
            if header is None:
                header = {name: index for index, name in reversed(list(enumerate(fields)))}
                missing = [name for name in REQUIRED if name not in header]
                if missing:
                    raise InputFault("%s:1: expected the loci header line of corvane-loci, with the columns %s "
                                     "(missing: %s)" % (path, " ".join(REQUIRED), " ".join(missing)))
                width = len(fields)
                populations = [name[:-len(POPULATION_RANK)] for name in fields
                               if name.endswith(POPULATION_RANK) and len(name) > len(POPULATION_RANK)]
                continue
            if not line.strip():
                continue
            where = "%s:%d" % (path, number)
            if len(fields) != width:
                raise InputFault("%s: expected %d tab-separated fields, found %d" % (where, width, len(fields)))
            loci.append(locus_of(fields, header, populations, where, number))
    if header is None:
        raise InputFault("%s:1: expected the loci header line of corvane-loci, with the columns %s (the file is "
                         "empty)" % (path, " ".join(REQUIRED)))
    return loci


def locus_of(fields, header, populations, where, number):
    numbers = {name: whole_number(fields[header[name]], name, where) for name in WHOLE_NUMBERS}
    try:
        genetic = float(fields[header["peak_cM"]])
    except ValueError:
        raise InputFault("%s: peak_cM is not a number: \"%s\"" % (where, fields[header["peak_cM"]])) from None
    if not fields[header["locus"]] or not fields[header["chr"]]:
        raise InputFault("%s: empty %s" % (where, "locus name" if not fields[header["locus"]] else "chromosome"))
    locus = {"name": fields[header["locus"]], "chr": fields[header["chr"]], "line": number,
             "locus_start": numbers["start"], "locus_end": numbers["end"],
             "start": numbers["peak_start"], "end": numbers["peak_end"], "cM": genetic, "snps": numbers["peak_snps"],
             "rank": optional_number(fields, header.get("rank"), "rank", where, int),
             "p_value": optional_number(fields, header.get("p_value"), "p_value", where, float),
             "q_value": optional_number(fields, header.get("q_value"), "q_value", where, float),
             "carriers": optional_number(fields, header.get("carriers"), "carriers", where, int),
             "carrier_frequency": optional_number(fields, header.get("carrier_frequency"), "carrier_frequency",
                                                  where, float),
             "genes": fields[header["genes"]] if "genes" in header else "",
             "core": fields[header["core"]] if "core" in header else "",
             "population_ranks": {population: optional_number(fields, header[population + POPULATION_RANK],
                                                              population + POPULATION_RANK, where, int)
                                  for population in populations}}
    return locus


def haplotype_count(loci):
    """H as the carriers columns give it (carriers / carrier_frequency), or None."""
    for locus in loci:
        if locus["carriers"] and locus["carrier_frequency"]:
            return int(round(locus["carriers"] / locus["carrier_frequency"]))
    return None


def same_length(a, b):
    return a == b or (math.isnan(a) and math.isnan(b))


def check_made_from(loci, loci_path, table):
    """Every locus's peak must be a row of the table (chr, startpos, endpos, genetic_dist): loci made
    from another table (another frequency, another panel) would mark the wrong places."""
    if not loci:
        return
    codes = {name: code for code, name in enumerate(table.names)}
    order = numpy.lexsort((table.end, table.start, table.chrom))
    chrom, start, end = table.chrom[order], table.start[order], table.end[order]
    for locus in loci:
        code = codes.get(locus["chr"])
        found = False
        if code is not None:
            low = numpy.searchsorted(chrom, code, "left")
            high = numpy.searchsorted(chrom, code, "right")
            first = low + numpy.searchsorted(start[low:high], locus["start"], "left")
            last = low + numpy.searchsorted(start[low:high], locus["start"], "right")
            for row in order[first:last][end[first:last] == locus["end"]]:
                if same_length(float(table.cM[row]), locus["cM"]):
                    found = True
                    break
        if not found:
            raise InputFault("%s:%d: locus %s has its peak at %s:%d-%d (%s cM), which is not a row of %s: the "
                             "loci were not made from this table" % (loci_path, locus["line"], locus["name"],
                                                                     locus["chr"], locus["start"], locus["end"],
                                                                     format(locus["cM"], "g"), table.path))
