# Reading tab-separated tables a block at a time with numpy: the fields of rows that all have the same
# number of fields, and their columns as whole numbers, numbers or byte strings. Anything irregular
# returns None, so that the caller reads that block line by line and gives the exact message.
import numpy

from .faults import InputFault

TAB, NEWLINE, ZERO = 9, 10, 48
LONGEST_NUMBER = 18  # digits; any count or position a table holds is far shorter


def split_rows(block, width, skip_line=None):
    """(bytes, field starts, field ends) of a block of whole lines that each hold width tab-separated
    fields, lines equal to skip_line (a header, newline included) left out; None for anything else."""
    if b"\r" in block:
        return None
    data = numpy.frombuffer(block, numpy.uint8)
    separators = numpy.flatnonzero((data == TAB) | (data == NEWLINE)).astype(numpy.int32)
    rows = separators.size // width
    if rows == 0 or separators.size != rows * width:
        return None
    ends = separators.reshape(rows, width)
    if not (data[ends[:, -1]] == NEWLINE).all() or (width > 1 and not (data[ends[:, :-1]] == TAB).all()):
        return None
    starts = numpy.empty_like(ends)
    starts.flat[0] = 0
    starts.flat[1:] = ends.flat[:-1] + 1
    if skip_line is not None:
        keep = numpy.ones(rows, bool)
        found = block.find(skip_line)
        while found >= 0:
            if found == 0 or block[found - 1] == NEWLINE:
                keep[numpy.searchsorted(starts[:, 0], found)] = False
            found = block.find(skip_line, found + 1)
        if not keep.all():
            starts, ends = starts[keep], ends[keep]
    return data, starts, ends


def right_aligned(data, starts, ends, longest):
    """The fields' bytes right-aligned in a matrix, zero before them, with the mask of their own bytes;
    None where one is longer than longest."""
    widths = ends - starts
    width = int(widths.max()) if widths.size else 0
    if width > longest:
        return None, None
    width = max(width, 1)
    index = ends[:, None] + numpy.arange(-width, 0, dtype=ends.dtype)
    mask = index >= starts[:, None]
    matrix = data[numpy.maximum(index, 0)]
    matrix[~mask] = 0
    return matrix, mask


def whole_numbers(data, starts, ends, empty_allowed=False):
    """(values, empty fields) of fields of plain decimal digits; None when a field is something else (or
    empty, unless allowed: its value is then 0)."""
    empty = ends == starts
    if empty.any() and not empty_allowed:
        return None
    matrix, mask = right_aligned(data, starts, ends, LONGEST_NUMBER)
    if matrix is None:
        return None
    digits = matrix - numpy.uint8(ZERO)
    digits[~mask] = 0
    if (digits > 9).any():
        return None
    powers = 10 ** numpy.arange(matrix.shape[1] - 1, -1, -1, dtype=numpy.int64)
    return digits.astype(numpy.int64) @ powers, empty


def texts(data, starts, ends, longest=64):
    """The fields as fixed-width byte strings (numpy drops zero bytes only at the end, so the matrix is
    left-aligned); None where one is longer than longest."""
    widths = ends - starts
    width = int(widths.max()) if widths.size else 0
    if width > longest:
        return None
    width = max(width, 1)
    index = starts[:, None] + numpy.arange(width, dtype=starts.dtype)
    matrix = data[numpy.minimum(index, len(data) - 1)]
    matrix[index >= ends[:, None]] = 0
    return numpy.ascontiguousarray(matrix).view("S%d" % width).ravel()


def numbers(data, starts, ends, empty_allowed=False):
    """Fields read as Python reads a float (nan, inf, -3, 1e-05); empty ones as nan where allowed; None
    when one is not a number."""
    empty = ends == starts
    if empty.any() and not empty_allowed:
        return None
    text = texts(data, starts, ends)
    if text is None:
        return None
    if empty.any():
        text = text.copy()
        text[empty] = b"nan"
    try:
        return text.astype(numpy.float64)
    except ValueError:
        return None


def parse_whole(text, name, where):
    """One field read the slow way: a whole number, not negative, or the message that says why not."""
    try:
        value = int(text)
    except ValueError:
        raise InputFault("%s: %s is not an integer: \"%s\"" % (where, name, text)) from None
    if value < 0:
        raise InputFault("%s: %s is negative: %s" % (where, name, text))
    return value


def parse_number(text, name, where):
    try:
        return float(text)
    except ValueError:
        raise InputFault("%s: %s is not a number: \"%s\"" % (where, name, text)) from None
