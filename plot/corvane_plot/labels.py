# Placing labels near their marks without overlaps: each label takes the first free spot near its mark,
# and a label with no free spot is left out (fewer labels rather than labels over labels).

# Above the mark first, nearest first; below it as a last resort.
SPOTS = [(dy, ha) for dy in (3, 13, 23, 33, 43, 53, -5, -15) for ha in ("center", "left", "right")]
PADDING = 3


def add_label(axes, text, x, y, dy, ha, leader, colour):
    label = axes.annotate(text, (x, y), xytext=(0, dy), textcoords="offset points", ha=ha,
                          va="bottom" if dy > 0 else "top", fontsize=7.5, color=colour, annotation_clip=False,
                          arrowprops=dict(arrowstyle="-", color="#c44e52", linewidth=0.6, shrinkA=0, shrinkB=2)
                          if leader else None)
    label.set_in_layout(False)
    return label


def place_labels(figure, axes, marks, avoid=(), colour="#7a1f22"):
    """marks: (text, x0, x1, y) in data coordinates, best first. Runs once the layout is fixed, since
    overlaps are judged in pixels. A label set off from its mark gets a leader line; spots are measured
    without one, as its extent would count the line too. Returns (placed texts with their boxes in
    pixels, texts left out)."""
    renderer = figure.canvas.get_renderer()
    frame = axes.get_window_extent(renderer)
    taken = list(avoid)
    placed, left_out = [], []
    for text, x0, x1, y in marks:
        anchors = {"center": (x0 + x1) / 2, "left": x0, "right": x1}
        chosen = None
        for dy, ha in SPOTS:
            probe = add_label(axes, text, anchors[ha], y, dy, ha, False, colour)
            box = probe.get_window_extent(renderer).padded(PADDING)
            probe.remove()
            inside = frame.x0 <= box.x0 and box.x1 <= frame.x1 and frame.y0 <= box.y0 and box.y1 <= frame.y1
            if inside and not any(box.overlaps(other) for other in taken):
                chosen = (dy, ha, box)
                break
        if chosen is None:
            left_out.append(text)
            continue
        dy, ha, box = chosen
        add_label(axes, text, anchors[ha], y, dy, ha, abs(dy) > 5, colour)
        taken.append(box)
        placed.append((text, box))
    return placed, left_out


def thin_tick_labels(figure, axis, gap=4):
    """Blanks the tick labels of an axis that would overlap the one kept before them, left to right."""
    renderer = figure.canvas.get_renderer()
    kept = None
    shown = []
    for tick in axis.get_major_ticks():
        label = tick.label1 if tick.label1.get_visible() else tick.label2
        if not label.get_text():
            continue
        box = label.get_window_extent(renderer).padded(gap / 2)
        if kept is not None and box.overlaps(kept):
            tick.label1.set_visible(False)
            tick.label2.set_visible(False)
            continue
        kept = box
        shown.append(label.get_text())
    return shown


def box_list(box):
    return [round(float(box.x0), 1), round(float(box.y0), 1), round(float(box.x1), 1), round(float(box.y1), 1)]
