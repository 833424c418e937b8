# Reading the sample list of a panel (one id per line, in panel order) and a population file (sample id
# and population, a header line optional).
from .faults import InputFault
from .text_input import read_whole, decoded


def read_lines(path):
    text = decoded(path, read_whole(path))
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return [line[:-1] if line.endswith("\r") else line for line in lines]


def read_samples(path, haplotypes, panel_path):
    """The sample ids, two haplotypes each: ids are taken as they are, blanks included."""
    samples = read_lines(path)
    seen = {}
    for number, sample in enumerate(samples, start=1):
        if sample == "":
            raise InputFault("%s:%d: empty sample id" % (path, number))
        if sample in seen:
            raise InputFault("%s:%d: sample %s is named twice (also on line %d)" % (path, number, sample, seen[sample]))
        seen[sample] = number
    if 2 * len(samples) != haplotypes:
        raise InputFault("corvane-plot: %s: %d sample ids, but the panel %s has %d haplotypes (two per sample)"
                         % (path, len(samples), panel_path, haplotypes))
    return samples


def read_populations(path, samples):
    """{sample: population} and the populations in the order they first appear. Columns are split at
    tabs or blanks; columns after the second are passed over (the layout of population panel files). A
    first line whose first field names no sample of the panel is a header."""
    known = set(samples)
    population_of = {}
    lines_of = {}
    order = []
    for number, line in enumerate(read_lines(path), start=1):
        fields = line.split()
        if not fields:
            continue
        if number == 1 and (fields[0] not in known or fields[0].startswith("#")):
            continue
        if len(fields) < 2:
            raise InputFault("%s:%d: expected two columns (sample id, population), found 1" % (path, number))
        sample, population = fields[0], fields[1]
        if sample in lines_of:
            raise InputFault("%s:%d: sample %s is named twice (also on line %d)" % (path, number, sample,
                                                                                   lines_of[sample]))
        lines_of[sample] = number
        if sample not in known:
            continue
        if population not in order:
            order.append(population)
        population_of[sample] = population
    return population_of, order
