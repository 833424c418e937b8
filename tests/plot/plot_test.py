# Tests of corvane-plot: figure files are decoded and checked, bad result tables are refused.
import json
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

import matplotlib

matplotlib.use("Agg")
import matplotlib.image  # noqa: E402  (after the backend is chosen)
import numpy  # noqa: E402

PLOT = os.environ.get("CORVANE_PLOT") or os.path.join(os.path.dirname(__file__), "..", "..", "plot", "corvane-plot")
HEADER = "chr\tstartpos\tendpos\tgenetic_dist\tphysical_dist\tn.snp\n"

# Heights chosen so that the top five by cM and by SNP count differ, with one nan that must
# never be labelled by cM.
ROWS_21 = [
    ("21", 38347375, 38416034, "0.0604019", 68659, 12),
    ("21", 38420970, 38615603, "0.183613", 194633, 33),
    ("21", 41093854, 41294162, "0.806255", 200308, 53),
    ("21", 41531337, 41740860, "0.486015", 209523, 34),
    ("21", 42514815, 42576164, "0.459114", 61349, 16),
    ("21", 43439681, 43511179, "0.640808", 71498, 17),
    ("21", 44595039, 44737463, "0.46764", 142424, 70),
    ("21", 45000000, 45100000, "nan", 100000, 90),
    ("21", 46000000, 46000000, "0", 0, 2),
]
ROWS_22 = [
    ("22", 17000000, 17500000, "1e-05", 500000, 4),
    ("22", 18000000, 18900000, "2.5", 900000, 40),
]


def table(*groups, header_each=False):
    text = ""
    for index, rows in enumerate(groups):
        if index == 0 or header_each:
            text += HEADER
        text += "".join("%s\t%d\t%d\t%s\t%d\t%d\n" % row for row in rows)
    return text


def label(row):
    return "%s:%s-%s" % (row[0], format(row[1], ","), format(row[2], ","))


class PlotCase(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="corvane-plot-test-")
        self.dir = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w") as stream:
            stream.write(text)
        return path

    def plot(self, *arguments):
        return subprocess.run([PLOT] + [str(a) for a in arguments], capture_output=True, text=True, timeout=60)

    def plot_ok(self, *arguments):
        done = self.plot(*arguments)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done

    def dump(self, *arguments):
        return json.loads(self.plot_ok(*arguments, "--dump").stdout)


def png_size(path):
    with open(path, "rb") as stream:
        head = stream.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG signature: %r" % head[:8]
    assert head[12:16] == b"IHDR", "first chunk is not IHDR: %r" % head[12:16]
    return struct.unpack(">II", head[16:24])


def colour_count(pixels, rgb, tolerance=0.06):
    target = numpy.array(rgb) / 255.0
    return int(numpy.all(numpy.abs(pixels[:, :, :3] - target) < tolerance, axis=2).sum())


class PngFigure(PlotCase):
    def test_png_has_the_requested_size_and_shows_both_kinds_of_segment(self):
        result = self.write("scan.tsv", table(ROWS_21))
        figure = os.path.join(self.dir, "scan.png")
        self.plot_ok(result, "-o", figure, "--width", 6, "--panel-height", 2, "--dpi", 100)
        self.assertEqual(png_size(figure), (600, 250))  # 6 in x (0.5 + 1 * 2) in at 100 dpi
        pixels = matplotlib.image.imread(figure)
        self.assertEqual(pixels.shape[:2], (250, 600))
        self.assertGreater(float(pixels[:, :, :3].var()), 0.001)
        self.assertGreater(float((pixels[:, :, :3].min(axis=2) < 0.9).mean()), 0.01, "figure is nearly blank")
        self.assertGreater(colour_count(pixels, (0x4c, 0x72, 0xb0)), 20, "no plain segment drawn")
        self.assertGreater(colour_count(pixels, (0xc4, 0x4e, 0x52)), 20, "no labelled segment drawn")

    def test_dpi_scales_the_png(self):
        result = self.write("scan.tsv", table(ROWS_21))
        figure = os.path.join(self.dir, "scan.png")
        self.plot_ok(result, "-o", figure, "--width", 4, "--panel-height", 1.5, "--dpi", 50)
        self.assertEqual(png_size(figure), (200, 100))

    def test_longest_regions_are_labelled_by_the_chosen_height(self):
        result = self.write("scan.tsv", table(ROWS_21))
        figure = os.path.join(self.dir, "scan.png")
        by_cm = sorted((r for r in ROWS_21 if r[3] != "nan"), key=lambda r: -float(r[3]))[:5]
        self.assertEqual(self.dump(result, "-o", figure)["panels"][0]["labels"], [label(r) for r in by_cm])
        by_snps = sorted(ROWS_21, key=lambda r: -r[5])[:3]
        drawn = self.dump(result, "-o", figure, "--y", "snps", "--top", 3)
        self.assertEqual(drawn["panels"][0]["labels"], [label(r) for r in by_snps])
        self.assertEqual(self.dump(result, "-o", figure, "--top", 0)["panels"][0]["labels"], [])

    def test_header_only_result_gives_an_empty_panel(self):
        result = self.write("empty.tsv", HEADER)
        figure = os.path.join(self.dir, "empty.png")
        drawn = self.dump(result, "-o", figure, "--dpi", 50)
        self.assertEqual(drawn["panels"], [{"chr": "", "regions": 0, "labels": []}])
        self.assertEqual(png_size(figure), (500, 175))


class SvgFigure(PlotCase):
    def test_svg_is_an_svg_document_of_the_requested_size(self):
        result = self.write("scan.tsv", table(ROWS_21))
        figure = os.path.join(self.dir, "scan.SVG")
        self.plot_ok(result, "-o", figure, "--width", 6, "--panel-height", 2)
        root = ElementTree.parse(figure).getroot()
        self.assertEqual(root.tag, "{http://www.w3.org/2000/svg}svg")
        self.assertEqual((root.get("width"), root.get("height")), ("432pt", "180pt"))  # 72 pt per inch
        paths = root.findall(".//{http://www.w3.org/2000/svg}path")
        self.assertGreater(len(paths), len(ROWS_21))


class Panels(PlotCase):
    def test_concatenated_results_get_one_panel_per_chromosome_in_file_order(self):
        rows_x = [("X", 1000000, 1500000, "0.3", 500000, 9)]
        result = self.write("genome.tsv", table(ROWS_22, ROWS_21, rows_x, header_each=True))
        figure = os.path.join(self.dir, "genome.png")
        drawn = self.dump(result, "-o", figure, "--panel-height", 2, "--dpi", 50)
        self.assertEqual([(p["chr"], p["regions"]) for p in drawn["panels"]],
                         [("22", len(ROWS_22)), ("21", len(ROWS_21)), ("X", 1)])
        self.assertEqual(drawn["panels"][0]["labels"], [label(ROWS_22[1]), label(ROWS_22[0])])
        self.assertEqual(png_size(figure), (500, 325))  # 10 in x (0.5 + 3 * 2) in at 50 dpi

    def test_rows_of_a_chromosome_split_by_another_join_one_panel(self):
        result = self.write("mixed.tsv", table(ROWS_21[:3], ROWS_22, ROWS_21[3:]))
        drawn = self.dump(result, "-o", os.path.join(self.dir, "mixed.svg"))
        self.assertEqual([(p["chr"], p["regions"]) for p in drawn["panels"]],
                         [("21", len(ROWS_21)), ("22", len(ROWS_22))])


LOCI_HEADER = "locus\tchr\tstart\tend\tintervals\tpeak_start\tpeak_end\tpeak_cM\tpeak_snps\trank\tpercentile\n"
# Loci over ROWS_21 and ROWS_22 as corvane-loci would give them; 21:2 outranks every 21 region's own order.
LOCI = [
    ("21:1", "21", 38347375, 38615603, 2, 38420970, 38615603, "0.183613", 33, 4),
    ("21:2", "21", 41093854, 41294162, 1, 41093854, 41294162, "0.806255", 53, 2),
    ("21:3", "21", 43439681, 43511179, 1, 43439681, 43511179, "0.640808", 17, 3),
    ("22:1", "22", 18000000, 18900000, 1, 18000000, 18900000, "2.5", 40, 1),
]


def loci_table(loci):
    return LOCI_HEADER + "".join("%s\t%s\t%d\t%d\t%d\t%d\t%d\t%s\t%d\t%d\t0.5\n" % locus for locus in loci)


def locus_label(locus):
    return "%s %s-%s" % (locus[0], format(locus[2], ","), format(locus[3], ","))


class Loci(PlotCase):
    def test_labels_go_to_the_best_ranked_loci_of_each_chromosome(self):
        result = self.write("scan.tsv", table(ROWS_21, ROWS_22))
        loci = self.write("loci.tsv", loci_table(LOCI))
        drawn = self.dump(result, "-o", os.path.join(self.dir, "f.png"), "--loci", loci, "--top", 2)
        self.assertEqual([p["labels"] for p in drawn["panels"]],
                         [[locus_label(LOCI[1]), locus_label(LOCI[2])], [locus_label(LOCI[3])]])

    def test_genome_layout_is_one_panel_with_chromosomes_side_by_side(self):
        result = self.write("scan.tsv", table(ROWS_22, ROWS_21))
        loci = self.write("loci.tsv", loci_table(LOCI))
        figure = os.path.join(self.dir, "g.png")
        drawn = self.dump(result, "-o", figure, "--loci", loci, "--top", 3, "--layout", "genome",
                          "--freq", "0.5", "--panel-height", 2, "--dpi", 50)
        self.assertEqual(drawn["chromosomes"], [{"chr": "22", "regions": 2}, {"chr": "21", "regions": 9}])
        self.assertEqual(drawn["labels"], [locus_label(LOCI[i]) for i in (3, 1, 2)])
        self.assertEqual(png_size(figure), (500, 125))  # 10 in x (0.5 + 2) in at 50 dpi

    def test_a_loci_table_with_a_wrong_header_is_refused(self):
        result = self.write("scan.tsv", table(ROWS_21))
        loci = self.write("bad.tsv", HEADER)
        done = self.plot(result, "-o", os.path.join(self.dir, "f.png"), "--loci", loci)
        self.assertEqual(done.returncode, 1)
        self.assertIn("bad.tsv:1: expected the loci header line", done.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "f.png")))


class BadInput(PlotCase):
    def assert_refused(self, text, located, status=1, name="bad.png"):
        result = self.write("bad.tsv", text) if text is not None else os.path.join(self.dir, "missing.tsv")
        figure = os.path.join(self.dir, name)
        done = self.plot(result, "-o", figure)
        self.assertEqual(done.returncode, status, done.stderr)
        self.assertIn(located, done.stderr)
        if status == 1:
            self.assertEqual(done.stderr.count("\n"), 1, "one message, once: " + done.stderr)
        self.assertEqual(sorted(os.listdir(self.dir)), [] if text is None else ["bad.tsv"],
                         "a figure or a temporary file was left behind")

    def test_unreadable_or_headerless_files(self):
        self.assert_refused(None, "corvane-plot: cannot read %s" % os.path.join(self.dir, "missing.tsv"))
        self.assert_refused("", "empty file")
        self.assert_refused("chr\tstart\tend\n21\t1\t2\n", "bad.tsv:1: expected the tab-separated header")
        self.assert_refused("21\t1\t2\t0.1\t1\t2\n", "bad.tsv:1: expected the tab-separated header")
        self.assert_refused(HEADER.replace("\t", " "), "bad.tsv:1:")
        with open(os.path.join(self.dir, "bad.tsv"), "wb") as stream:
            stream.write(HEADER.encode() + b"21\t\xff\xfe\n")
        done = self.plot(os.path.join(self.dir, "bad.tsv"), "-o", os.path.join(self.dir, "bad.png"))
        self.assertEqual((done.returncode, done.stderr.strip()),
                         (1, "corvane-plot: %s: not a text file" % os.path.join(self.dir, "bad.tsv")))

    def test_malformed_rows_are_reported_with_their_line(self):
        good = "21\t100\t200\t0.5\t100\t3\n"
        for row, what in [
            ("21\t100\t200\t0.5\t100\n", "bad.tsv:3: expected 6 tab-separated fields, found 5"),
            ("21\t100\t200\t0.5\t100\t3\textra\n", "bad.tsv:3: expected 6 tab-separated fields, found 7"),
            ("21 100 200 0.5 100 3\n", "bad.tsv:3: expected 6"),
            ("21\tabc\t200\t0.5\t100\t3\n", "bad.tsv:3: startpos is not an integer"),
            ("21\t100\t200.5\t0.5\t100\t3\n", "bad.tsv:3: endpos is not an integer"),
            ("21\t300\t200\t0.5\t100\t3\n", "bad.tsv:3: endpos 200 is before startpos 300"),
            ("21\t100\t200\tlong\t100\t3\n", "bad.tsv:3: genetic_dist is not a number"),
            ("21\t100\t200\tinf\t100\t3\n", "bad.tsv:3: genetic_dist must be finite"),
            ("21\t100\t200\t-0.5\t100\t3\n", "bad.tsv:3: genetic_dist must be finite and not negative"),
            ("21\t100\t200\t0.5\t-100\t3\n", "bad.tsv:3: physical_dist is negative"),
            ("21\t100\t200\t0.5\t100\tx\n", "bad.tsv:3: n.snp is not an integer"),
            ("\t100\t200\t0.5\t100\t3\n", "bad.tsv:3: empty chromosome name"),
        ]:
            with self.subTest(row=row):
                self.assert_refused(HEADER + good + row + good, what)

    def test_an_existing_figure_is_left_alone_when_the_table_is_bad(self):
        figure = self.write("keep.png", "previous figure")
        result = self.write("bad.tsv", HEADER + "21\t1\n")
        self.assertEqual(self.plot(result, "-o", figure).returncode, 1)
        with open(figure) as stream:
            self.assertEqual(stream.read(), "previous figure")

    def test_help_and_version_are_answered_on_standard_output(self):
        version = self.plot_ok("--version")
        self.assertRegex(version.stdout, r"^corvane-plot \d+\.\d+\.\d+")
        self.assertNotIn("@", version.stdout)  # the build filled the version in
        self.assertIn("(default 5; 0 for none)", self.plot_ok("--help").stdout)

    def test_unknown_figure_format_is_a_usage_error(self):
        self.assert_refused(HEADER, "must end in .png or .svg", status=2, name="bad.pdf")
        self.assert_refused(HEADER, "must end in .png or .svg", status=2, name="bad")


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
