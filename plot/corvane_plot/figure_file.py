# Writing a figure: the format told by the name (PNG, SVG, PDF; a further .gz compresses it), beside the
# target under a temporary name and renamed when complete.
import gzip
import os
import tempfile

from .faults import OutputFault

FORMATS = {".png": "png", ".svg": "svg", ".pdf": "pdf", ".svgz": "svg"}


def figure_format(path):
    """(format, compressed) for a figure name, or None where the name tells no format."""
    name = path.lower()
    compressed = name.endswith(".gz")
    if compressed:
        name = name[:-3]
    fmt = FORMATS.get(os.path.splitext(name)[1])
    if fmt is None:
        return None
    return fmt, compressed or name.endswith(".svgz")


def check_output_place(path):
    """Refuses, before any work, a figure name that cannot be written: a folder, a missing folder."""
    folder = os.path.dirname(os.path.abspath(path))
    if os.path.isdir(path):
        raise OutputFault("corvane-plot: cannot write %s: Is a directory" % path)
    if not os.path.isdir(folder):
        raise OutputFault("corvane-plot: cannot write %s: the folder %s does not exist" % (path, folder))
    if not os.access(folder, os.W_OK | os.X_OK):
        raise OutputFault("corvane-plot: cannot write %s: the folder %s is not writable" % (path, folder))


def refuse_inputs(path, inputs):
    """An output that names an input (also through a link) would destroy it."""
    if not os.path.exists(path):
        return
    for given in inputs:
        try:
            if os.path.samefile(path, given):
                raise OutputFault("corvane-plot: output file %s is the input file %s; refusing to overwrite an input"
                                  % (path, given))
        except OSError:
            continue


def write_figure(figure, path, fmt, compressed, dpi):
    """Dates are left out of PDF and SVG files so the same data give the same bytes."""
    directory = os.path.dirname(os.path.abspath(path))
    metadata = {"CreationDate": None} if fmt == "pdf" else {"Date": None} if fmt == "svg" else None
    try:
        handle, temporary = tempfile.mkstemp(prefix=".corvane-plot-", suffix="." + fmt, dir=directory)
    except OSError as fault:
        raise OutputFault("corvane-plot: cannot write %s: %s" % (path, fault.strerror or fault)) from None
    try:
        with os.fdopen(handle, "wb") as stream:
            if compressed:
                with gzip.GzipFile(fileobj=stream, mode="wb", mtime=0) as packed:
                    figure.savefig(packed, format=fmt, dpi=dpi, metadata=metadata)
            else:
                figure.savefig(stream, format=fmt, dpi=dpi, metadata=metadata)
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except OSError as fault:
        os.unlink(temporary)
        raise OutputFault("corvane-plot: cannot write %s: %s" % (path, fault.strerror or fault)) from None
    except BaseException:
        os.unlink(temporary)
        raise
