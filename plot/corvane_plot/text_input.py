# Reading corvane-plot's inputs: plain or gzip-compressed (told by the first bytes), as blocks of whole lines.
import gzip
import os
import zlib

from .faults import InputFault

GZIP_MAGIC = b"\x1f\x8b"
BLOCK_BYTES = 4 << 20
LONGEST_LINE = 256 << 20


def cannot_read(path, fault):
    reason = getattr(fault, "strerror", None) or str(fault) or type(fault).__name__
    return InputFault("corvane-plot: cannot read %s: %s" % (path, reason))


def open_input(path):
    """Returns (stream of the content, the file itself). A gzip file may hold several members one after
    another, as bgzip writes them."""
    try:
        raw = open(path, "rb")
        if os.path.isdir(path):
            raise IsADirectoryError(21, "Is a directory")
        head = raw.peek(2)[:2]
    except OSError as fault:
        raise cannot_read(path, fault) from None
    if head == GZIP_MAGIC:
        return gzip.GzipFile(fileobj=raw, mode="rb"), raw
    return raw, raw


def read_whole(path):
    """The whole content of a small input, decompressed."""
    stream, raw = open_input(path)
    try:
        with raw, stream:
            return stream.read()
    except (OSError, EOFError, zlib.error) as fault:
        raise cannot_read(path, fault) from None


def line_blocks(path, progress=None):
    """Yields (number of the block's first line, block): the file in blocks of whole lines, each line
    ending in a newline (one is added to a last line without it). progress(done, total) is told the
    bytes of the file read so far."""
    stream, raw = open_input(path)
    try:
        size = os.fstat(raw.fileno()).st_size
        with raw, stream:
            rest = b""
            line = 1
            while True:
                chunk = stream.read(BLOCK_BYTES)
                if not chunk:
                    break
                data = rest + chunk if rest else chunk
                cut = data.rfind(b"\n") + 1
                if cut == 0:
                    rest = data
                    if len(rest) > LONGEST_LINE:
                        raise InputFault("%s:%d: line longer than 256 MiB; is this a text file?" % (path, line))
                    continue
                block, rest = data[:cut], data[cut:]
                yield line, block
                line += block.count(b"\n")
                if progress is not None:
                    progress(raw.tell(), size)
            if rest:
                yield line, rest + b"\n"
    except (OSError, EOFError, zlib.error) as fault:
        raise cannot_read(path, fault) from None


def decoded(path, block):
    try:
        return block.decode("utf-8")
    except UnicodeDecodeError:
        raise InputFault("corvane-plot: %s: not a text file" % path) from None
