# The scan figures: one panel per chromosome, or the genome layout (every chromosome side by side on one
# axis), each interval a segment at its height, the best loci or longest intervals labelled, with the
# recombination-rate and population tracks under a panel when their data are given.
import math

import numpy

from .genome_axis import draw_genome_axis, genome_axis, stagger_names
from .interval_panel import PanelPlan, describe_axes, finish_panel, set_up_panel
from .labels import thin_tick_labels
from .loci_table import locus_at
from .tracks import (POPULATION_TRACK_INCHES, RATE_TRACK_INCHES, draw_population_track, draw_rate_track,
                     legend_positions, rate_profile)

TOP_MARGIN_INCHES = 0.5
RATE_BINS_PER_INCH = 60


def plural(count, word, words=None):
    return "%s %s" % (format(count, ","), word if count == 1 else (words or word + "s"))


def heights(table, key):
    return table.cM if key == "cM" else table.snps.astype(numpy.float64)


def region_text(chrom, start, end):
    return "%s:%s-%s" % (chrom, format(int(start), ","), format(int(end), ","))


def locus_text(locus):
    text = "%s %s-%s" % (locus["name"], format(locus["locus_start"], ","), format(locus["locus_end"], ","))
    if locus["p_value"] is not None:
        text += " p=%.2g" % locus["p_value"]
    genes = locus["genes"].strip()
    if genes and genes != ".":
        text += " (%s)" % (genes if len(genes) <= 32 else genes[:31] + "\u2026")
    return text


def longest_rows(rows, h, start, end, count):
    """The count rows of greatest finite height; ties go to the row further left, so labels are the same
    from run to run."""
    rows = rows[numpy.isfinite(h[rows])]
    if count == 0 or len(rows) == 0:
        return rows[:0]
    order = numpy.lexsort((end[rows], start[rows], -h[rows]))
    return rows[order[:count]]


def loci_heights(loci, key):
    return loci.cM if key == "cM" else loci.snps.astype(numpy.float64)


def best_loci(loci, rows, key, count):
    """The count loci of rows to label: by p-value where the table has one (smallest first), else by rank;
    ties go to the longer peak, then to the locus further left. Loci without a finite height cannot be
    placed."""
    rows = rows[numpy.isfinite(loci_heights(loci, key)[rows])]
    if count == 0 or rows.size == 0:
        return rows[:0]
    missing = numpy.full(len(rows), numpy.nan)
    p_value = loci.optional["p_value"][rows] if "p_value" in loci.optional else missing
    rank = loci.optional["rank"][rows] if "rank" in loci.optional else missing
    by_p = numpy.isfinite(p_value).any()
    order = numpy.lexsort((loci.locus_start[rows], -loci_heights(loci, key)[rows], numpy.nan_to_num(rank, nan=numpy.inf),
                           numpy.nan_to_num(p_value, nan=numpy.inf) if by_p else numpy.zeros(len(rows))))
    return rows[order[:count]]


def key_title(options, haplotypes):
    """The frequency of the scan and, where H is known, the carrier threshold it sets."""
    if options.freq is None:
        return None
    text = "frequency %s" % options.freq_text
    if haplotypes:
        threshold = int(math.floor(numpy.float32(haplotypes) * numpy.float32(options.freq)))
        text += ": carried by more than %s of %s haplotypes" % (format(threshold, ","), format(haplotypes, ","))
    return text


def figure_title(table, loci, options, haplotypes, chromosomes):
    if options.title is not None:
        return options.title
    if len(chromosomes) == 1:
        parts = ["chromosome %s" % chromosomes[0]]
    else:
        parts = [plural(len(chromosomes), "chromosome")]
    if options.freq is not None:
        parts.append("frequency %s" % options.freq_text)
    if haplotypes:
        parts.append(plural(haplotypes, "haplotype"))
    counts = plural(len(table), "interval")
    if loci is not None:
        counts += " in %s" % plural(len(loci), "locus", "loci")
    return ", ".join(parts) + ": " + counts


def track_rows(options, legends, populations):
    """The heights (inches) of the axes of one panel: the panel, then its tracks."""
    return [options.panel_height] + ([RATE_TRACK_INCHES] if legends else []) + \
        [POPULATION_TRACK_INCHES] * len(populations)


def new_figure(pyplot, options, rows):
    """A figure of --width by the margin plus the rows (inches), its axes one per row."""
    height = TOP_MARGIN_INCHES + sum(rows)
    figure = pyplot.figure(figsize=(options.width, height), dpi=options.dpi, layout="constrained")
    grid = figure.add_gridspec(len(rows), 1, height_ratios=rows)
    return figure, grid


def mark_regions(table, rows, h, options):
    chosen = longest_rows(rows, h, table.start, table.end, options.top)
    return [(region_text(table.names[table.chrom[row]], table.start[row], table.end[row]),
             table.start[row] / 1e6, table.end[row] / 1e6, float(h[row])) for row in chosen]


def mark_loci(loci, rows, key, options, place):
    """Marks and spans of the best loci of rows; place(indices, which) gives their (x0, x1) on the axis,
    which being "peak" or "span"."""
    chosen = best_loci(loci, rows, key, options.top)
    peak0, peak1 = place(chosen, "peak")
    span0, span1 = place(chosen, "span")
    height = loci_heights(loci, key)
    marks = [(locus_text(locus_at(loci, index)), float(peak0[k]), float(peak1[k]), float(height[index]))
             for k, index in enumerate(chosen)]
    return marks, list(zip(span0.tolist(), span1.tolist()))


def panel_populations(loci):
    return list(loci.population_ranks) if loci is not None else []


def draw_panels(pyplot, table, loci, legends, options, haplotypes):
    """One panel per chromosome, one under the other, in the order the chromosomes first appear."""
    key = "snps" if options.y == "snps" else "cM"
    y_label = "SNPs in interval" if key == "snps" else "genetic length (cM)"
    h = heights(table, key)
    order = numpy.argsort(table.chrom, kind="stable")
    bounds = numpy.searchsorted(table.chrom[order], numpy.arange(len(table.names) + 1))
    chromosomes = table.names if table.names else [""]
    populations = panel_populations(loci)
    rows = track_rows(options, legends, populations)
    figure, grid = new_figure(pyplot, options, rows * len(chromosomes))
    heading = key_title(options, haplotypes)
    plans, tracks = [], []

    def place(indices, which):
        if which == "peak":
            return loci.start[indices] / 1e6, loci.end[indices] / 1e6
        return loci.locus_start[indices] / 1e6, loci.locus_end[indices] / 1e6
    for index, chrom in enumerate(chromosomes):
        chosen = order[bounds[index]:bounds[index + 1]] if table.names else order[:0]
        first_row = index * len(rows)
        axes = figure.add_subplot(grid[first_row])
        chrom_loci = None if loci is None else numpy.flatnonzero(loci.chrom == chrom.encode())
        if chrom_loci is None:
            marks, spans = mark_regions(table, chosen, h, options), []
        else:
            marks, spans = mark_loci(loci, chrom_loci, key, options, place)
        plan = PanelPlan(axes, table.start[chosen] / 1e6, table.end[chosen] / 1e6, h[chosen], None, marks, chrom,
                         spans, key_title=heading)
        title = "chromosome %s: %s" % (chrom, plural(len(chosen), "interval")) if table.names else "no intervals"
        if chrom_loci is not None and table.names:
            title += " in %s" % plural(len(chrom_loci), "locus", "loci")
        set_up_panel(plan, y_label, title, loci is not None, options.top if populations else None)
        set_x_range(axes, plan)
        axes.set_xlabel("position on chromosome %s (Mb)" % chrom if chrom else "position (Mb)", fontsize=8)
        axes.tick_params(labelbottom=True)
        plans.append(plan)
        tracks += draw_panel_tracks(figure, grid, first_row, axes, chrom, legends, loci, chrom_loci, populations,
                                    options, lambda indices: place(indices, "span"), None, drawn_extent(plan))
    figure.suptitle(figure_title(table, loci, options, haplotypes, table.names), fontsize=11)
    figure.draw_without_rendering()
    entries = [finish_panel(figure, plan) for plan in plans]
    panels = [{"chr": plan.chrom, "regions": len(plan.h), "labels": entry["labels"]}
              for plan, entry in zip(plans, entries)]
    entries += [describe_axes(figure, axes, role, **facts) for axes, role, facts in tracks]
    return figure, {"panels": panels, "axes": entries}


def drawn_extent(plan):
    """The first and last bp a chromosome's panel draws, or None."""
    ends = [plan.x0[numpy.isfinite(plan.h)], plan.x1[numpy.isfinite(plan.h)]]
    ends += [numpy.array([x for span in plan.spans for x in span] + [m[1] for m in plan.marks] +
                         [m[2] for m in plan.marks])]
    values = numpy.concatenate(ends)
    if not values.size:
        return None
    return int(round(float(values.min()) * 1e6)), int(round(float(values.max()) * 1e6))


def set_x_range(axes, plan):
    extent = drawn_extent(plan)
    if extent is not None:
        low, high = extent[0] / 1e6, extent[1] / 1e6
        pad = max((high - low) * 0.03, 0.05)
        axes.set_xlim(low - pad, high + pad)


def draw_panel_tracks(figure, grid, first_row, main, chrom, legends, loci, loci_rows, populations, options, span_of,
                      layout, extent=None):
    """The rate and population tracks under one panel, sharing its x axis. layout: the genome axis, or
    None for a chromosome's own panel, whose rate is drawn over extent (its first and last bp drawn).
    Returns (axes, role, facts) for the dump."""
    found = []
    row = first_row + 1
    width_inches = options.width
    if legends:
        axes = figure.add_subplot(grid[row], sharex=main)
        row += 1
        pieces, missing, left_out = [], [], 0
        names = layout.names if layout is not None else [chrom]
        for code, name in enumerate(names):
            positions = legend_positions(legends, name)
            if positions is None:
                missing.append(name)
                continue
            bp, genetic, dropped = positions
            left_out += dropped
            if layout is not None:
                first, last = int(layout.first[code]), int(layout.last[code])
                share = (last - first) / max(layout.length, 1)
            elif extent is not None:
                first, last, share = extent[0], extent[1], 1.0
            else:
                continue
            if len(bp) < 2:
                continue
            bins = max(int(RATE_BINS_PER_INCH * width_inches * share), 4)
            edges, rates = rate_profile(bp, genetic, first, last, bins)
            if layout is not None:
                edges = layout.x(code, edges)
            else:
                edges = edges / 1e6
            pieces.append((edges, rates, code % 2 if layout is not None else 0))
        highest = draw_rate_track(axes, pieces)
        found.append((axes, "rate", {"chr": chrom, "bins": int(sum(len(p[1]) for p in pieces)), "highest": highest,
                                     "chromosomes_without_legend": missing, "snps_without_cM": left_out}))
    for population in populations:
        axes = figure.add_subplot(grid[row], sharex=main)
        row += 1
        count, best = draw_population_track(axes, loci, loci_rows, population, span_of, options.top)
        found.append((axes, "population", {"chr": chrom, "population": population, "loci": count, "best": best}))
    # Tick labels and the axis title go under the lowest axes of the panel.
    for axes, _, _ in found[:-1]:
        axes.tick_params(labelbottom=False)
    if found:
        main.tick_params(labelbottom=False)
        found[-1][0].set_xlabel(main.get_xlabel(), fontsize=8)
        main.set_xlabel("")
    return found


def draw_genome(pyplot, table, loci, legends, options, haplotypes):
    """One panel: every chromosome side by side in table order over its own extent, one y scale."""
    key = "snps" if options.y == "snps" else "cM"
    y_label = "SNPs in interval" if key == "snps" else "genetic length (cM)"
    h = heights(table, key)
    extents = {}
    for code, name in enumerate(table.names):
        rows = table.chrom == code
        extents[name] = (int(table.start[rows].min()), int(table.end[rows].max()))
    # Loci lie within the intervals of the table they were made from (checked when they are read).
    names = list(table.names)
    layout = genome_axis(names, extents)
    codes = {name: code for code, name in enumerate(names)}
    x0 = layout.x(table.chrom, table.start)
    x1 = layout.x(table.chrom, table.end)
    populations = panel_populations(loci)
    rows = track_rows(options, legends, populations)
    figure, grid = new_figure(pyplot, options, rows)
    axes = figure.add_subplot(grid[0])

    if loci is not None:
        found, inverse = numpy.unique(loci.chrom, return_inverse=True)
        locus_codes = numpy.array([codes[name.decode()] for name in found], numpy.int64)[inverse] if len(loci) \
            else numpy.zeros(0, numpy.int64)

    def place(indices, which):
        if which == "peak":
            return layout.x(locus_codes[indices], loci.start[indices]), layout.x(locus_codes[indices], loci.end[indices])
        return (layout.x(locus_codes[indices], loci.locus_start[indices]),
                layout.x(locus_codes[indices], loci.locus_end[indices]))
    if loci is None:
        chosen = longest_rows(numpy.arange(len(table)), h, table.start, table.end, options.top)
        marks = [(region_text(table.names[table.chrom[row]], table.start[row], table.end[row]), float(x0[row]),
                  float(x1[row]), float(h[row])) for row in chosen]
        spans = []
    else:
        marks, spans = mark_loci(loci, numpy.arange(len(loci)), key, options, place)
    plan = PanelPlan(axes, x0, x1, h, table.chrom % 2, marks, "", spans, key_title=key_title(options, haplotypes))
    heading = "%s on %s" % (plural(len(table), "interval"), plural(len(names), "chromosome"))
    if loci is not None:
        heading += ", %s" % plural(len(loci), "locus", "loci")
    set_up_panel(plan, y_label, heading, loci is not None, options.top if populations else None)
    tracks = draw_panel_tracks(figure, grid, 0, axes, "", legends, loci,
                               numpy.arange(len(loci)) if loci is not None else None, populations, options,
                               lambda indices: place(indices, "span"), layout)
    lowest = tracks[-1][0] if tracks else axes
    name_texts = draw_genome_axis(lowest, layout, options.width)
    figure.suptitle(figure_title(table, loci, options, haplotypes, names), fontsize=11)
    figure.draw_without_rendering()
    shown_ticks = thin_tick_labels(figure, lowest.xaxis)
    shown_names = stagger_names(figure, name_texts)
    entries = [finish_panel(figure, plan)]
    entries += [describe_axes(figure, track_axes, role, **facts) for track_axes, role, facts in tracks]
    described = [{"chr": name, "regions": int((table.chrom == code).sum())} for code, name in enumerate(names)]
    extents_described = [{"chr": name, "first_bp": int(layout.first[code]), "last_bp": int(layout.last[code]),
                          "x_range": [float(layout.x(code, layout.first[code])), float(layout.x(code, layout.last[code]))]}
                         for code, name in enumerate(names)]
    return figure, {"layout": "genome", "chromosomes": described, "labels": entries[0]["labels"], "axes": entries,
                    "chromosome_extents": extents_described, "chromosome_names_shown": shown_names,
                    "tick_labels_shown": shown_ticks}
