# Drawing many horizontal segments at once: a few large paths rather than one artist per interval, so two
# million intervals draw in seconds and in little memory.
import numpy
from matplotlib.collections import PathCollection
from matplotlib.path import Path

SEGMENTS_PER_PATH = 50000
# Above this many segments a vector figure holds them as one picture at the figure's dpi: a PDF or SVG
# of millions of strokes would be too large to open.
LARGEST_VECTOR_COUNT = 20000
# Up to this many in a panel, each segment gets a short tick at both ends, so that intervals that touch
# or overlap at one height stay apart; beyond it the ticks would only blacken the panel.
LARGEST_TICKED_COUNT = 5000


def segment_paths(x0, x1, y):
    paths = []
    for first in range(0, len(x0), SEGMENTS_PER_PATH):
        last = min(len(x0), first + SEGMENTS_PER_PATH)
        vertices = numpy.empty((2 * (last - first), 2))
        vertices[0::2, 0] = x0[first:last]
        vertices[1::2, 0] = x1[first:last]
        vertices[0::2, 1] = y[first:last]
        vertices[1::2, 1] = y[first:last]
        codes = numpy.empty(2 * (last - first), Path.code_type)
        codes[0::2] = Path.MOVETO
        codes[1::2] = Path.LINETO
        paths.append(Path(vertices, codes))
    return paths


def draw_segments(axes, x0, x1, y, colour, width, zorder=2, ticks=True):
    """Segments from (x0, y) to (x1, y) in data coordinates; returns how many were drawn."""
    if len(x0) == 0:
        return 0
    collection = PathCollection(segment_paths(x0, x1, y), facecolors="none", edgecolors=colour, linewidths=width,
                                capstyle="butt", zorder=zorder, rasterized=len(x0) > LARGEST_VECTOR_COUNT)
    axes.add_collection(collection, autolim=False)
    if ticks:
        axes.plot(numpy.concatenate([x0, x1]), numpy.concatenate([y, y]), linestyle="none", marker="|",
                  markersize=width * 2.2, markeredgewidth=0.9, color=colour, zorder=zorder, scalex=False,
                  scaley=False)
    return len(x0)
