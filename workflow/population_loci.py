# The workflow's tables across populations: one joint loci table from each population's loci, and each population's loci of one frequency as its genome-wide figure draws them.
#
# A joint locus is the union of the loci of any population whose peaks overlap on a chromosome (the
# peak: the locus's longest interval at its peak frequency, where its signal is; bp taken whole at
# both ends, so peaks sharing one SNP overlap), chained: a peak overlapping either of two others joins
# them. Peaks rather than whole loci, since corvane-loci cuts each chromosome into loci that meet
# their neighbours: their extents would chain a chromosome into a few joint loci. Its extent runs
# from the first to the last bp of its members' peaks, so joint loci never overlap. They are numbered
# CHR:1, CHR:2, ... by their start within each chromosome, the chromosomes in the workflow's order.
# Every value of a population is copied from its own loci table as corvane-loci wrote it, so the
# joint table says nothing the population's table does not.
import os
import tempfile

# Columns every population's loci table must have, and the groups copied where every table has them.
REQUIRED = ("locus", "chr", "start", "end", "peak_start", "peak_end", "rank", "statistic")
OPTIONAL_GROUPS = (("p_value", "q_value"), ("carriers", "carrier_frequency"))
JOINT_HEADER = ("locus", "chr", "start", "end", "populations")


class LociTableFault(ValueError):
    """A loci table that cannot be read as corvane-loci writes it; the text is PATH:LINE: what."""


class staged_text_output:
    """A text file written under a temporary name beside PATH and renamed to PATH when the block ends
    without a fault; on a fault the temporary file goes and an older PATH stays as it was."""

    def __init__(self, path):
        self.path = path

    def __enter__(self):
        folder = os.path.dirname(self.path) or "."
        handle, self.temporary = tempfile.mkstemp(prefix=os.path.basename(self.path) + ".tmp-", dir=folder)
        self.stream = os.fdopen(handle, "w")
        return self.stream

    def __exit__(self, kind, value, traceback):
        try:
            self.stream.close()
            if kind is None:
                os.chmod(self.temporary, 0o666 & ~current_umask())
                os.replace(self.temporary, self.path)
        finally:
            if os.path.exists(self.temporary):
                os.unlink(self.temporary)
        return False


def current_umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def read_table(path, required):
    """(header names, rows as lists of fields, the line number of each row) of a tab-separated table
    whose header has the REQUIRED columns."""
    with open(path) as stream:
        lines = stream.read().split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    if not lines:
        raise LociTableFault("%s:1: empty; expected the header line of corvane-loci" % path)
    header = lines[0].split("\t")
    missing = [name for name in required if name not in header]
    if missing:
        raise LociTableFault("%s:1: expected the loci header line of corvane-loci (missing: %s)"
                             % (path, " ".join(missing)))
    rows, numbers = [], []
    for number, line in enumerate(lines[1:], start=2):
        fields = line.split("\t")
        if len(fields) != len(header):
            raise LociTableFault("%s:%d: expected %d tab-separated fields, found %d"
                                 % (path, number, len(header), len(fields)))
        rows.append(fields)
        numbers.append(number)
    return header, rows, numbers


def whole_number(text, name, where):
    if not text.isdigit():
        raise LociTableFault("%s: %s is not a whole number: \"%s\"" % (where, name, text))
    return int(text)


def read_population_loci(path):
    """The loci of one population's table: dicts of its fields by column name, with the peak's start
    and end and the rank also as numbers (_start, _end, _rank), and the header."""
    header, rows, numbers = read_table(path, REQUIRED)
    loci = []
    for fields, number in zip(rows, numbers):
        locus = dict(zip(header, fields))
        where = "%s:%d" % (path, number)
        locus["_start"] = whole_number(locus["peak_start"], "peak_start", where)
        locus["_end"] = whole_number(locus["peak_end"], "peak_end", where)
        locus["_rank"] = whole_number(locus["rank"], "rank", where)
        if locus["_end"] < locus["_start"]:
            raise LociTableFault("%s: peak_end %s is before peak_start %s" % (where, locus["peak_end"],
                                                                              locus["peak_start"]))
        loci.append(locus)
    return header, loci


def copied_columns(headers):
    """The per-population columns of the joint table, after POP.locus: statistic, rank, then each
    optional group that every table has."""
    columns = ["statistic", "rank"]
    for group in OPTIONAL_GROUPS:
        if all(name in header for header in headers for name in group):
            columns += group
    return columns


def joint_loci(loci_of, chromosome_order):
    """The joint loci of LOCI_OF ({population: its loci}, in population order): dicts with locus, chr,
    start, end and members ({population: its loci within, best-ranked first}), in genome order."""
    by_chromosome = {}
    for population, loci in loci_of.items():
        for locus in loci:
            by_chromosome.setdefault(locus["chr"], []).append((locus["_start"], locus["_end"], population, locus))
    order = [chrom for chrom in chromosome_order if chrom in by_chromosome]
    order += [chrom for chrom in by_chromosome if chrom not in order]
    joint = []
    for chrom in order:
        # Sorted by start (then end, population and rank), so that each joint locus is one run.
        pieces = sorted(by_chromosome[chrom], key=lambda piece: (piece[0], piece[1], list(loci_of).index(piece[2]),
                                                                 piece[3]["_rank"]))
        runs = []
        for start, end, population, locus in pieces:
            if runs and start <= runs[-1]["end"]:
                runs[-1]["end"] = max(runs[-1]["end"], end)
            else:
                runs.append({"chr": chrom, "start": start, "end": end, "members": {}})
            runs[-1]["members"].setdefault(population, []).append(locus)
        for number, run in enumerate(runs, start=1):
            run["locus"] = "%s:%d" % (chrom, number)
            members = {population: sorted(run["members"][population], key=lambda locus: locus["_rank"])
                       for population in loci_of if population in run["members"]}
            run["members"] = members
            joint.append(run)
    return joint


def joint_header(populations, columns):
    header = list(JOINT_HEADER)
    for population in populations:
        header += ["%s.locus" % population] + ["%s.%s" % (population, name) for name in columns]
    return header


def write_joint_table(tables, chromosome_order, target):
    """Writes the joint loci table of TABLES ({population: path of its loci table}, in population order)
    to TARGET; returns {population: number of its loci} and the joint loci."""
    headers, loci_of = [], {}
    for population, path in tables.items():
        header, loci = read_population_loci(path)
        headers.append(header)
        loci_of[population] = loci
    columns = copied_columns(headers)
    joint = joint_loci(loci_of, chromosome_order)
    with staged_text_output(target) as out:
        out.write("\t".join(joint_header(tables, columns)) + "\n")
        for run in joint:
            fields = [run["locus"], run["chr"], str(run["start"]), str(run["end"]), ",".join(run["members"])]
            for population in tables:
                members = run["members"].get(population)
                if members is None:
                    fields += [""] * (1 + len(columns))
                    continue
                best = members[0]
                fields += [",".join(locus["locus"] for locus in members)] + [best[name] for name in columns]
            out.write("\t".join(fields) + "\n")
    return {population: len(loci) for population, loci in loci_of.items()}, joint


def loci_peaking_at(source, freq, target, joint_table=None, population=None):
    """The rows of the loci table SOURCE whose peak is at FREQ, under its header: the loci whose peak
    is a row of that frequency's table. With JOINT_TABLE (and the POPULATION SOURCE is of), each row
    takes its joint locus's id and every population's rank there as columns POP.rank, which the
    figure draws as one track per population."""
    header, rows, _ = read_table(source, ("locus", "peak_freq"))
    peak = header.index("peak_freq")
    shown = "%g" % float(freq)
    kept = [fields for fields in rows if fields[peak] == shown]
    extra = []
    if joint_table is not None:
        joint_names, joint_rows, _ = read_table(joint_table, JOINT_HEADER + ("%s.locus" % population,))
        populations = [name[:-len(".rank")] for name in joint_names[len(JOINT_HEADER):] if name.endswith(".rank")]
        rank_columns = [joint_names.index("%s.rank" % name) for name in populations]
        own = joint_names.index("%s.locus" % population)
        joint_of = {}
        for fields in joint_rows:
            for name in fields[own].split(","):
                if name:
                    joint_of[name] = fields
        locus = header.index("locus")
        for fields in kept:
            row = joint_of.get(fields[locus])
            if row is None:
                raise LociTableFault("%s: locus %s of %s is in none of its rows" % (joint_table, fields[locus], source))
            fields[locus] = row[0]
            extra.append([row[column] for column in rank_columns])
        header = header + ["%s.rank" % name for name in populations]
    with staged_text_output(target) as out:
        out.write("\t".join(header) + "\n")
        for k, fields in enumerate(kept):
            out.write("\t".join(fields + (extra[k] if extra else [])) + "\n")
