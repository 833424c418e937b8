# Tests of corvane-plot: figure files are decoded and checked, bad result tables are refused.
import gzip
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


def run_record(figure):
    """FIGURE.log as {key: fields after the key}, keys that repeat (input, parameter, count) as lists."""
    record = {}
    with open(figure + ".log") as stream:
        for line in stream.read().splitlines():
            key, *fields = line.split("\t")
            if key in ("input", "parameter", "count", "output"):
                record.setdefault(key, []).append(fields)
            else:
                record[key] = fields
    return record


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
        left = (["bad.tsv"] if text is not None else []) + ([name + ".log"] if status == 1 else [])
        self.assertEqual(sorted(os.listdir(self.dir)), sorted(left), "a figure or a temporary file was left behind")
        if status == 1:
            record = run_record(figure)
            self.assertEqual(record["status"], ["1", "bad input"])
            self.assertEqual(record["message"], [done.stderr.strip()])

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
            ("21\t100\t200\t0x1p3\t100\t3\n", "bad.tsv:3: genetic_dist is not a number"),
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
        self.assert_refused(HEADER, "must end in .png, .svg or .pdf", status=2, name="bad.jpg")
        self.assert_refused(HEADER, "must end in .png, .svg or .pdf", status=2, name="bad")

    def test_bad_option_values_are_usage_errors_without_a_traceback(self):
        result = self.write("scan.tsv", table(ROWS_21))
        for arguments, said in [
            (["--dpi", "100000"], "--dpi must be from 10 to 2400"),
            (["--dpi", "1e300"], "--dpi must be from 10 to 2400"),
            (["--dpi", "nan"], "not a finite number: nan"),
            (["--width", "1e6"], "--width must be from 1 to 100"),
            (["--width", "90", "--dpi", "500"], "makes a figure 45000 pixels wide"),
            (["--panel-height", "0"], "--panel-height must be from 0.5 to 100"),
            (["--panel-height", "90", "--dpi", "300"], "the figure would be 27150 pixels high"),
            (["--freq", "abc"], "--freq: not a number: abc"),
            (["--freq", "1.5"], "--freq must be a number above 0 and below 1"),
            (["--freq", "0"], "--freq must be a number above 0 and below 1"),
            (["--top", "-1"], "must not be negative"),
            (["--samples", result], "--samples groups the haplotypes of a locus figure"),
            (["--flank", "5"], "--flank sets the SNPs of a locus figure"),
        ]:
            with self.subTest(arguments=arguments):
                done = self.plot(result, "-o", os.path.join(self.dir, "f.png"), *arguments)
                self.assertEqual(done.returncode, 2, done.stderr)
                self.assertIn(said, done.stderr)
                self.assertIn("usage:", done.stderr)
                self.assertNotIn("Traceback", done.stderr)
                self.assertEqual(sorted(os.listdir(self.dir)), ["scan.tsv"], "a usage error writes nothing")

    def test_outputs_that_would_destroy_an_input_or_cannot_be_written_are_refused_before_the_work(self):
        result = self.write("scan.tsv", table(ROWS_21))
        os.mkdir(os.path.join(self.dir, "folder.png"))
        link = os.path.join(self.dir, "link.png")
        os.symlink(result, link)
        for figure, said in [(link, "output file %s is the input file %s" % (link, result)),
                             (os.path.join(self.dir, "folder.png"), "Is a directory"),
                             (os.path.join(self.dir, "missing", "f.png"), "does not exist")]:
            with self.subTest(figure=figure):
                done = self.plot(result, "-o", figure)
                self.assertEqual(done.returncode, 1, done.stderr)
                self.assertIn(said, done.stderr)
        with open(result) as stream:
            self.assertEqual(stream.read(), table(ROWS_21))


def boxes_overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def intervals_axes(drawn, index=0):
    return [axes for axes in drawn["axes"] if axes["role"] == "intervals"][index]


class Reading(PlotCase):
    def test_every_way_of_writing_the_table_reads_the_same(self):
        plain = table(ROWS_21, ROWS_22)
        expected = self.dump(self.write("plain.tsv", plain), "-o", os.path.join(self.dir, "f.png"))["panels"]
        crlf = plain.replace("\n", "\r\n")
        spaced = table(ROWS_21[:4]) + "\n" + table(ROWS_21[4:], ROWS_22, header_each=True) + "\n"
        for name, content in [("packed.tsv", gzip.compress(plain.encode())), ("crlf.tsv", crlf.encode()),
                              ("spaced.tsv", spaced.encode()),
                              ("members.tsv", gzip.compress(plain[:300].encode()) + gzip.compress(plain[300:].encode()))]:
            with self.subTest(name=name):
                path = os.path.join(self.dir, name)
                with open(path, "wb") as stream:
                    stream.write(content)
                self.assertEqual(self.dump(path, "-o", os.path.join(self.dir, "f.png"))["panels"], expected)

    def test_a_fault_far_into_a_large_table_is_reported_with_its_line(self):
        rows = "".join("21\t%d\t%d\t0.01\t900\t4\n" % (1000 * k, 1000 * k + 900) for k in range(1, 150001))
        for bad, said in [("21\t5\t4\t0.1\t1\t2\n", "endpos 4 is before startpos 5"),
                          ("21\t5\t9\t0.1\t4\n", "expected 6 tab-separated fields, found 5")]:
            with self.subTest(bad=bad):
                result = self.write("big.tsv", HEADER + rows + bad + rows[:1000])
                done = self.plot(result, "-o", os.path.join(self.dir, "big.png"))
                self.assertEqual(done.returncode, 1)
                self.assertEqual(done.stderr.strip(), "%s:150002: %s" % (result, said))

    def test_lengths_the_scan_writes_are_drawn_or_set_aside_never_refused(self):
        rows = ROWS_22 + [("22", 19000000, 19100000, "-3", 100000, 8), ("22", 19200000, 19300000, "inf", 100000, 9),
                          ("22", 19400000, 19500000, "-inf", 100000, 10), ("22", 19600000, 19700000, "nan", 100000, 11)]
        result = self.write("odd.tsv", table(rows))
        done = self.plot_ok(result, "-o", os.path.join(self.dir, "f.png"), "--dump")
        drawn = intervals_axes(json.loads(done.stdout))
        self.assertEqual(drawn["marks"]["intervals"], 3)
        self.assertEqual(drawn["marks"]["set_aside"], 3)
        self.assertLess(drawn["y_range"][0], -3, "a negative length is drawn below 0")
        self.assertIn("3 without a finite genetic length, not drawn", drawn["key"])
        self.assertEqual(done.stderr, "corvane-plot: %s: 3 of 6 intervals have no finite genetic length (nan: 1, inf: 2)"
                                      " and are not drawn; --y snps draws them\n" % result)
        done = self.plot_ok(result, "-o", os.path.join(self.dir, "f.png"), "--dump", "--y", "snps")
        self.assertEqual(intervals_axes(json.loads(done.stdout))["marks"], {"intervals": 6, "labelled": 5, "spans": 0,
                                                                           "set_aside": 0})
        self.assertEqual(done.stderr, "")


class Figures(PlotCase):
    def test_labels_never_overlap_and_stay_inside_their_panel(self):
        # Twenty intervals of one SNP count side by side: every label wants the same spots.
        tied = [("21", 40000000 + k * 50000, 40000000 + k * 50000 + 60000, "0.1", 60000, 30) for k in range(20)]
        result = self.write("tied.tsv", table(tied + ROWS_21))
        for arguments in (["--y", "snps"], ["--y", "genetic"], ["--y", "snps", "--layout", "genome"]):
            with self.subTest(arguments=arguments):
                drawn = intervals_axes(self.dump(result, "-o", os.path.join(self.dir, "f.png"), "--top", 20, *arguments))
                boxes, frame = drawn["label_boxes"], drawn["frame"]
                self.assertGreater(len(boxes), 3)
                self.assertEqual(len(boxes) + len(drawn["labels_left_out"]), 20)
                for i, a in enumerate(boxes):
                    self.assertTrue(frame[0] <= a[0] and a[2] <= frame[2] and frame[1] <= a[1] and a[3] <= frame[3])
                    for b in boxes[i + 1:]:
                        self.assertFalse(boxes_overlap(a, b), (a, b))

    def test_title_key_and_threshold_come_from_the_data(self):
        result = self.write("scan.tsv", table(ROWS_21))
        with_carriers = LOCI_HEADER.rstrip("\n") + "\tcarriers\tcarrier_frequency\n" + "".join(
            "%s\t%s\t%d\t%d\t%d\t%d\t%d\t%s\t%d\t%d\t0.5\t158\t0.208443\n" % locus for locus in LOCI[:3])
        loci = self.write("loci.tsv", with_carriers)
        drawn = self.dump(result, "-o", os.path.join(self.dir, "f.png"), "--loci", loci, "--freq", "0.20")
        panel = intervals_axes(drawn)
        self.assertEqual(panel["key_title"], "frequency 0.20: carried by more than 151 of 758 haplotypes")
        self.assertEqual(panel["key"], ["interval, at its genetic length (8)", "peak of a labelled locus",
                                        "span of a labelled locus", "1 without a finite genetic length, not drawn"])
        done = self.plot_ok(result, "-o", os.path.join(self.dir, "f.png"), "--loci", loci, "--freq", "0.2")
        self.assertIn(["--freq", "0.2", "given"], run_record(os.path.join(self.dir, "f.png"))["parameter"])
        self.assertEqual(done.stderr.count("\n"), 1)  # the nan row, set aside

    def test_pdf_svg_and_png_by_the_name_and_compressed_when_it_ends_in_gz(self):
        result = self.write("scan.tsv", table(ROWS_21))
        made = {}
        for name in ("f.pdf", "f.svg", "f.svg.gz", "f.PNG"):
            figure = os.path.join(self.dir, name)
            self.assertEqual(self.dump(result, "-o", figure)["format"], name.split(".")[1].lower())
            with open(figure, "rb") as stream:
                made[name] = stream.read()
        self.assertEqual(made["f.pdf"][:5], b"%PDF-")
        self.assertEqual(gzip.decompress(made["f.svg.gz"]), made["f.svg"])
        self.assertEqual(made["f.PNG"][:8], b"\x89PNG\r\n\x1a\n")
        self.plot_ok(result, "-o", os.path.join(self.dir, "f.pdf"))
        with open(os.path.join(self.dir, "f.pdf"), "rb") as stream:
            self.assertEqual(stream.read(), made["f.pdf"], "the same table gives the same PDF")

    def test_genome_layout_draws_each_chromosome_over_its_own_extent(self):
        result = self.write("scan.tsv", table(ROWS_21, ROWS_22))
        drawn = self.dump(result, "-o", os.path.join(self.dir, "g.png"), "--layout", "genome")
        chr21, chr22 = drawn["chromosome_extents"]
        self.assertEqual((chr21["first_bp"], chr21["last_bp"]), (38347375, 46000000))
        self.assertAlmostEqual(chr21["x_range"][1] - chr21["x_range"][0], 46.0 - 38.347375)
        self.assertEqual(chr21["x_range"][0], 0)
        self.assertGreater(chr22["x_range"][0], chr21["x_range"][1])
        self.assertAlmostEqual(chr22["x_range"][1] - chr22["x_range"][0], 18.9 - 17.0)
        self.assertEqual(drawn["chromosome_names_shown"], ["21", "22"])
        self.assertEqual(drawn["tick_labels_shown"][:3], ["38.5", "39", "39.5"])  # Mb on chromosome 21 itself

    def test_a_legend_adds_the_recombination_rate_under_each_chromosome(self):
        result = self.write("scan.tsv", table(ROWS_21, ROWS_22))
        # 1 cM per Mb from 38 to 46 Mb, then 4 cM per Mb to 47 Mb.
        rows = ["21\trs%d\t%f\t%d" % (k, (k - 38) * 1.0, k * 1000000) for k in range(38, 47)] + \
            ["21\trs47\t12.0\t47000000"]
        legend = self.write("chr21.legend", "chr\tid\tcM\tbp\n" + "\n".join(rows) + "\n")
        done = self.plot_ok(result, "-o", os.path.join(self.dir, "f.png"), "--legend", legend, "--dump")
        drawn = json.loads(done.stdout)
        rate = [axes for axes in drawn["axes"] if axes["role"] == "rate"]
        self.assertEqual([axes["chr"] for axes in rate], ["21", "22"])
        self.assertGreater(rate[0]["bins"], 100)
        self.assertAlmostEqual(rate[0]["highest"], 1.0, places=6)  # the panel ends at 46 Mb, before the hot Mb
        self.assertEqual(rate[1]["chromosomes_without_legend"], ["22"])
        self.assertIn("corvane-plot: no legend given names chromosome 22: its rate track is empty\n", done.stderr)
        self.assertEqual(png_size(os.path.join(self.dir, "f.png")), (1000, 810))  # 0.5 + 2 x (3 + 0.8) in
        genome = self.dump(result, "-o", os.path.join(self.dir, "g.png"), "--legend", legend, "--layout", "genome")
        self.assertAlmostEqual([a for a in genome["axes"] if a["role"] == "rate"][0]["highest"], 1.0, places=6)


class LociColumns(PlotCase):
    def loci_with_columns(self):
        # Columns in another order, one nobody knows, and those of later tables: p-values, genes, populations.
        header = ["genes", "peak_end", "locus", "chr", "start", "end", "peak_start", "peak_cM", "peak_snps", "rank",
                  "someday", "p_value", "EUR.rank", "AFR.rank"]
        values = {"21:1": ("", "0.5", "3", ""), "21:2": ("APP, ADAMTS1", "0.01", "1", "2"),
                  "21:3": ("", "0.001", "", "1"), "22:1": ("MN1", "0.2", "2", "")}
        lines = ["\t".join(header)]
        for name, chrom, start, end, _, peak_start, peak_end, cm, snps, rank in LOCI:
            genes, p, eur, afr = values[name]
            lines.append("\t".join([genes, str(peak_end), name, chrom, str(start), str(end), str(peak_start), cm,
                                    str(snps), str(rank), "x", p, eur, afr]))
        return self.write("joint.tsv", "\n".join(lines) + "\n")

    def test_columns_are_read_by_name_and_the_optional_ones_drawn(self):
        result = self.write("scan.tsv", table(ROWS_21, ROWS_22))
        drawn = self.dump(result, "-o", os.path.join(self.dir, "g.png"), "--loci", self.loci_with_columns(),
                          "--layout", "genome", "--top", 3)
        # Labelled by p-value, smallest first, with the genes as the table gives them.
        self.assertEqual(drawn["labels"], ["21:3 43,439,681-43,511,179 p=0.001",
                                           "21:2 41,093,854-41,294,162 p=0.01 (APP, ADAMTS1)",
                                           "22:1 18,000,000-18,900,000 p=0.2 (MN1)"])
        tracks = [(axes["population"], axes["loci"], axes["best"]) for axes in drawn["axes"]
                  if axes["role"] == "population"]
        self.assertEqual(tracks, [("EUR", 3, ["21:2", "22:1", "21:1"]), ("AFR", 2, ["21:3", "21:2"])])
        self.assertEqual(png_size(os.path.join(self.dir, "g.png")), (1000, 430))  # 0.5 + 3 + 2 x 0.4 in
        plain = self.write("loci.tsv", loci_table(LOCI))
        done = self.plot(result, "-o", os.path.join(self.dir, "g.png"), "--loci", plain, "--populations-track")
        self.assertEqual((done.returncode, done.stderr.strip()), (1, "%s:1: --populations-track needs a joint loci "
                                                                     "table, with a column POP.rank per population; "
                                                                     "this one has none" % plain))

    def test_loci_made_from_another_table_are_refused(self):
        result = self.write("scan.tsv", table(ROWS_21, ROWS_22))
        other = list(LOCI)
        other[1] = other[1][:7] + ("0.9",) + other[1][8:]
        loci = self.write("loci.tsv", loci_table(other))
        done = self.plot(result, "-o", os.path.join(self.dir, "f.png"), "--loci", loci)
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stderr.strip(), "%s:3: locus 21:2 has its peak at 21:41093854-41294162 (0.9 cM), which is "
                                              "not a row of %s: the loci were not made from this table" % (loci, result))
        self.assertFalse(os.path.exists(os.path.join(self.dir, "f.png")))


# A panel of 8 haplotypes (4 samples) x 70 SNPs at bp 1,000,000 + 10,000 k. The core, over the peak (SNPs
# 10 to 60, 51 SNPs), is all 0 but for SNPs 20 and 40; rows 0, 1 and 2 have it, row 5 with one mismatch
# (allowed in 51 SNPs, not in 50), row 4 with two. Beyond the peak the carriers match the core for a
# while: row 0 to both ends, row 2 for 6 SNPs each side, row 1 for 5, row 5 not at all.
def small_panel():
    core = [0] * 70
    core[20] = core[40] = 1
    rows = []
    for row in range(8):
        alleles = list(core)
        for column in list(range(0, 10)) + list(range(61, 70)):
            alleles[column] = (row + column) % 2 if row != 0 else 0
        rows.append(alleles)
    for row in (1, 2):
        for column in list(range(5, 10)) + list(range(61, 66)):
            rows[row][column] = 0
    rows[5][30] = 1
    rows[4][30] = rows[4][31] = 1
    rows[3][15] = rows[3][16] = rows[3][17] = 1
    rows[6][12] = rows[7][12] = 1
    rows[6][45] = rows[7][46] = 1
    return rows


def bit_panel(rows):
    words = (len(rows[0]) + 63) // 64
    data = b"\x89CVB\r\n\x1a\n" + struct.pack("<IIQQ", 1, 0, len(rows), len(rows[0]))
    for row in rows:
        value = sum(allele << column for column, allele in enumerate(row))
        data += value.to_bytes(8 * words, "little")
    return data


def small_locus(carriers=4, core="0" * 10 + "1" + "0" * 19 + "1" + "0" * 20, first=10, last=60):
    header = "locus\tchr\tstart\tend\tintervals\tpeak_start\tpeak_end\tpeak_cM\tpeak_snps\trank\tcarriers\tcore\n"
    return header + "5:1\t5\t%d\t%d\t1\t%d\t%d\t0.5\t%d\t1\t%s\t%s\n" % (
        1000000 + 10000 * first, 1000000 + 10000 * last, 1000000 + 10000 * first, 1000000 + 10000 * last,
        last - first + 1, carriers, core)


class Haplotypes(PlotCase):
    def setUp(self):
        super().setUp()
        rows = small_panel()
        self.panels = {"text": self.write("p.hap", "".join("\t".join(map(str, r)) + "\n" for r in rows))}
        for name, data in [("bits", bit_panel(rows)),
                           ("gzip", gzip.compress("".join(" ".join(map(str, r)) + "\n" for r in rows).encode()))]:
            self.panels[name] = os.path.join(self.dir, "p." + name)
            with open(self.panels[name], "wb") as stream:
                stream.write(data)
        self.legend = self.write("p.legend", "chr\tid\tcM\tbp\tREF\tALT\n" + "".join(
            "5\tsnp%d\t%f\t%d\tA\tG\n" % (k, k * 0.01, 1000000 + 10000 * k) for k in range(70)))
        self.samples = self.write("p.samples", "s1\ns2\ns3\ns4\n")

    def locus_plot(self, loci_text, *extra, panel="bits"):
        loci = self.write("loci.tsv", loci_text)
        return self.plot("--haplotypes", "5:1", "--loci", loci, "--hap", self.panels[panel], "--legend", self.legend,
                         "-o", os.path.join(self.dir, "locus.png"), "--dump", *extra)

    def test_carriers_by_the_scan_rule_come_first_sorted_by_how_far_they_match(self):
        drawn = None
        for panel in ("bits", "text", "gzip"):
            with self.subTest(panel=panel):
                done = self.locus_plot(small_locus(), "--samples", self.samples, "--flank", 10, panel=panel)
                self.assertEqual(done.returncode, 0, done.stderr)
                found = json.loads(done.stdout)
                self.assertEqual(found, drawn or found, "every panel format draws the same")
                drawn = found
        self.assertEqual((drawn["haplotypes"], drawn["carriers"], drawn["snps"]), (8, 4, 70))
        self.assertEqual(drawn["row_order"][:4], [0, 2, 1, 5])
        self.assertEqual((drawn["samples_homozygous"], drawn["samples_heterozygous"]), (1, 2))
        self.assertEqual(drawn["core"], "0" * 10 + "1" + "0" * 19 + "1" + "0" * 20)
        self.assertIn("core: ALT at 2 of 51 SNPs (snp20 G, snp40 G)", drawn["title"])
        share = [axes for axes in drawn["axes"] if axes["role"] == "share"][0]["shares"][0]
        self.assertEqual((share["peak"], share["highest"]), (0.5, 0.5))
        # 50 SNPs allow no mismatch: row 5 no longer carries.
        done = self.locus_plot(small_locus(carriers=3, core="0" * 10 + "1" + "0" * 19 + "1" + "0" * 19, last=59))
        self.assertEqual(json.loads(done.stdout)["carriers"], 3, done.stderr)

    def test_a_peak_too_wide_to_draw_is_counted_whole(self):
        # 1,600 SNPs of peak, drawn cut to 1,500 around its middle. Row 6 has 32 mismatches (one too many
        # for 1,600 SNPs) among the peak's first 40 SNPs, outside the part drawn; row 5 has 31, rows 7 to
        # 9 four: all carry but row 6.
        rows = [[0] * 1700 for _ in range(10)]
        for column in range(0, 40):
            rows[6][50 + column] = column % 5 != 4
        for column in range(31):
            rows[5][100 + 40 * column] = 1
        for row in range(7, 10):
            rows[row][200 + row] = rows[row][300 + row] = rows[row][900 + row] = rows[row][1400] = 1
        panel = os.path.join(self.dir, "wide.bits")
        with open(panel, "wb") as stream:
            stream.write(bit_panel([[int(allele) for allele in row] for row in rows]))
        legend = self.write("wide.legend", "chr\tid\tcM\tbp\n" + "".join(
            "5\tsnp%d\t%f\t%d\n" % (k, k * 0.001, 1000000 + 1000 * k) for k in range(1700)))
        loci = self.write("loci.tsv", "locus\tchr\tstart\tend\tpeak_start\tpeak_end\tpeak_cM\tpeak_snps\n"
                          "5:1\t5\t1050000\t2649000\t1050000\t2649000\t1.6\t1600\n")
        done = self.plot("--haplotypes", "5:1", "--loci", loci, "--hap", panel, "--legend", legend,
                         "-o", os.path.join(self.dir, "wide.png"), "--dump")
        self.assertEqual(done.returncode, 0, done.stderr)
        drawn = json.loads(done.stdout)
        self.assertEqual((drawn["carriers"], drawn["snps"], drawn["cut"]), (9, 1500, True))
        self.assertEqual(len(drawn["core"]), 1600)

    def test_rows_are_grouped_by_population(self):
        populations = self.write("p.pops", "sample population\ns1 north\ns3 south\ns2 north\nelsewhere x\n")
        done = self.locus_plot(small_locus(), "--samples", self.samples, "--populations", populations)
        self.assertEqual(done.returncode, 0, done.stderr)
        groups = [(g["population"], g["haplotypes"], g["carriers"]) for g in json.loads(done.stdout)["groups"]]
        self.assertEqual(groups, [("north", 4, 3), ("south", 2, 1), ("(no population)", 2, 0)])
        panel = [fields for fields in run_record(os.path.join(self.dir, "locus.png"))["input"]
                 if fields[0] == self.panels["bits"]][0]
        self.assertEqual(panel[-2:], ["haplotypes=8", "snps=70"])

    def test_a_panel_or_legend_that_is_not_the_loci_own_is_refused(self):
        loci = os.path.join(self.dir, "loci.tsv")
        for loci_text, extra, said in [
            (small_locus(carriers=5), [], "%s:2: locus 5:1 has 5 carriers in the loci table, but 4 haplotypes of %s "
                                          "carry its core" % (loci, self.panels["bits"])),
            (small_locus(core="1" * 51), [], "locus 5:1 has the core 111"),
            (small_locus().replace("1100000\t1600000\t0.5", "1100001\t1600000\t0.5"), [],
             "the peak of locus 5:1 (bp 1100001 to 1600000, 51 SNPs) is no run of 51 rows"),
            (small_locus().replace("5:1", "5:2"), [], "no locus named 5:1"),
            (small_locus(), ["--samples", self.write("two", "a\nb\n")], "two: 2 sample ids, but the panel"),
            (small_locus(), ["--samples", self.write("twice", "a\nb\na\nc\n")], "twice:3: sample a is named twice"),
        ]:
            with self.subTest(said=said):
                done = self.locus_plot(loci_text, *extra)
                self.assertEqual(done.returncode, 1, done.stderr)
                self.assertIn(said, done.stderr)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "locus.png")))

    def test_the_example_locus_has_the_carriers_corvane_loci_counts(self):
        examples = os.path.join(os.path.dirname(__file__), "..", "..", "examples")
        loci = self.write("loci.tsv", "locus\tchr\tstart\tend\tpeak_start\tpeak_end\tpeak_cM\tpeak_snps\tcarriers\tcore\n"
                          "21:11\t21\t41032804\t41340005\t41093854\t41294162\t0.806255\t53\t158\t"
                          "00000000010010000000000000000000000101000000000000000\n")
        samples = self.write("chr21.samples", "".join("sample%d\n" % k for k in range(379)))
        done = self.plot("--haplotypes", "21:11", "--loci", loci, "--hap", os.path.join(examples, "chr21.hap.gz"),
                         "--legend", os.path.join(examples, "chr21.legend.gz"), "--samples", samples,
                         "-o", os.path.join(self.dir, "21-11.png"), "--dump")
        self.assertEqual(done.returncode, 0, done.stderr)
        drawn = json.loads(done.stdout)
        self.assertEqual((drawn["carriers"], drawn["samples_homozygous"], drawn["samples_heterozygous"]), (158, 18, 122))


class RunRecord(PlotCase):
    def test_each_run_records_its_facts_in_the_shared_order(self):
        result = self.write("scan.tsv", table(ROWS_21))
        figure = os.path.join(self.dir, "f.png")
        self.plot_ok(result, "-o", figure, "--top", "3", "--freq", "0.2")
        with open(figure + ".log") as stream:
            keys = [line.split("\t")[0] for line in stream.read().splitlines()]
        order = ["tool", "version", "command", "folder", "started", "input", "parameter", "count", "output",
                 "wall_seconds", "cpu_seconds", "peak_memory_kb", "status"]
        self.assertEqual(sorted(set(keys), key=keys.index), order)
        self.assertEqual(keys, sorted(keys, key=order.index), "keys in the shared order")
        record = run_record(figure)
        self.assertEqual(record["tool"], ["corvane-plot"])
        self.assertRegex(record["started"][0], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        self.assertEqual(record["command"], [" ".join([PLOT, result, "-o", figure, "--top", "3", "--freq", "0.2"])])
        self.assertEqual(record["input"][0][:2], [result, "bytes=%d" % os.path.getsize(result)])
        parameters = {fields[0]: fields[1:] for fields in record["parameter"]}
        self.assertEqual(parameters["--top"], ["3", "given"])
        self.assertEqual(parameters["--y"], ["genetic", "default"])
        self.assertEqual(parameters["--loci"], ["", "default"])
        self.assertIn("--dpi", parameters)
        self.assertIn(["intervals", "9"], record["count"])
        self.assertEqual(record["output"], [[figure]])
        self.assertEqual(record["status"], ["0", "done"])
        self.assertGreater(int(record["peak_memory_kb"][0]), 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
