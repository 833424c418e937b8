# Runs a step's tool through no shell and writes the step's log: what ran, the tool's messages, how it ended.
#
# Every log starts with the command line (quoted so that it can be pasted into a shell), the folder
# and the start time, then holds everything the tool printed, and ends with its wall time and how
# it ended, so even a tool that prints nothing leaves a record. The scan writes no log of its own;
# its step adds the version, the panel's H and S, the frequency and the rows written.
import os
import shlex
import signal
import subprocess
import time

from snakemake.exceptions import WorkflowError


def how_it_ended(status):
    if status == 0:
        return "done (status 0)"
    if status < 0:
        try:
            return "killed by %s" % signal.Signals(-status).name
        except ValueError:
            return "killed by signal %d" % -status
    return "failed (status %d)" % status


def run_logged(command, log_path, facts_before=(), facts_after=lambda: ()):
    """Runs COMMAND (a list of words) with its output and messages in LOG_PATH, between the lines
    saying what ran and how it ended, plus FACTS_BEFORE and the lines FACTS_AFTER() gives; raises
    WorkflowError unless it ended with status 0."""
    with open(log_path, "w") as log:
        log.write("command: %s\n" % shlex.join(command))
        log.write("folder: %s\n" % os.getcwd())
        log.write("started: %s\n" % time.strftime("%Y-%m-%d %H:%M:%S %z"))
        for fact in facts_before:
            log.write(fact + "\n")
        log.flush()
        started = time.monotonic()
        try:
            ending = how_it_ended(subprocess.run(command, stdin=subprocess.DEVNULL, stdout=log,
                                                 stderr=subprocess.STDOUT).returncode)
        except OSError as error:
            ending = "could not start %s: %s" % (command[0], error.strerror)
        wall = time.monotonic() - started
        for fact in facts_after():
            log.write(fact + "\n")
        log.write("wall time: %.2f s\n" % wall)
        log.write("ended: %s\n" % ending)
    if ending != how_it_ended(0):
        raise WorkflowError("%s ended: %s; its messages are in %s" % (os.path.basename(command[0]), ending, log_path))


def tool_version(tool):
    """The first line TOOL --version prints, or why there is none."""
    try:
        asked = subprocess.run([tool, "--version"], stdin=subprocess.DEVNULL, capture_output=True, text=True,
                               timeout=60)
    except (OSError, subprocess.TimeoutExpired) as error:
        return "unknown (%s --version: %s)" % (tool, error)
    lines = asked.stdout.splitlines()
    if asked.returncode != 0 or not lines:
        return "unknown (%s --version ended: %s)" % (tool, how_it_ended(asked.returncode))
    return lines[0]


def table_rows(path):
    """Rows of a table after its header line, or None when there is no such file."""
    if not os.path.exists(path):
        return None
    lines = 0
    last = b"\n"
    with open(path, "rb") as stream:
        while chunk := stream.read(1 << 20):
            lines += chunk.count(b"\n")
            last = chunk[-1:]
    if last != b"\n":
        lines += 1
    return max(lines - 1, 0)


def run_scan_logged(command, log_path, tool, panel, frequency, table):
    shape = bit_panel_shape(panel)
    panel_fact = ("panel: %s, H = %d haplotypes, S = %d SNPs" % (panel, shape[0], shape[1]) if shape
                  else "panel: %s, not a bit panel (no H and S in its header)" % panel)

    def rows_written():
        rows = table_rows(table)
        return ["rows written: %s" % ("none (no table)" if rows is None else rows)]

    run_logged(command, log_path, ["version: " + tool_version(tool), panel_fact, "frequency: " + frequency],
               rows_written)
