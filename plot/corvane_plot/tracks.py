# The tracks under a panel: the recombination rate along each chromosome from a legend (cM/Mb), and one
# track per population of a joint loci table (its loci, its best-ranked ones in red).
import numpy

from .legend import rows_of
from .segments import draw_segments

RATE_COLOURS = ("#55a868", "#8cc49a")
RATE_TRACK_INCHES = 0.8
POPULATION_TRACK_INCHES = 0.4


def rate_profile(bp, genetic, first, last, bins):
    """Bin edges (bp) over first..last and the mean recombination rate in each bin (cM/Mb): the rise of
    the legend's cM, interpolated linearly between its SNPs, over the bin's width. Legend cM that fall
    may give negative rates; they are drawn as they are."""
    order = numpy.argsort(bp, kind="stable")
    bp, genetic = bp[order], genetic[order]
    low, high = max(first, int(bp[0])), min(last, int(bp[-1]))
    if high <= low:
        return numpy.zeros(0), numpy.zeros(0)
    edges = numpy.linspace(low, high, bins + 1)
    rise = numpy.diff(numpy.interp(edges, bp, genetic))
    return edges, rise / (numpy.diff(edges) / 1e6)


def legend_positions(legends, name):
    """(bp, cM) of the first legend that names the chromosome, SNPs without a finite cM left out, and
    how many were left out; None when no legend names it."""
    for legend in legends:
        rows = rows_of(legend, name)
        if rows.size:
            bp, genetic = legend.bp[rows], legend.cM[rows]
            finite = numpy.isfinite(genetic)
            return bp[finite], genetic[finite], int((~finite).sum())
    return None


def draw_rate_track(axes, pieces):
    """pieces: (edges on the axis in Mb, rates, stripe); returns the largest rate drawn."""
    highest, lowest = 0.0, 0.0
    for edges, rates, stripe in pieces:
        if len(rates) == 0:
            continue
        axes.stairs(rates, edges, color=RATE_COLOURS[stripe], linewidth=0.9, baseline=None)
        highest, lowest = max(highest, float(rates.max())), min(lowest, float(rates.min()))
    top = highest if highest > 0 else 1.0
    axes.set_ylim(min(lowest * 1.1, 0), top * 1.1)
    axes.set_ylabel("cM/Mb", fontsize=7)
    axes.tick_params(labelsize=6)
    axes.grid(axis="y", color="#dddddd", linewidth=0.5)
    return highest


def draw_population_track(axes, loci, rows, population, span_of, top):
    """Each locus of rows the population has a rank for, over its span; its `top` best-ranked in red.
    span_of(indices) gives their (x0, x1) on the axis. Returns (loci drawn, names of the red ones)."""
    ranks = loci.population_ranks[population][rows]
    ranked = rows[numpy.isfinite(ranks)]
    order = numpy.lexsort((loci.locus_start[ranked], loci.population_ranks[population][ranked]))
    ranked = ranked[order]
    best, others = ranked[:top], ranked[top:]
    for group, colour, width in ((others, "#6c7a89", 6.0), (best, "#c44e52", 7.0)):
        x0, x1 = span_of(group)
        draw_segments(axes, numpy.asarray(x0, float), numpy.asarray(x1, float), numpy.full(len(group), 0.5), colour,
                      width, ticks=False)
    axes.set_ylim(0, 1)
    axes.set_yticks([])
    axes.set_ylabel(population, fontsize=7, rotation=0, ha="right", va="center")
    axes.tick_params(labelsize=6)
    return len(ranked), [name.decode("utf-8", "replace") for name in loci.name[best]]
