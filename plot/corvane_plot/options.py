# corvane-plot's command line: the options, read in one place and checked in one function.
import argparse
import math

from .figure_file import figure_format

DESCRIPTION = "Draw a corvane result table, or the haplotypes of one locus, as a PNG, SVG or PDF figure."
EPILOG = """\
Scan figures (RESULT given): each interval is a horizontal segment over its physical span (x, in Mb)
at the height of its genetic length in cM (or, with --y snps, its SNP count), with a short tick at
each end (up to 5000 intervals a panel) so that intervals that touch or overlap at one height stay
apart. The longest intervals of each chromosome are labelled chr:start-end; with --loci the
best-ranked loci (by p_value where the table has it) are, shaded over their span with the peak in
red. Labels never overlap: a label without a free spot near its mark is left out. A table holding
several chromosomes gets one panel per chromosome, in the order they first appear; with --layout
genome they stand side by side on one axis, each over its own extent with Mb ticks and alternating
bands. --legend adds a recombination-rate track (cM/Mb) under each panel; a loci table with columns
POP.rank adds one track per population. Intervals whose genetic length is nan or infinite are set
aside (counted on standard error and in the key); negative lengths are drawn below 0.

Locus figures (--haplotypes LOCUS): the panel's haplotypes as rows over the locus and --flank SNPs
each side, SNPs as columns at their positions. A haplotype carries the core (the most common
haplotype over the locus's peak interval) when its similarity to it there exceeds %(cutoff)s (the
scan's rule); beyond the peak the core's allele is the commonest among its carriers. Each cell is
dark where the haplotype has the core's allele and light where not, in blue for the derived (or ALT)
allele and grey for the ancestral (or REF) one; red cells hold other allele codes. Carriers come first,
then every row by how far its run of matching alleles reaches from the peak. Under it, the share of
haplotypes that carry the core out to each SNP. With --samples and --populations, rows are grouped by
population and the share is drawn per population.

The figure is --width inches wide and 0.5 + --panel-height inches high per panel (plus 0.8 for a rate
track and 0.4 for each population track; a locus figure adds 1.5 for its share track). Besides the
figure, FIGURE.log records the run: version, command, inputs, parameters, counts, time and memory.

Exit status: 0 figure written, 1 an input that cannot be read or is not what it should be, or a figure
that cannot be written (no figure is then left under its name), 2 usage error."""

LARGEST_PIXELS = 20000
DPI_RANGE = (10.0, 2400.0)
WIDTH_RANGE = (1.0, 100.0)
PANEL_HEIGHT_RANGE = (0.5, 100.0)
LARGEST_FLANK = 100000


def number(text):
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError("not a number: %s" % text) from None
    if not math.isfinite(value):
        raise argparse.ArgumentTypeError("not a finite number: %s" % text)
    return value


def whole_number(text):
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError("not a whole number: %s" % text) from None
    if value < 0:
        raise argparse.ArgumentTypeError("must not be negative: %s" % text)
    return value


def build_parser(version_line, cutoff):
    parser = argparse.ArgumentParser(
        prog="corvane-plot", description=DESCRIPTION, epilog=EPILOG % {"cutoff": cutoff},
        formatter_class=argparse.RawDescriptionHelpFormatter,
        usage="corvane-plot RESULT -o FIGURE [options]\n"
              "       corvane-plot --haplotypes LOCUS --loci LOCI --hap PANEL --legend LEGEND [--samples FILE "
              "[--populations FILE]] -o FIGURE [options]")
    parser.add_argument("result", metavar="RESULT", nargs="?",
                        help="result table written by corvane (or several, concatenated), plain or gzip")
    parser.add_argument("-o", "--output", metavar="FIGURE", required=True,
                        help="figure to write; .png, .svg or .pdf chooses the format (.gz added: compressed)")
    parser.add_argument("--y", choices=["genetic", "snps"], default="genetic",
                        help="segment height: genetic length in cM or SNP count (default %(default)s)")
    parser.add_argument("--top", type=whole_number, default=5, metavar="N",
                        help="label the N longest intervals (or best loci) of each chromosome, of the whole genome "
                             "with --layout genome (default %(default)d; 0 for none)")
    parser.add_argument("--loci", metavar="LOCI",
                        help="a loci table of corvane-loci: label the N best loci; with RESULT it must have been "
                             "made from it")
    parser.add_argument("--layout", choices=["panels", "genome"], default="panels",
                        help="one panel per chromosome (default), or all chromosomes side by side on one axis")
    parser.add_argument("--legend", metavar="LEGEND", action="append",
                        help="a legend: draws the recombination rate (cM/Mb) under each chromosome (may be "
                             "repeated, one per chromosome); with --haplotypes, the legend of PANEL")
    parser.add_argument("--hap", metavar="PANEL", action="append",
                        help="the panel the scan read (bit panel or text, plain or gzip): names H in the title; "
                             "with --haplotypes, the panel drawn")
    parser.add_argument("--haplotypes", metavar="LOCUS",
                        help="draw the haplotypes of this locus of LOCI (its name, as 21:11)")
    parser.add_argument("--samples", metavar="FILE",
                        help="with --haplotypes: the panel's sample ids, one per line (PREFIX.samples)")
    parser.add_argument("--populations", metavar="FILE",
                        help="with --haplotypes and --samples: sample id and population per line; groups the rows")
    parser.add_argument("--flank", type=whole_number, default=50, metavar="SNPS",
                        help="with --haplotypes: SNPs drawn each side of the locus (default %(default)d)")
    parser.add_argument("--populations-track", action="store_true",
                        help="one track per population of a joint loci table (columns POP.rank): drawn whenever "
                             "LOCI has them; with this option a LOCI without them is refused")
    parser.add_argument("--title", help="figure title (default: chromosome, frequency, H and counts, from the data)")
    parser.add_argument("--freq", metavar="FREQUENCY", type=number,
                        help="the scan's frequency (above 0, below 1): named in the title and key, drawn on the "
                             "share of carriers")
    parser.add_argument("--width", type=number, default=10.0, metavar="INCHES",
                        help="figure width (default %(default)g)")
    parser.add_argument("--panel-height", type=number, default=3.0, metavar="INCHES",
                        help="height of each panel (default %(default)g)")
    parser.add_argument("--dpi", type=number, default=100.0, help="resolution of a PNG (default %(default)g)")
    parser.add_argument("--dump", action="store_true",
                        help="also print what was drawn (panels, marks, labels, axes, key, size) as JSON on "
                             "standard output")
    parser.add_argument("--version", action="version", version=version_line)
    return parser


def in_range(parser, name, value, bounds):
    if not bounds[0] <= value <= bounds[1]:
        parser.error("%s must be from %g to %g, got %g" % (name, bounds[0], bounds[1], value))


def validate_options(parser, options, argv):
    """Every check of the command line that needs no input file."""
    options.given = given_options(parser, argv)
    fmt = figure_format(options.output)
    if fmt is None:
        parser.error("cannot tell the figure format from \"%s\": the name must end in .png, .svg or .pdf "
                     "(a further .gz compresses it)" % options.output)
    options.format, options.compressed = fmt
    in_range(parser, "--dpi", options.dpi, DPI_RANGE)
    in_range(parser, "--width", options.width, WIDTH_RANGE)
    in_range(parser, "--panel-height", options.panel_height, PANEL_HEIGHT_RANGE)
    if options.width * options.dpi > LARGEST_PIXELS:
        parser.error("--width %g at --dpi %g makes a figure %d pixels wide; at most %d"
                     % (options.width, options.dpi, options.width * options.dpi, LARGEST_PIXELS))
    if options.freq is not None:
        if not 0 < options.freq < 1:
            parser.error("--freq must be a number above 0 and below 1, got %g" % options.freq)
        options.freq_text = freq_as_given(argv)
    if options.flank > LARGEST_FLANK:
        parser.error("--flank must be at most %d SNPs, got %d" % (LARGEST_FLANK, options.flank))
    options.legend = options.legend or []
    options.hap = options.hap or []
    if options.haplotypes is not None:
        for needed in ("loci", "hap"):
            if getattr(options, needed) in (None, []):
                parser.error("--haplotypes needs --%s" % needed)
        if len(options.legend) != 1 or len(options.hap) != 1:
            parser.error("--haplotypes draws one panel: give --hap and --legend once each")
        if options.populations is not None and options.samples is None:
            parser.error("--populations needs --samples: the panel's sample ids, to find each haplotype's population")
    else:
        if options.result is None:
            parser.error("the result table RESULT is missing (or give --haplotypes LOCUS to draw a locus)")
        for only in ("samples", "populations"):
            if getattr(options, only) is not None:
                parser.error("--%s groups the haplotypes of a locus figure: give it with --haplotypes" % only)
        if options.populations_track and options.loci is None:
            parser.error("--populations-track draws the populations of a joint loci table: give it with --loci")
        if "--flank" in options.given:
            parser.error("--flank sets the SNPs of a locus figure: give it with --haplotypes")
    return options


def freq_as_given(argv):
    """The frequency as the user wrote it (0.20 stays 0.20 in titles)."""
    for index, word in enumerate(argv):
        if word == "--freq" and index + 1 < len(argv):
            return argv[index + 1]
        if word.startswith("--freq="):
            return word[len("--freq="):]
    return ""


def given_options(parser, argv):
    """The long names of the options the command line gave (abbreviations and --opt=value included)."""
    names = {}
    for action in parser._actions:
        for spelling in action.option_strings:
            names[spelling] = action.option_strings[-1]
    given = set()
    for word in argv:
        if word == "--":
            break
        spelling = word.split("=", 1)[0]
        if spelling in names:
            given.add(names[spelling])
        elif spelling.startswith("--"):
            matches = {names[name] for name in names if name.startswith(spelling)}
            if len(matches) == 1:
                given.update(matches)
    return given


def parse_arguments(argv, version_line, cutoff):
    parser = build_parser(version_line, cutoff)
    options = parser.parse_args(argv)
    return validate_options(parser, options, argv), parser


def parameter_rows(parser, options):
    """(option, value, given/default) for every option, in the order of --help; -o, --help, --version
    and --dump's output excluded."""
    rows = []
    for action in parser._actions:
        if not action.option_strings or action.dest in ("help", "version", "output"):
            continue
        name = action.option_strings[-1]
        value = getattr(options, action.dest)
        if isinstance(value, bool):
            value = "yes" if value else "no"
        elif value is None:
            value = ""
        elif action.dest == "freq":
            value = options.freq_text
        elif isinstance(value, float):
            value = "%g" % value
        rows.append((name, value, "given" if name in options.given else "default"))
    return rows
