# The locus figure: a panel's haplotypes around one locus, carriers of its core first, each cell coloured
# by whether it has the core's allele, and under it the share of haplotypes carrying the core out to
# each SNP.
import textwrap

import numpy
from matplotlib.patches import Patch

from .carriers import carrier_share, locus_haplotypes, row_order, zygosity
from .faults import InputFault
from .labels import box_list
from .legend import rows_of
from .loci_table import locus_at
from .panel import bit_panel_shape, is_bit_panel, panel_columns
from .samples import read_populations, read_samples

TOP_MARGIN_INCHES = 0.5
SHARE_TRACK_INCHES = 1.5
# Colours of the cells: (has the core's allele, allele state): state is "derived"/"ancestral" where the
# legend names the ancestral allele, else "unknown".
CELL_COLOURS = {
    (True, "unknown"): "#3a6ea5", (False, "unknown"): "#eef1f4",
    (True, "derived"): "#1f4e79", (False, "derived"): "#8c510a",
    (True, "ancestral"): "#8fb3da", (False, "ancestral"): "#f6e8c3",
}
OTHER_CODE_COLOUR = "#e7298a"
PEAK_COLOUR, SPAN_COLOUR = "#c44e52", "#f2c4c6"
POPULATION_COLOURS = ["#1f77b4", "#ff7f0e", "#2ca02c", "#9467bd", "#8c564b", "#e377c2", "#17becf", "#bcbd22"]
NO_POPULATION = "(no population)"
SMALLEST_LABELLED_GROUP_PIXELS = 9
# More SNPs than this would be narrower than a pixel at any width a figure may have.
LARGEST_DRAWN = 1500


def find_locus(loci, name, loci_path):
    found = numpy.flatnonzero(loci.name == name.encode())
    if found.size:
        return locus_at(loci, int(found[0]))
    example = ", ".join(value.decode("utf-8", "replace") for value in loci.name[:3])
    raise InputFault("corvane-plot: %s: no locus named %s (%s)" % (
        loci_path, name, "its loci are named like %s" % example if len(loci) else "it holds no loci"))


def peak_rows(legend, locus, loci_path):
    """The legend rows (from 0) of the locus's chromosome, and the first and last row of its peak: a run of
    peak_snps rows from peak_start to peak_end, as corvane-loci finds it."""
    rows = rows_of(legend, locus["chr"])
    for first in rows[legend.bp[rows] == locus["start"]]:
        last = first + locus["snps"] - 1
        if last < len(legend) and legend.bp[last] == locus["end"] and legend.chrom[last] == legend.chrom[first]:
            return rows, int(first), int(last)
    raise InputFault("%s:%d: the peak of locus %s (bp %d to %d, %d SNPs) is no run of %d rows of chromosome %s in "
                     "the legend %s: the legend is not the one the loci were made from"
                     % (loci_path, locus["line"], locus["name"], locus["start"], locus["end"], locus["snps"],
                        locus["snps"], locus["chr"], legend.path))


def drawn_columns(legend, rows, locus, flank, snps, peak_first, peak_last):
    """The legend rows drawn, and whether the locus was cut: the locus's SNPs and flank SNPs each side,
    within its chromosome and the panel; a locus too wide for that is cut to the LARGEST_DRAWN SNPs around
    the middle of its peak."""
    bp = legend.bp[rows]
    inside = rows[(bp >= locus["locus_start"]) & (bp <= locus["locus_end"])]
    lowest, highest = int(rows.min()), min(int(rows.max()), snps - 1)
    low = max(lowest, int(inside.min()) - flank)
    high = min(highest, int(inside.max()) + flank)
    if high - low + 1 <= LARGEST_DRAWN:
        return low, high, False
    low = max(lowest, (peak_first + peak_last) // 2 - LARGEST_DRAWN // 2)
    high = min(highest, low + LARGEST_DRAWN - 1)
    return max(lowest, high - LARGEST_DRAWN + 1), high, True


def allele_states(legend, first, last):
    """Per drawn SNP, the state of alleles 0 and 1: ("ancestral", "derived"), the reverse, or unknown,
    from the legend's ancestral-allele column against REF and ALT (or a 0/1 index)."""
    states = []
    for row in range(first, last + 1):
        ancestral = legend.ancestral[row].strip().upper() if legend.ancestral is not None else ""
        ref = legend.ref[row].strip().upper() if legend.ref is not None else None
        alt = legend.alt[row].strip().upper() if legend.alt is not None else None
        if ancestral and ancestral in (ref, "0"):
            states.append(("ancestral", "derived"))
        elif ancestral and ancestral in (alt, "1"):
            states.append(("derived", "ancestral"))
        else:
            states.append(("unknown", "unknown"))
    return states


def cell_classes(matrix, found, states):
    """A class index per cell into the list of colours returned with it."""
    colours = list(CELL_COLOURS.values()) + [OTHER_CODE_COLOUR]
    names = list(CELL_COLOURS)
    classes = numpy.full(matrix.shape, len(names), numpy.uint8)
    for column, (state0, state1) in enumerate(states):
        for allele, state in ((0, state0), (1, state1)):
            has = matrix[:, column] == allele
            for matching in (True, False):
                chosen = has & (found.matches[:, column] == matching)
                classes[chosen, column] = names.index((matching, state))
    return classes, colours


def key_entries(classes):
    """Patches for the classes of cell present, then the locus's marks."""
    present = set(numpy.unique(classes).tolist())
    entries = []
    for index, (matching, state) in enumerate(CELL_COLOURS):
        if index in present:
            label = "the core's allele" if matching else "another allele than the core's"
            if state != "unknown":
                label += " (%s)" % state
            entries.append(Patch(color=CELL_COLOURS[(matching, state)], label=label))
    if len(CELL_COLOURS) in present:
        entries.append(Patch(color=OTHER_CODE_COLOUR, label="an allele code other than 0 and 1"))
    entries.append(Patch(color=PEAK_COLOUR, label="peak interval"))
    entries.append(Patch(color=SPAN_COLOUR, label="locus"))
    return entries


def core_summary(matrix_core, legend, first_peak, last_peak):
    """The core's alleles over the peak in words: how many are ALT (or allele 1), with their SNP ids."""
    alleles = matrix_core
    ones = [index for index, allele in enumerate(alleles) if allele == 1]
    word = "ALT" if legend.alt is not None else "allele 1"
    named = []
    for index in ones[:6]:
        row = first_peak + index
        allele = (" " + legend.alt[row]) if legend.alt is not None and legend.alt[row] else ""
        named.append(legend.ids[row] + allele)
    text = "core: %s at %d of %d SNPs" % (word, len(ones), len(alleles))
    if named:
        text += " (%s%s)" % (", ".join(named), ", ..." if len(ones) > len(named) else "")
    return text


def population_groups(samples, populations, haplotypes):
    """A group number per haplotype and the group names, populations in file order, then the samples in
    none of them."""
    population_of, order = populations
    names = list(order)
    group = numpy.empty(haplotypes, numpy.int64)
    for sample_index, sample in enumerate(samples):
        population = population_of.get(sample)
        if population is None:
            if NO_POPULATION not in names:
                names.append(NO_POPULATION)
            code = names.index(NO_POPULATION)
        else:
            code = order.index(population)
        group[2 * sample_index:2 * sample_index + 2] = code
    return group, names


def grid_columns(positions, x_low, x_high, count):
    """For each of count image columns over x_low..x_high, the drawn SNP whose cell holds it (cells
    reach halfway to the neighbouring SNPs)."""
    centres = x_low + (numpy.arange(count) + 0.5) * (x_high - x_low) / count
    middles = (positions[1:] + positions[:-1]) / 2
    return numpy.searchsorted(middles, centres)


def draw_locus(pyplot, locus, loci_path, legend, options, record):
    """Returns (figure, what was drawn, warnings to print)."""
    panel_path = options.hap[0]
    rows, peak_first, peak_last = peak_rows(legend, locus, loci_path)
    snps_in_panel = bit_panel_shape(panel_path)[1] if is_bit_panel(panel_path) else None
    first, last, cut = drawn_columns(legend, rows, locus, options.flank, snps_in_panel or len(legend), peak_first,
                                     peak_last)
    read_first, read_last = min(first, peak_first), max(last, peak_last)
    matrix, haplotypes, snps = panel_columns(panel_path, read_first, read_last)
    record.add_input(panel_path, haplotypes=haplotypes, snps=snps)
    if len(legend) < snps:
        raise InputFault("corvane-plot: %s: %d SNP rows after the header, but the panel %s has %d SNPs"
                         % (legend.path, len(legend), panel_path, snps))
    warnings = []
    if len(legend) > snps:
        warnings.append("corvane-plot: warning: %s has %d SNP rows, but the panel %s has %d SNPs: the legend may "
                        "not belong to the panel" % (legend.path, len(legend), panel_path, snps))
    found = locus_haplotypes(matrix, peak_first - read_first, peak_last - read_first, first - read_first,
                             last - read_first)
    matrix = matrix[:, first - read_first:last - read_first + 1]
    carriers = int(found.carriers.sum())
    check_against_table(locus, loci_path, found, carriers, panel_path)
    samples = read_samples(options.samples, haplotypes, panel_path) if options.samples is not None else None
    group, group_names = (None, [""])
    if options.populations is not None:
        group, group_names = population_groups(samples, read_populations(options.populations, samples), haplotypes)
    bp = legend.bp[first:last + 1]
    order = row_order(found, bp, group)
    positions = bp / 1e6
    states = allele_states(legend, first, last)
    classes, colours = cell_classes(matrix, found, states)

    figure = pyplot.figure(figsize=(options.width, TOP_MARGIN_INCHES + options.panel_height + SHARE_TRACK_INCHES),
                           dpi=options.dpi, layout="constrained")
    grid = figure.add_gridspec(2, 1, height_ratios=[options.panel_height, SHARE_TRACK_INCHES])
    axes = figure.add_subplot(grid[0])
    share_axes = figure.add_subplot(grid[1], sharex=axes)
    spacing = numpy.diff(positions)
    half = float(numpy.median(spacing)) / 2 if len(spacing) else 0.0005
    x_low, x_high = float(positions[0] - half), float(positions[-1] + half)
    columns = int(min(4000, max(400, options.width * options.dpi * 1.5)))
    chosen = grid_columns(positions, x_low, x_high, columns)
    palette = numpy.array([[int(c[i:i + 2], 16) for i in (1, 3, 5)] for c in colours], numpy.uint8)
    image = palette[classes[order][:, chosen]]
    band = max(haplotypes * 0.06, 1.0)
    axes.imshow(image, extent=(x_low, x_high, haplotypes, 0), aspect="auto", interpolation="antialiased",
                zorder=1)
    axes.set_xlim(x_low, x_high)
    axes.set_ylim(haplotypes, -band)
    # The locus and its peak in a band over the rows.
    axes.fill_between([locus["locus_start"] / 1e6, locus["locus_end"] / 1e6], -band * 0.9, -band * 0.1,
                      color=SPAN_COLOUR, linewidth=0, zorder=2)
    axes.fill_between([locus["start"] / 1e6, locus["end"] / 1e6], -band * 0.75, -band * 0.25, color=PEAK_COLOUR,
                      linewidth=0, zorder=3)
    for edge in (locus["start"] / 1e6, locus["end"] / 1e6):
        axes.axvline(edge, color=PEAK_COLOUR, linewidth=0.8, linestyle="--", zorder=3)
    group_rows = describe_groups(axes, found, order, group, group_names, haplotypes)
    axes.set_ylabel("haplotypes" + (" by population" if group is not None else ""), fontsize=8)
    axes.tick_params(labelsize=7, labelbottom=False)
    key = axes.legend(handles=key_entries(classes), loc="upper left", bbox_to_anchor=(1.005, 1.0),
                      fontsize=6.5, frameon=False, borderaxespad=0)

    shares = draw_share(share_axes, found, positions, group, group_names, locus, options,
                        min(max((peak_first + peak_last) // 2 - first, 0), last - first))
    share_axes.set_xlabel("position on chromosome %s (Mb)" % locus["chr"], fontsize=8)
    homozygous, heterozygous = zygosity(found.carriers) if samples is not None else (None, None)
    title = options.title
    if title is None:
        title = "%s: %s of %s haplotypes (%.1f%%) carry the core over the peak %s-%s (%s, %s cM)" % (
            locus["name"], format(carriers, ","), format(haplotypes, ","), 100.0 * carriers / haplotypes,
            format(locus["start"], ","), format(locus["end"], ","), "%d SNPs" % locus["snps"], format(locus["cM"], "g"))
        second = [core_summary(found.peak_core, legend, peak_first, peak_last)]
        if cut:
            second.append("drawn: the %s SNPs around the peak's middle" % format(last - first + 1, ","))
        if homozygous is not None:
            second.insert(0, "%d samples carry it on both haplotypes, %d on one" % (homozygous, heterozygous))
        title += "\n" + "; ".join(second)
    # Lines longer than the figure is wide are wrapped (a character is about half the font size wide).
    characters = max(int(options.width * 72 / (9.5 * 0.55)), 20)
    title = "\n".join(textwrap.fill(line, characters) for line in title.split("\n"))
    figure.suptitle(title, fontsize=9.5)
    figure.draw_without_rendering()
    renderer = figure.canvas.get_renderer()
    group_labels = thin_group_labels(figure, axes)
    record.count("haplotypes", haplotypes)
    record.count("carriers", carriers)
    record.count("snps_drawn", last - first + 1)
    described = {
        "layout": "haplotypes", "locus": locus["name"], "chr": locus["chr"], "haplotypes": haplotypes,
        "carriers": carriers, "samples_homozygous": homozygous, "samples_heterozygous": heterozygous,
        "snps": last - first + 1, "first_snp": legend.ids[first], "last_snp": legend.ids[last],
        "peak_snps": [peak_first - first, peak_last - first], "cut": cut,
        "core": "".join(str(int(a)) if 0 <= a <= 9 else "," + str(int(a)) + "," for a in found.peak_core),
        "row_order": [int(row) for row in order], "groups": group_rows, "group_labels_shown": group_labels,
        "key": [text.get_text() for text in key.get_texts()], "title": title,
        "cells": {name: int((classes == index).sum()) for index, name in
                  enumerate(["%s %s" % ("core" if m else "other", s) for m, s in CELL_COLOURS] + ["other code"])},
        "axes": [{"role": "haplotypes", "x_range": [float(v) for v in axes.get_xlim()],
                  "y_range": [float(v) for v in axes.get_ylim()], "frame": box_list(axes.get_window_extent(renderer))},
                 {"role": "share", "x_range": [float(v) for v in share_axes.get_xlim()],
                  "y_range": [float(v) for v in share_axes.get_ylim()], "shares": shares,
                  "frame": box_list(share_axes.get_window_extent(renderer))}],
    }
    return figure, described, warnings


def check_against_table(locus, loci_path, found, carriers, panel_path):
    """The count (and core) the loci table holds must be this panel's: else the figure would show
    another panel's haplotypes under the locus's name."""
    if locus["carriers"] is not None and locus["carriers"] != carriers:
        raise InputFault("%s:%d: locus %s has %d carriers in the loci table, but %d haplotypes of %s carry its core: "
                         "the panel is not the one the loci were made from"
                         % (loci_path, locus["line"], locus["name"], locus["carriers"], carriers, panel_path))
    core = locus["core"]
    alleles = found.peak_core
    if core and not core.endswith("...") and "," not in core and set(core) <= {"0", "1"}:
        drawn = "".join(str(int(a)) for a in alleles)
        if drawn != core:
            raise InputFault("%s:%d: locus %s has the core %s in the loci table, but %s in %s: the panel is not the "
                             "one the loci were made from" % (loci_path, locus["line"], locus["name"], core, drawn,
                                                              panel_path))


def describe_groups(axes, found, order, group, group_names, haplotypes):
    """Lines between the groups of rows and between carriers and the others, group names at their middles."""
    ordered_groups = numpy.zeros(haplotypes, numpy.int64) if group is None else group[order]
    ordered_carriers = found.carriers[order]
    described, ticks, labels = [], [], []
    start = 0
    for code, name in enumerate(group_names):
        size = int((ordered_groups == code).sum())
        if size == 0:
            continue
        carriers = int(ordered_carriers[start:start + size].sum())
        if start > 0:
            axes.axhline(start, color="white", linewidth=2.0, zorder=4)
        if 0 < carriers < size:
            axes.plot([0, 1], [start + carriers] * 2, transform=axes.get_yaxis_transform(), color="#c44e52",
                      linewidth=0.7, linestyle=(0, (3, 2)), zorder=4)
        ticks.append(start + size / 2)
        text = "%s\n%d of %d carry" % (name, carriers, size) if name else "%d of %d carry" % (carriers, size)
        labels.append(text)
        described.append({"population": name, "haplotypes": size, "carriers": carriers, "rows": [start, start + size]})
        start += size
    if group is None and described:
        # One group: the carriers' block is the one to name.
        carriers = described[0]["carriers"]
        ticks, labels = [carriers / 2, carriers + (haplotypes - carriers) / 2], \
            ["%d carriers" % carriers, "%d others" % (haplotypes - carriers)]
    axes.set_yticks(ticks, labels)
    return described


def thin_group_labels(figure, axes):
    """Names of groups too thin for their text are left out rather than overprinted."""
    renderer = figure.canvas.get_renderer()
    shown, taken = [], []
    height = axes.get_window_extent(renderer).height
    low, high = axes.get_ylim()
    rows_per_pixel = abs(low - high) / max(height, 1)
    ticks = list(axes.yaxis.get_major_ticks())
    positions = axes.get_yticks()
    for index, (tick, position) in enumerate(zip(ticks, positions)):
        box = tick.label1.get_window_extent(renderer)
        next_edge = positions[index + 1] if index + 1 < len(positions) else low
        room = abs(next_edge - position) * 2 / rows_per_pixel if rows_per_pixel else 0
        if room < SMALLEST_LABELLED_GROUP_PIXELS or any(box.overlaps(other) for other in taken):
            tick.label1.set_visible(False)
            continue
        taken.append(box)
        shown.append(tick.label1.get_text())
    return shown


def draw_share(axes, found, positions, group, group_names, locus, options, peak_middle):
    """The share of haplotypes carrying the core out to each SNP: all of them, and each population."""
    lines = [("all %d haplotypes" % len(found.carriers), None, "#222222", 1.6)]
    if group is not None:
        for code, name in enumerate(group_names):
            rows = numpy.flatnonzero(group == code)
            if len(rows):
                lines.append(("%s (%d)" % (name, len(rows)), rows, POPULATION_COLOURS[code % len(POPULATION_COLOURS)],
                              1.0))
    shares = []
    highest = 0.0
    for label, rows, colour, width in lines:
        share = carrier_share(found, rows)
        axes.step(positions, share, where="mid", color=colour, linewidth=width, label=label)
        highest = max(highest, float(share.max()) if len(share) else 0.0)
        shares.append({"label": label, "peak": float(share[peak_middle]),
                       "highest": float(share.max()) if len(share) else 0.0})
    axes.axvspan(locus["start"] / 1e6, locus["end"] / 1e6, color=PEAK_COLOUR, alpha=0.12, linewidth=0)
    if options.freq is not None:
        axes.axhline(options.freq, color="#555555", linewidth=0.9, linestyle="--",
                     label="frequency %s" % options.freq_text)
        highest = max(highest, options.freq)
    axes.set_ylim(0, min(1.0, highest * 1.25) if highest > 0 else 1.0)
    axes.set_ylabel("carrying the\ncore", fontsize=7)
    axes.tick_params(labelsize=7)
    axes.grid(axis="y", color="#dddddd", linewidth=0.5)
    axes.legend(loc="upper left", bbox_to_anchor=(1.005, 1.0), fontsize=6.5, frameon=False, borderaxespad=0)
    return shares
