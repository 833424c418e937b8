# Tests the workflow's joint loci table across populations and the per-population loci its figures draw.
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "workflow"))
from population_loci import LociTableFault, loci_peaking_at, write_joint_table  # noqa: E402

HEADER = ["locus", "chr", "start", "end", "peak_start", "peak_end", "peak_cM", "peak_snps", "rank", "peak_freq",
          "statistic", "p_value", "q_value", "carriers", "carrier_frequency", "core"]


def loci_row(name, chrom, start, end, rank, freq="0.2", statistic="1.000000", p="0.5", carriers="7"):
    """A locus whose peak is START to END, within a locus 50 bp wider at each end."""
    return [name, chrom, str(start - 50), str(end + 50), str(start), str(end), "0.1", "9", str(rank), freq, statistic,
            p, "0.9", carriers, "0.1", "0101"]


class JointLoci(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="corvane-population-loci-test-")
        self.dir = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def write(self, name, rows, header=HEADER):
        path = os.path.join(self.dir, name)
        with open(path, "w") as stream:
            stream.write("\n".join("\t".join(row) for row in [header] + rows) + "\n")
        return path

    def read(self, path):
        with open(path) as stream:
            return [line.split("\t") for line in stream.read().splitlines()]

    def tables(self):
        # The peaks: A's 21:1 (100-200) and 21:2 (300-400) are chained into one joint locus by B's 21:1
        # (180-320), which overlaps both, while the loci of A's 21:2 and 21:3 (250-450, 450-650), which
        # meet, are apart; A's 21:3 (500-600) and B's 21:2 (600-650) share bp 600. Chromosome 22
        # comes first in the workflow's order; C has a locus only there.
        a = self.write("A.tsv", [loci_row("21:1", "21", 100, 200, 3), loci_row("21:2", "21", 300, 400, 1),
                                 loci_row("21:3", "21", 500, 600, 2, freq="0.5")])
        b = self.write("B.tsv", [loci_row("21:1", "21", 180, 320, 2), loci_row("21:2", "21", 600, 650, 1),
                                 loci_row("22:1", "22", 10, 20, 3)])
        c = self.write("C.tsv", [loci_row("22:1", "22", 5, 15, 1, statistic="4.5", p="0.01", carriers="")])
        return {"A": a, "B": b, "C": c}

    def test_overlapping_loci_of_any_population_are_one_row_with_each_populations_best(self):
        target = os.path.join(self.dir, "joint.tsv")
        counts, _ = write_joint_table(self.tables(), ["22", "21"], target)
        self.assertEqual(counts, {"A": 3, "B": 3, "C": 1})
        header, *rows = self.read(target)
        self.assertEqual(header[:5], ["locus", "chr", "start", "end", "populations"])
        self.assertEqual(header[5:12], ["A.locus", "A.statistic", "A.rank", "A.p_value", "A.q_value", "A.carriers",
                                        "A.carrier_frequency"])
        self.assertEqual(len(header), 5 + 3 * 7)
        self.assertEqual([row[:5] for row in rows], [["22:1", "22", "5", "20", "B,C"], ["21:1", "21", "100", "400", "A,B"],
                                                     ["21:2", "21", "500", "650", "A,B"]])
        # The best-ranked of A's two loci in 21:1 gives its values, and both are named, best first.
        self.assertEqual(rows[1][5:12], ["21:2,21:1", "1.000000", "1", "0.5", "0.9", "7", "0.1"])
        self.assertEqual(rows[0][5:12], [""] * 7)
        self.assertEqual(rows[0][19:26], ["22:1", "4.5", "1", "0.01", "0.9", "", "0.1"])
        self.assertEqual(os.listdir(self.dir).count("joint.tsv"), 1)
        self.assertEqual([name for name in os.listdir(self.dir) if ".tmp-" in name], [])

    def test_columns_of_a_null_or_carriers_only_where_every_population_has_them(self):
        without_null = [name for name in HEADER if name not in ("p_value", "q_value")]
        rows = [[field for name, field in zip(HEADER, loci_row("21:1", "21", 1, 9, 1)) if name in without_null]]
        tables = {"B": self.tables()["B"]}
        tables = {"A": self.write("A-without-null.tsv", rows, without_null), "B": tables["B"]}
        target = os.path.join(self.dir, "joint.tsv")
        write_joint_table(tables, ["21", "22"], target)
        self.assertEqual(self.read(target)[0][5:11], ["A.locus", "A.statistic", "A.rank", "A.carriers",
                                                      "A.carrier_frequency", "B.locus"])

    def test_a_broken_table_is_named_and_leaves_the_older_joint_table(self):
        target = os.path.join(self.dir, "joint.tsv")
        with open(target, "w") as stream:
            stream.write("older\n")
        tables = self.tables()
        for fault, rows, header, message in (
                ("a column missing", [], HEADER[:8], "%s:1: expected the loci header line of corvane-loci (missing: "
                                                     "rank statistic)"),
                ("a row cut short", [loci_row("21:1", "21", 1, 9, 1)[:5]], HEADER,
                 "%s:2: expected 16 tab-separated fields, found 5"),
                ("an end before its start", [loci_row("21:1", "21", 9, 1, 1)], HEADER, "%s:2: peak_end 1 is before peak_start 9")):
            with self.subTest(fault):
                tables["B"] = self.write("B.tsv", rows, header)
                with self.assertRaises(LociTableFault) as raised:
                    write_joint_table(tables, ["21"], target)
                self.assertEqual(str(raised.exception), message % tables["B"])
                self.assertEqual(self.read(target), [["older"]])

    def test_a_populations_figure_loci_take_the_joint_ids_and_every_populations_rank(self):
        tables = self.tables()
        joint = os.path.join(self.dir, "joint.tsv")
        write_joint_table(tables, ["22", "21"], joint)
        target = os.path.join(self.dir, "A.0.2.peak.tsv")
        loci_peaking_at(tables["A"], "0.2", target, joint, "A")
        header, *rows = self.read(target)
        self.assertEqual(header, HEADER + ["A.rank", "B.rank", "C.rank"])
        self.assertEqual([(row[0], row[8], row[-3:]) for row in rows], [("21:1", "3", ["1", "2", ""]),
                                                                         ("21:1", "1", ["1", "2", ""])])
        loci_peaking_at(tables["A"], "0.5", target, joint, "A")
        self.assertEqual([row[0] for row in self.read(target)[1:]], ["21:2"])
        loci_peaking_at(tables["A"], "0.5", target)
        self.assertEqual(self.read(target)[1:], [loci_row("21:3", "21", 500, 600, 2, freq="0.5")])
        stale = self.write("stale.tsv", [loci_row("21:9", "21", 1, 9, 1)])
        with self.assertRaises(LociTableFault) as raised:
            loci_peaking_at(stale, "0.2", target, joint, "A")
        self.assertEqual(str(raised.exception), "%s: locus 21:9 of %s is in none of its rows" % (joint, stale))


if __name__ == "__main__":
    unittest.main()
