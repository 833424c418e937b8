# The core haplotype of a locus's peak and who carries it, by the scan's own rule; how far each haplotype
# goes on matching it beyond the peak; the order of the rows of a locus figure.
import dataclasses

import numpy

from .scan_rule import SIMILARITY_CUTOFF

# Squared differences are summed this many SNPs at a time, to keep a wide peak's temporaries small.
COLUMNS_AT_ONCE = 1024


@dataclasses.dataclass
class LocusHaplotypes:
    """What the locus figure draws, columns being the SNPs drawn and rows the haplotypes in panel order.
    core: the allele the core haplotype has at each column (its most common haplotype over the peak,
    inside the peak; beyond it, the commonest allele among its carriers). carriers: bool per row.
    matches: H x columns bool. reach_left/reach_right: per row, the first and last column of its run
    of matches around the peak (-1 where it has none); mismatches_in_peak per row; peak_core: the core's
    alleles over the whole peak."""
    core: numpy.ndarray
    carriers: numpy.ndarray
    matches: numpy.ndarray
    reach_left: numpy.ndarray
    reach_right: numpy.ndarray
    mismatches_in_peak: numpy.ndarray
    peak_core: numpy.ndarray


def peak_core(window):
    """(core alleles, carriers, mismatching SNPs per row) of an H x w window, as the scan counts them: the
    most common haplotype by the low byte of each allele (ties: the first in byte order), the first row
    that has it as reference, and a row a carrier when 1 - d / w > 0.98, d its sum of squared
    differences to the reference."""
    low_bytes = numpy.ascontiguousarray(window if window.dtype == numpy.uint8 else (window & 0xFF).astype(numpy.uint8))
    # Rows as byte strings: numpy orders them as the scan's map does, byte by byte, unsigned.
    _, first_rows, counts = numpy.unique(low_bytes.view("V%d" % window.shape[1]).ravel(), return_index=True,
                                         return_counts=True)
    reference = first_rows[int(numpy.argmax(counts))]
    distance = numpy.zeros(len(window), numpy.float64)
    mismatches = numpy.zeros(len(window), numpy.int64)
    for first in range(0, window.shape[1], COLUMNS_AT_ONCE):
        part = window[:, first:first + COLUMNS_AT_ONCE].astype(numpy.int64)
        difference = part - part[reference]
        distance += (difference * difference).sum(axis=1)
        mismatches += (difference != 0).sum(axis=1)
    carriers = 1.0 - distance / window.shape[1] > SIMILARITY_CUTOFF
    return window[reference].copy(), carriers, mismatches


def commonest(values):
    """The most common value of a column (ties: the smallest)."""
    found, counts = numpy.unique(values, return_counts=True)
    return found[int(numpy.argmax(counts))]


def locus_haplotypes(matrix, peak_first, peak_last, first, last):
    """matrix: H x n alleles; the peak is its columns peak_first..peak_last, the columns drawn first..last
    (they may cut a peak too wide to draw). Columns of the result count from first."""
    peak_alleles, carriers, mismatches_in_peak = peak_core(matrix[:, peak_first:peak_last + 1])
    drawn = matrix[:, first:last + 1]
    columns = drawn.shape[1]
    core = numpy.empty(columns, matrix.dtype)
    for column in range(first, last + 1):
        if peak_first <= column <= peak_last:
            core[column - first] = peak_alleles[column - peak_first]
        else:
            core[column - first] = commonest(matrix[carriers, column]) if carriers.any() else 0
    matches = drawn == core[None, :]
    # A carrier's run covers the whole peak (the rule allows a few mismatches there); another row's run
    # is the one through the peak's middle SNP, if it matches there.
    low, high = max(peak_first, first) - first, min(peak_last, last) - first
    middle = (low + high) // 2
    inside = matches.copy()
    inside[carriers, low:high + 1] = True
    left_anchor = numpy.where(carriers, low, middle)
    right_anchor = numpy.where(carriers, high, middle)
    index = numpy.arange(columns, dtype=numpy.int32)
    # The nearest mismatch on each side of the anchors ends the run.
    broken = ~inside
    left_breaks = numpy.where(broken & (index[None, :] < left_anchor[:, None]), index[None, :], -1).max(axis=1)
    right_breaks = numpy.where(broken & (index[None, :] > right_anchor[:, None]), index[None, :], columns).min(axis=1)
    has_run = inside[numpy.arange(len(matrix)), left_anchor]
    reach_left = numpy.where(has_run, left_breaks + 1, -1)
    reach_right = numpy.where(has_run, right_breaks - 1, -1)
    return LocusHaplotypes(core, carriers, matches, reach_left, reach_right, mismatches_in_peak, peak_alleles)


def matched_span(found, bp):
    """bp from the first to the last SNP of each row's run (-1 without a run)."""
    has_run = found.reach_left >= 0
    left = numpy.where(has_run, bp[numpy.maximum(found.reach_left, 0)], 0)
    right = numpy.where(has_run, bp[numpy.maximum(found.reach_right, 0)], 0)
    return numpy.where(has_run, right - left, -1)


def row_order(found, bp, groups=None):
    """Rows in drawing order: group by group (groups: a group number per row, or None), carriers first,
    then by how far the run of matches to the core goes (longest first), then by fewer mismatches in the
    peak, then by panel order."""
    span = matched_span(found, bp)
    rows = numpy.arange(len(span))
    group = numpy.zeros(len(span), numpy.int64) if groups is None else groups
    return numpy.lexsort((rows, found.mismatches_in_peak, -span, ~found.carriers, group))


def carrier_share(found, rows=None):
    """At each column, the share of the rows (all, or those given) that carry the core and whose run of
    matches reaches that column: the carrier frequency over the peak, falling away beyond it."""
    if rows is None:
        rows = numpy.arange(len(found.carriers))
    if len(rows) == 0:
        return numpy.zeros(found.matches.shape[1])
    index = numpy.arange(found.matches.shape[1])
    reached = found.carriers[rows, None] & (found.reach_left[rows, None] <= index[None, :]) & \
        (index[None, :] <= found.reach_right[rows, None])
    return reached.sum(axis=0) / len(rows)


def zygosity(carriers):
    """(samples carrying the core on both haplotypes, on one) for haplotypes 2k, 2k + 1 of sample k."""
    pairs = carriers[:len(carriers) // 2 * 2].reshape(-1, 2).sum(axis=1)
    return int((pairs == 2).sum()), int((pairs == 1).sum())
