# The genome layout's x axis: each chromosome over its own extent, side by side in table order, with Mb
# ticks inside each chromosome, its name under them, and alternating bands.
import dataclasses

import numpy

NICE_STEPS_MB = [0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 25, 50, 100, 200, 250, 500, 1000, 2000, 5000]
SMALLEST_TICK_GAP_INCHES = 0.25
BAND_COLOUR = "#eeeeee"


@dataclasses.dataclass
class GenomeAxis:
    """names: chromosomes in order; first/last: each one's first and last bp drawn; offset: where its
    first bp stands on the axis (bp); the axis runs from 0 to length (bp)."""
    names: list
    first: numpy.ndarray
    last: numpy.ndarray
    offset: numpy.ndarray
    length: int
    gap: int

    def x(self, chromosome_codes, bp):
        """Axis positions (Mb) of bp on the chromosomes given by their index in names."""
        return (self.offset[chromosome_codes] + bp - self.first[chromosome_codes]) / 1e6

    def middle(self, code):
        return (self.offset[code] + (self.last[code] - self.first[code]) / 2) / 1e6


def genome_axis(names, extents):
    """extents: {name: (first bp, last bp)}; the gaps between chromosomes take 4 % of the axis (up to
    1 % of it each)."""
    first = numpy.array([extents[name][0] for name in names], numpy.int64)
    last = numpy.array([extents[name][1] for name in names], numpy.int64)
    widths = numpy.maximum(last - first, 1)
    gap = max(int(widths.sum() * min(0.04 / max(len(names) - 1, 1), 0.01)), 1)
    offset = numpy.concatenate([[0], numpy.cumsum(widths + gap)[:-1]]).astype(numpy.int64)
    length = int(offset[-1] + widths[-1]) if len(names) else 1
    return GenomeAxis(list(names), first, last, offset, length, gap)


def tick_step_mb(layout, width_inches):
    """The smallest round step (Mb) whose ticks stand at least SMALLEST_TICK_GAP_INCHES apart."""
    mb_per_inch = layout.length / 1e6 / max(width_inches, 0.1)
    for step in NICE_STEPS_MB:
        if step / mb_per_inch >= SMALLEST_TICK_GAP_INCHES:
            return step
    return NICE_STEPS_MB[-1]


def draw_genome_axis(axes, layout, width_inches, names_below=True):
    """Mb ticks, the alternating bands and (names_below) the chromosome names. Returns the name texts."""
    step = tick_step_mb(layout, width_inches - 1.0)
    positions, labels = [], []
    for code in range(len(layout.names)):
        first_mb, last_mb = layout.first[code] / 1e6, layout.last[code] / 1e6
        mark = numpy.ceil(first_mb / step) * step
        while mark <= last_mb + 1e-9:
            positions.append(float(layout.x(code, mark * 1e6)))
            labels.append(("%g" % mark))
            mark += step
        if code % 2 == 1:
            axes.axvspan(layout.x(code, layout.first[code]), layout.x(code, layout.last[code]), color=BAND_COLOUR,
                         linewidth=0, zorder=0)
    axes.set_xticks(positions, labels)
    margin = layout.gap / 2e6
    axes.set_xlim(-margin, layout.length / 1e6 + margin)
    texts = []
    if names_below:
        for code, name in enumerate(layout.names):
            texts.append(axes.annotate(name, (layout.middle(code), 0), xycoords=("data", "axes fraction"),
                                       xytext=(0, -17), textcoords="offset points", ha="center", va="top",
                                       fontsize=8, fontweight="bold", annotation_clip=False))
    # Room under the tick labels for the names and their second row.
    axes.set_xlabel("position (Mb) on each chromosome", fontsize=8, labelpad=16 if names_below else 4)
    return texts


def stagger_names(figure, texts, gap=3):
    """Chromosome names that would overlap a neighbour go to a second row; where that row is taken too
    they are left out. Returns the names shown."""
    renderer = figure.canvas.get_renderer()
    last_box = [None, None]
    shown = []
    for text in texts:
        box = text.get_window_extent(renderer).padded(gap)
        if last_box[0] is None or not box.overlaps(last_box[0]):
            last_box[0] = box
            shown.append(text.get_text())
            continue
        text.set_position((0, -27))
        lowered = text.get_window_extent(renderer).padded(gap)
        if last_box[1] is None or not lowered.overlaps(last_box[1]):
            last_box[1] = lowered
            shown.append(text.get_text())
            continue
        text.set_visible(False)
    return shown
