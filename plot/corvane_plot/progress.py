# Progress of a long run on standard error: on a terminal one line, redrawn; otherwise (a cluster job's
# log, a pipe) a plain line every few seconds while a step runs long, and nothing for a short run.
import sys
import threading
import time

# On a terminal the line shows once the run is half a second old; elsewhere a step's first line comes
# when it has run PLAIN_AFTER seconds, then one every PLAIN_EVERY.
TERMINAL_AFTER, TERMINAL_EVERY = 0.5, 0.25
PLAIN_AFTER, PLAIN_EVERY = 5.0, 5.0


def clock(seconds):
    minutes, seconds = divmod(int(seconds), 60)
    return "%d:%02d" % (minutes, seconds)


class Progress:
    """The step being run and how far it is; a thread prints it. Messages go through message(), which
    clears a shown line first."""

    def __init__(self, stream=None):
        self.stream = stream or sys.stderr
        try:
            self.terminal = self.stream.isatty()
        except (AttributeError, ValueError):
            self.terminal = False
        self.started = time.monotonic()
        self.last_plain = None
        self.text = None
        self.step_started = self.started
        self.detail = ""
        self.shown = False
        self.lock = threading.Lock()
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def step(self, text):
        with self.lock:
            self.text, self.detail = text, ""
            self.step_started = time.monotonic()
            self.last_plain = None

    def reading(self, path):
        """A callback for a reader: (bytes read, file size)."""
        self.step("reading %s" % path)

        def tell(done, total):
            if total:
                self.detail = "%d%% of %.1f MB" % (min(100, 100 * done // total), total / 1e6)
        return tell

    def line(self):
        detail = ": %s" % self.detail if self.detail else ""
        return "corvane-plot: %s%s, %s elapsed" % (self.text, detail, clock(time.monotonic() - self.started))

    def run(self):
        while not self.stopped.wait(TERMINAL_EVERY):
            now = time.monotonic()
            with self.lock:
                if self.text is None:
                    continue
                elapsed = now - self.step_started
                if self.terminal and now - self.started >= TERMINAL_AFTER:
                    self.stream.write("\r\x1b[K" + self.line())
                    self.stream.flush()
                    self.shown = True
                elif not self.terminal and elapsed >= PLAIN_AFTER and (
                        self.last_plain is None or elapsed - self.last_plain >= PLAIN_EVERY):
                    self.stream.write(self.line() + "\n")
                    self.stream.flush()
                    self.last_plain = elapsed

    def clear(self):
        if self.shown:
            self.stream.write("\r\x1b[K")
            self.stream.flush()
            self.shown = False

    def message(self, text):
        with self.lock:
            self.clear()
            self.stream.write(text + "\n")
            self.stream.flush()

    def finish(self):
        self.stopped.set()
        with self.lock:
            self.text = None
            self.clear()
