# One run of corvane-plot: read the inputs, draw, write the figure and its run record, and turn how it
# ended into the exit status.
import json
import os
import signal
import sys

from .faults import InputFault, OutputFault, UsageFault
from .figure_file import check_output_place, refuse_inputs, write_figure
from .options import LARGEST_PIXELS, parameter_rows, parse_arguments
from .progress import Progress
from .run_record import RunRecord
from .scan_rule import SIMILARITY_CUTOFF

CAUGHT_SIGNALS = (signal.SIGTERM, signal.SIGHUP, signal.SIGINT)


class Interrupted(BaseException):
    """A caught signal, raised where the run is so that temporary files go."""

    def __init__(self, number):
        super().__init__(number)
        self.number = number


def on_signal(number, _frame):
    raise Interrupted(number)


def load_matplotlib(script):
    """Imports matplotlib with the Agg backend. A Python of its own ahead of the system one on PATH
    (pyenv, a virtualenv) often lacks Debian's python3-matplotlib, so the script then runs itself again
    under /usr/bin/python3, where that package lives."""
    try:
        import matplotlib
    except ImportError:
        system_python = "/usr/bin/python3"
        if (os.path.exists(system_python) and os.path.realpath(sys.executable) != os.path.realpath(system_python)
                and not os.environ.get("CORVANE_PLOT_REEXEC")):
            os.environ["CORVANE_PLOT_REEXEC"] = "1"
            os.execv(system_python, [system_python, os.path.abspath(script)] + sys.argv[1:])
        sys.stderr.write("corvane-plot: matplotlib is not installed for %s "
                         "(Debian: apt-get install python3-matplotlib)\n" % sys.executable)
        sys.exit(1)
    matplotlib.use("Agg")
    # Ids in an SVG depend on this salt, not on chance, so the same data give the same file.
    matplotlib.rcParams["svg.hashsalt"] = "corvane"
    import matplotlib.pyplot as pyplot
    return pyplot


def input_paths(options):
    paths = [options.result, options.loci] + options.hap + options.legend + [options.samples, options.populations]
    return [path for path in paths if path is not None]


def figure_height(options, panels, tracks_inches):
    return 0.5 + panels * (options.panel_height + tracks_inches)


def check_pixels(options, height):
    if height * options.dpi > LARGEST_PIXELS:
        raise UsageFault("the figure would be %d pixels high (%g inches at --dpi %g); at most %d: lower "
                         "--panel-height or --dpi, or use --layout genome" % (height * options.dpi, height,
                                                                               options.dpi, LARGEST_PIXELS))


def draw_scan(pyplot, options, record, progress):
    from .legend import read_legend
    from .loci_table import check_made_from, haplotype_count, read_loci
    from .panel import panel_shape
    from .result_table import read_result_table
    from .scan_figure import draw_genome, draw_panels, plural
    from .tracks import POPULATION_TRACK_INCHES, RATE_TRACK_INCHES

    table = read_result_table(options.result, progress.reading(options.result))
    record.count("intervals", len(table))
    record.count("chromosomes", len(table.names))
    loci = None
    if options.loci is not None:
        progress.step("reading %s" % options.loci)
        loci = read_loci(options.loci)
        check_made_from(loci, table)
        record.count("loci", len(loci))
    haplotypes = None
    for path in options.hap:
        counted = panel_shape(path)
        record.add_input(path, haplotypes=counted[0], snps=counted[1])
        haplotypes = haplotypes or counted[0]
    if haplotypes is None and loci is not None:
        haplotypes = haplotype_count(loci)
    legends = []
    for path in options.legend:
        legends.append(read_legend(path, progress.reading(path)))
    populations = list(loci.population_ranks) if loci is not None else []
    if options.populations_track and not populations:
        raise InputFault("%s:1: --populations-track needs a joint loci table, with a column POP.rank per population; "
                         "this one has none" % options.loci)
    tracks = (RATE_TRACK_INCHES if legends else 0) + POPULATION_TRACK_INCHES * len(populations)
    panels = 1 if options.layout == "genome" else max(len(table.names), 1)
    check_pixels(options, figure_height(options, panels, tracks))
    messages = []
    if options.y == "genetic":
        nan = int((table.cM != table.cM).sum())
        infinite = int(((table.cM == float("inf")) | (table.cM == float("-inf"))).sum())
        if nan or infinite:
            messages.append("corvane-plot: %s: %d of %s have no finite genetic length (nan: %d, inf: %d) and are not "
                            "drawn; --y snps draws them" % (options.result, nan + infinite,
                                                            plural(len(table), "interval"), nan, infinite))
        record.count("set_aside", nan + infinite)
    progress.step("drawing %s" % plural(len(table), "interval"))
    if options.layout == "genome":
        figure, described = draw_genome(pyplot, table, loci, legends, options, haplotypes)
    else:
        figure, described = draw_panels(pyplot, table, loci, legends, options, haplotypes)
    missing = [name for entry in described["axes"] if entry["role"] == "rate"
               for name in entry["chromosomes_without_legend"]]
    if missing:
        messages.append("corvane-plot: no legend given names chromosome%s %s: %s rate track is empty"
                        % ("s" if len(missing) > 1 else "", ", ".join(missing), "their" if len(missing) > 1 else "its"))
    labels = described["labels"] if "labels" in described else [l for p in described["panels"] for l in p["labels"]]
    record.count("labels", len(labels))
    return figure, described, messages


def draw_haplotypes(pyplot, options, record, progress):
    from .legend import read_legend
    from .locus_figure import SHARE_TRACK_INCHES, draw_locus, find_locus
    from .loci_table import check_made_from, read_loci
    from .result_table import read_result_table

    check_pixels(options, figure_height(options, 1, SHARE_TRACK_INCHES))
    progress.step("reading %s" % options.loci)
    loci = read_loci(options.loci, keep_core=True)
    if options.result is not None:
        check_made_from(loci, read_result_table(options.result, progress.reading(options.result)))
    locus = find_locus(loci, options.haplotypes, options.loci)
    legend = read_legend(options.legend[0], progress.reading(options.legend[0]), alleles=True)
    progress.step("drawing the haplotypes of %s" % locus["name"])
    return draw_locus(pyplot, locus, options.loci, legend, options, record)


def run(argv, version, command_name, script):
    """Returns the exit status. Usage errors found by the option parser exit from it with status 2."""
    options, parser = parse_arguments(argv, "corvane-plot " + version, SIMILARITY_CUTOFF)
    record = RunRecord(version, [command_name] + argv)
    record.parameters = parameter_rows(parser, options)
    for path in input_paths(options):
        record.add_input(path)
    log_path = options.output + ".log"
    previous = {number: signal.signal(number, on_signal) for number in CAUGHT_SIGNALS}
    progress = Progress()
    status, word, message, interrupted = 0, "done", None, None
    write_log = True
    try:
        check_output_place(options.output)
        refuse_inputs(options.output, input_paths(options))
        try:
            refuse_inputs(log_path, input_paths(options))
        except OutputFault:
            write_log = False
            progress.message("corvane-plot: warning: %s names an input; the run record is not written" % log_path)
        pyplot = load_matplotlib(script)
        draw = draw_haplotypes if options.haplotypes is not None else draw_scan
        figure, described, messages = draw(pyplot, options, record, progress)
        for text in messages:
            progress.message(text)
        progress.step("writing %s" % options.output)
        write_figure(figure, options.output, options.format, options.compressed, options.dpi)
        record.outputs.append(options.output)
        progress.finish()
        if options.dump:
            width, height = figure.get_size_inches()
            described.update({"figure_inches": [float(width), float(height)], "dpi": options.dpi,
                              "format": options.format})
            try:
                json.dump(described, sys.stdout)
                sys.stdout.write("\n")
                sys.stdout.flush()
            except OSError as fault:
                raise OutputFault("corvane-plot: cannot write to standard output: %s" % (fault.strerror or fault)) \
                    from None
    except (InputFault, OutputFault) as fault:
        status, word, message = 1, "bad input" if isinstance(fault, InputFault) else "output failed", str(fault)
        progress.message(message)
    except UsageFault as fault:
        progress.finish()
        parser.print_usage(sys.stderr)
        sys.stderr.write("corvane-plot: error: %s\n" % fault)
        return 2
    except Interrupted as caught:
        interrupted = caught.number
        status, word = 128 + caught.number, "interrupted"
    finally:
        progress.finish()
        for number, handler in previous.items():
            signal.signal(number, handler)
    if write_log:
        record.write(log_path, status, word, message)
    if interrupted is not None:
        signal.signal(interrupted, signal.SIG_DFL)
        os.kill(os.getpid(), interrupted)
    return status
