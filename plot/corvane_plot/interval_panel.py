# One panel of intervals: its limits, key and spans first, then, once the figure's layout is fixed and
# the size of a pixel known, its segments and labels.
import dataclasses
import math

import numpy
from matplotlib.lines import Line2D
from matplotlib.patches import Patch

from .labels import box_list, place_labels
from .segments import LARGEST_TICKED_COUNT, draw_segments

PLAIN_COLOURS = ("#4c72b0", "#8fa8d0")
LABELLED_COLOUR = "#c44e52"
PLAIN_WIDTH, LABELLED_WIDTH = 2.5, 3.5
# A segment is drawn at least this wide, so intervals far shorter than a pixel still show.
NARROWEST_PIXELS = 1.2


def widened(x0, x1, mb_per_pixel):
    """Segments narrower than NARROWEST_PIXELS widened about their middle."""
    least = NARROWEST_PIXELS * mb_per_pixel
    middle = (x0 + x1) / 2
    narrow = (x1 - x0) < least
    return numpy.where(narrow, middle - least / 2, x0), numpy.where(narrow, middle + least / 2, x1)


@dataclasses.dataclass
class PanelPlan:
    """What one panel of intervals draws, gathered before the layout is fixed and drawn after it: the
    intervals (x in Mb on the axis, heights; stripe 0/1 per row in the genome layout, else None), the
    labelled marks (text, x0, x1, height), best first; the spans of the labelled loci (x0, x1); what the
    key says; how many intervals have no finite height."""
    axes: object
    x0: numpy.ndarray
    x1: numpy.ndarray
    h: numpy.ndarray
    stripe: object
    marks: list
    chrom: str
    spans: list = dataclasses.field(default_factory=list)
    key_texts: list = dataclasses.field(default_factory=list)
    key_title: str = None
    set_aside: int = 0


def set_up_panel(plan, y_label, title, loci_mode, population_top=None):
    """Limits, titles, the key and the spans of the labelled loci; the segments come once the layout is
    fixed (they must know the size of a pixel)."""
    axes = plan.axes
    plan.set_aside = int((~numpy.isfinite(plan.h)).sum())
    finite = plan.h[numpy.isfinite(plan.h)]
    marked = [mark[3] for mark in plan.marks]
    values = numpy.concatenate([finite, numpy.array(marked, numpy.float64)])
    highest = float(values.max()) if values.size else 1.0
    lowest = min(float(values.min()) if values.size else 0.0, 0.0)
    if highest <= 0:
        highest = 1.0 if lowest == 0 else 0.0
    span = highest - lowest
    # A little room below 0 keeps intervals of length 0 visible above the axis line; room above for labels.
    axes.set_ylim(lowest - span * 0.03, highest + span * 0.35)
    for x0, x1 in plan.spans:
        axes.axvspan(x0, x1, color=LABELLED_COLOUR, alpha=0.15, linewidth=0, zorder=1)
    axes.set_title(title, fontsize=9, loc="left")
    axes.set_ylabel(y_label, fontsize=8)
    axes.tick_params(labelsize=7)
    axes.grid(axis="y", color="#dddddd", linewidth=0.6)
    axes.set_axisbelow(True)
    drawn = int(numpy.isfinite(plan.h).sum())
    handles = [Line2D([], [], color=PLAIN_COLOURS[0], linewidth=PLAIN_WIDTH, marker="|", markersize=5,
                      label="interval, at its %s (%s)" % ("genetic length" if "cM" in y_label else "SNP count",
                                                          format(drawn, ",")))]
    if loci_mode:
        handles.append(Line2D([], [], color=LABELLED_COLOUR, linewidth=LABELLED_WIDTH, label="peak of a labelled locus"))
        handles.append(Patch(color=LABELLED_COLOUR, alpha=0.15, linewidth=0, label="span of a labelled locus"))
    elif plan.marks:
        handles.append(Line2D([], [], color=LABELLED_COLOUR, linewidth=LABELLED_WIDTH,
                              label="labelled: the %s longest" % len(plan.marks)))
    if population_top is not None:
        handles.append(Line2D([], [], color="#6c7a89", linewidth=5,
                              label="tracks: loci a population ranks (red: its %d best)" % population_top))
    if plan.set_aside:
        handles.append(Line2D([], [], linestyle="none",
                              label="%s without a finite genetic length, not drawn" % format(plan.set_aside, ",")))
    key = axes.legend(handles=handles, loc="upper right", fontsize=6.5, title=plan.key_title, title_fontsize=6.5,
                      framealpha=0.85, borderpad=0.4, handlelength=2.2)
    key.set_zorder(5)
    if len(plan.h) == 0 and not plan.marks:
        axes.text(0.5, 0.5, "no intervals", transform=axes.transAxes, ha="center", va="center", fontsize=10,
                  color="#555555")
    plan.key_texts = [handle.get_label() for handle in handles]


def make_room_for_the_key(figure, plan):
    """Raises the top of the y range until the key, in the upper right corner, sits above every interval."""
    axes, key = plan.axes, plan.axes.get_legend()
    finite = plan.h[numpy.isfinite(plan.h)]
    if key is None or finite.size == 0:
        return
    renderer = figure.canvas.get_renderer()
    share = key.get_window_extent(renderer).height / max(axes.get_window_extent(renderer).height, 1.0)
    low, top = axes.get_ylim()
    highest = max(float(finite.max()), max((mark[3] for mark in plan.marks), default=-math.inf))
    if share < 0.9:
        needed = low + (highest - low) / (1.0 - share - 0.05)
        if needed > top:
            axes.set_ylim(low, needed)


def draw_panel_segments(figure, plan):
    make_room_for_the_key(figure, plan)
    axes = plan.axes
    low, high = axes.get_xlim()
    width = axes.get_window_extent(figure.canvas.get_renderer()).width
    mb_per_pixel = (high - low) / max(width, 1.0)
    finite = numpy.isfinite(plan.h)
    ticks = int(finite.sum()) <= LARGEST_TICKED_COUNT
    stripes = (0, 1) if plan.stripe is not None else (0,)
    for stripe in stripes:
        chosen = finite if plan.stripe is None else finite & (plan.stripe == stripe)
        x0, x1 = widened(plan.x0[chosen], plan.x1[chosen], mb_per_pixel)
        draw_segments(axes, x0, x1, plan.h[chosen], PLAIN_COLOURS[stripe], PLAIN_WIDTH, ticks=ticks)
    if plan.marks:
        marks = numpy.array([mark[1:] for mark in plan.marks], numpy.float64)
        x0, x1 = widened(marks[:, 0], marks[:, 1], mb_per_pixel)
        draw_segments(axes, x0, x1, marks[:, 2], LABELLED_COLOUR, LABELLED_WIDTH, zorder=3)


def label_panel(figure, plan):
    renderer = figure.canvas.get_renderer()
    key = plan.axes.get_legend()
    avoid = [key.get_window_extent(renderer).padded(2)] if key is not None else []
    return place_labels(figure, plan.axes, plan.marks, avoid)


def finish_panel(figure, plan):
    """Draws the segments and labels of a panel once the layout is fixed; returns what --dump tells of it."""
    draw_panel_segments(figure, plan)
    placed, left_out = label_panel(figure, plan)
    texts = [text for text, _ in placed]
    return describe_axes(figure, plan.axes, "intervals", chr=plan.chrom, key=plan.key_texts, key_title=plan.key_title,
                         labels=texts, label_boxes=[box_list(box) for _, box in placed], labels_left_out=left_out,
                         marks={"intervals": int(numpy.isfinite(plan.h).sum()), "labelled": len(texts),
                                "spans": len(plan.spans), "set_aside": plan.set_aside})


def describe_axes(figure, axes, role, **facts):
    renderer = figure.canvas.get_renderer()
    entry = {"role": role, "x_range": [float(v) for v in axes.get_xlim()],
             "y_range": [float(v) for v in axes.get_ylim()], "frame": box_list(axes.get_window_extent(renderer))}
    entry.update(facts)
    return entry
