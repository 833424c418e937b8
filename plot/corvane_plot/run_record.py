# The run record FIGURE.log: one fact per line (key TAB value), in the order every corvane tool writes
# them, written at the end of the run beside the figure under a temporary name and renamed.
import datetime
import os
import resource
import shlex
import sys
import tempfile
import time

STATUS_WORDS = {0: "done", 1: "bad input"}


def utc(seconds):
    return datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


class RunRecord:
    """Gathers the facts of one run as it goes, and writes them when it ends."""

    def __init__(self, version, argv):
        self.version = version
        self.command = argv
        self.folder = os.getcwd()
        self.started = time.time()
        self.clock = time.monotonic()
        self.inputs = []
        self.parameters = []
        self.counts = []
        self.outputs = []

    def add_input(self, path, **extra):
        """Every input, in command-line order; panels add haplotypes= and snps=."""
        for entry in self.inputs:
            if entry[0] == path:
                entry[1].update(extra)
                return
        self.inputs.append((path, dict(extra)))

    def count(self, name, value):
        self.counts.append((name, value))

    def lines(self, status, word, message):
        lines = [("tool", "corvane-plot"), ("version", self.version),
                 ("command", " ".join(shlex.quote(word) for word in self.command)),
                 ("folder", self.folder), ("started", utc(self.started))]
        for path, extra in self.inputs:
            try:
                facts = os.stat(path)
                described = ["bytes=%d" % facts.st_size, "modified=%s" % utc(facts.st_mtime)]
            except OSError as fault:
                described = ["unreadable=%s" % (fault.strerror or fault)]
            lines.append(("input", path, *described, *("%s=%s" % item for item in extra.items())))
        for name, value, origin in self.parameters:
            values = (value or [""]) if isinstance(value, list) else [value]
            lines.append(("parameter", name, *[str(v) for v in values], origin))
        lines += [("count", name, str(value)) for name, value in self.counts]
        lines += [("output", path) for path in self.outputs]
        times = os.times()
        lines += [("wall_seconds", "%.2f" % (time.monotonic() - self.clock)),
                  ("cpu_seconds", "%.2f" % (times.user + times.system)),
                  ("peak_memory_kb", str(resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)),
                  ("status", str(status), word)]
        if message:
            lines.append(("message", " ".join(message.split("\n"))))
        return lines

    def write(self, path, status, word, message=None):
        """A record that cannot be written is a warning; it never changes how the run ended."""
        text = "".join("\t".join(str(field).replace("\t", " ").replace("\n", " ") for field in line) + "\n"
                       for line in self.lines(status, word, message))
        folder = os.path.dirname(os.path.abspath(path))
        try:
            handle, temporary = tempfile.mkstemp(prefix=".corvane-plot-", suffix=".log", dir=folder)
        except OSError as fault:
            sys.stderr.write("corvane-plot: warning: cannot write the run record %s: %s\n"
                             % (path, fault.strerror or fault))
            return
        try:
            with os.fdopen(handle, "w", encoding="utf-8") as stream:
                stream.write(text)
            os.chmod(temporary, 0o644)
            os.replace(temporary, path)
        except OSError as fault:
            os.unlink(temporary)
            sys.stderr.write("corvane-plot: warning: cannot write the run record %s: %s\n"
                             % (path, fault.strerror or fault))
