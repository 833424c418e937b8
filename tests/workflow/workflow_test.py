# Runs the genome-wide workflow locally on two chromosomes cut from the example VCF and checks the joined table.
import argparse
import collections
import gzip
import json
import os
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import types
import unittest

HEADER = "chr\tstartpos\tendpos\tgenetic_dist\tphysical_dist\tn.snp"
SPLIT_BP = 43200000  # the example spans bp 38,347,375 to 48,099,610 of chromosome 21
ARGS = None


def png_size(path):
    with open(path, "rb") as stream:
        head = stream.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", "%s is not a PNG" % path
    return struct.unpack(">II", head[16:24])


def run(command, **options):
    return subprocess.run([str(part) for part in command], capture_output=True, text=True, timeout=300, **options)


def read_rows(path):
    with open(path) as stream:
        lines = stream.read().splitlines()
    return lines[0], lines[1:]


# The two helpers below read the module's ARGS, which slurm_test.py sets too.
def make_two_chromosomes(folder):
    """Chromosome "21" is the first half of the example as bgzipped VCF; "22" is the second
    half, renamed, as BCF. Each gets the example map with its own chromosome column."""
    vcf = os.path.join(ARGS.data, "chr21.phased.vcf.gz")
    first = os.path.join(folder, "first.vcf.gz")
    second = os.path.join(folder, "second.bcf")
    rename = os.path.join(folder, "rename.txt")
    with open(rename, "w") as stream:
        stream.write("21 22\n")
    made = run([ARGS.bcftools, "view", "-Oz", "-o", first, "-t", "21:1-%d" % SPLIT_BP, vcf])
    assert made.returncode == 0, made.stderr
    cut = subprocess.Popen([ARGS.bcftools, "view", "-Ov", "-t", "21:%d-" % (SPLIT_BP + 1), vcf],
                           stdout=subprocess.PIPE)
    made = run([ARGS.bcftools, "annotate", "--rename-chrs", rename, "-Ob", "-o", second], stdin=cut.stdout)
    cut.stdout.close()
    assert cut.wait() == 0 and made.returncode == 0, made.stderr
    os.mkdir(os.path.join(folder, "maps"))
    with gzip.open(os.path.join(ARGS.data, "chr21.b37.gmap.gz"), "rt") as stream:
        header, *rows = stream.read().splitlines()
    for chrom in ("21", "22"):
        with gzip.open(os.path.join(folder, "maps", "chr%s.gmap.gz" % chrom), "wt") as stream:
            stream.write(header + "\n")
            for row in rows:
                pos, _, cm = row.split("\t")
                stream.write("%s\t%s\t%s\n" % (pos, chrom, cm))


def tools():
    return {"prepare": ARGS.prepare, "corvane": ARGS.corvane, "plot": ARGS.plot, "loci": ARGS.loci}


def write_config(folder, name, map_pattern, out_dir="out", extra="", **values):
    """The two chromosomes' config; VALUES give top-level keys as YAML text (or a function giving
    it), replacing these (None leaves a key out); EXTRA is appended as it is."""
    keys = {"vcf": '{"21": first.vcf.gz, "22": second.bcf}', "map_dir": "maps", "map_pattern": json.dumps(map_pattern),
            "freq": "0.2", "out_dir": out_dir, "tools": json.dumps(tools())}
    keys.update({key: text() if callable(text) else text for key, text in values.items()})
    path = os.path.join(folder, name)
    with open(path, "w") as stream:
        for key, text in keys.items():
            if text is not None:
                stream.write("%s: %s\n" % (key, text))
        stream.write(extra)
    return path


def files_under(folder):
    """Every file under FOLDER but Snakemake's own records, with its size and modification time."""
    found = set()
    for top, folders, names in os.walk(folder):
        folders[:] = [name for name in folders if name != ".snakemake"]
        for name in names:
            status = os.stat(os.path.join(top, name))
            found.add((os.path.relpath(os.path.join(top, name), folder), status.st_size, status.st_mtime_ns))
    return found


class WorkflowRuns(unittest.TestCase):
    """Runs of the workflow in a scratch folder of the class (cls.dir), outputs under out/."""

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    @classmethod
    def write_config(cls, name, map_pattern, out_dir="out", extra="", **values):
        return write_config(cls.dir, name, map_pattern, out_dir, extra, **values)

    @classmethod
    def snakemake(cls, config, *options):
        return run([ARGS.snakemake, "--snakefile", ARGS.snakefile, "--configfile", config,
                    "--directory", cls.dir] + list(options))

    def out(self, *parts):
        return os.path.join(self.dir, "out", *parts)


class TwoChromosomes(WorkflowRuns):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="corvane-workflow-test-")
        cls.dir = cls.folder.name
        cls.make_inputs()
        cls.config = cls.write_config("config.yaml", "chr{chr}.gmap.gz")
        cls.done = cls.snakemake(cls.config, "--cores", 2)

    @classmethod
    def make_inputs(cls):
        make_two_chromosomes(cls.dir)
        first, second = vcf_samples()[:2]
        for name, lines in (("pops.tsv", [first + " A", second + " B"]), ("bad-name.tsv", [first + " A", second + " a/b"]),
                            ("stranger.tsv", [first + " A", "nobody A"]), ("logs.tsv", [first + " logs"])):
            with open(os.path.join(cls.dir, name), "w") as stream:
                stream.write("\n".join(lines) + "\n")
        os.mkdir(os.path.join(cls.dir, "maps21"))
        shutil.copy(os.path.join(cls.dir, "maps", "chr21.gmap.gz"), os.path.join(cls.dir, "maps21"))

    def test_workflow_runs(self):
        self.assertEqual(self.done.returncode, 0, self.done.stdout + self.done.stderr)

    def test_joined_table_is_one_header_and_every_chromosome_in_order(self):
        header, joined = read_rows(self.out("genome.0.2.scan.tsv"))
        self.assertEqual(header, HEADER)
        self.assertNotIn(HEADER, joined)
        expected = []
        for chrom in ("21", "22"):
            own_header, rows = read_rows(self.out(chrom, chrom + ".0.2.scan.tsv"))
            self.assertEqual(own_header, HEADER)
            self.assertGreater(len(rows), 5, "chromosome %s found almost no regions" % chrom)
            expected += rows
        self.assertEqual(joined, expected)

    def test_each_chromosome_was_scanned_from_its_own_file(self):
        _, joined = read_rows(self.out("genome.0.2.scan.tsv"))
        for row in joined:
            chrom, start, end = row.split("\t")[:3]
            self.assertIn(chrom, ("21", "22"))
            if chrom == "21":
                self.assertLessEqual(int(end), SPLIT_BP, row)
            else:
                self.assertGreater(int(start), SPLIT_BP, row)

    def test_loci_are_ranked_across_chromosomes_with_their_carriers(self):
        header, loci = read_rows(self.out("genome.loci.tsv"))
        self.assertEqual(header.split("\t")[-4:], ["statistic", "carriers", "carrier_frequency", "core"])
        names = [row.split("\t")[0] for row in loci]
        self.assertIn("21:1", names)
        self.assertIn("22:1", names)
        ranks = sorted(int(row.split("\t")[9]) for row in loci)
        self.assertEqual(ranks[0], 1)
        self.assertEqual(ranks.count(1), 1, "one longest peak across both chromosomes")
        with open(self.out("genome.loci.bed")) as stream:
            self.assertEqual([line.split("\t")[3] for line in stream.read().splitlines()], names)

    def test_figures_have_one_panel_per_chromosome_and_genome_wide_one_axis(self):
        # Default figures are 10 in wide, 0.5 in plus 3 in per panel, at 100 dpi; the genome-wide
        # figure is one panel.
        self.assertEqual(png_size(self.out("genome.0.2.scan.png")), (1000, 350))
        for chrom in ("21", "22"):
            self.assertEqual(png_size(self.out(chrom, chrom + ".0.2.scan.png")), (1000, 350))

    def test_second_run_has_nothing_to_do(self):
        again = self.snakemake(self.config, "--cores", 1, "--dry-run")
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertIn("Nothing to be done", again.stdout + again.stderr)

    def test_cluster_requests_follow_the_panel_unless_the_config_sets_them(self):
        sizes = {}
        with open(os.path.join(os.path.dirname(ARGS.snakefile), "job_resources.smk")) as stream:
            exec(stream.read(), sizes)
        for chrom in ("21", "22"):
            # The bit panel's H x S, H found from its size and the legend's S.
            panel = self.out(chrom, chrom + ".hapbits")
            with open(self.out(chrom, chrom + ".legend")) as legend:
                snps = sum(1 for _ in legend) - 1
            haplotypes = (os.path.getsize(panel) - 32) // (8 * ((snps + 63) // 64))
            self.assertEqual(sizes["panel_alleles"](panel), haplotypes * snps)
        # A plot: 100 MB + 200 bytes per row of 40 bytes, at least 1000 MB; tables of 2 and 5 million rows.
        table = os.path.join(self.dir, "rows.tsv")
        for rows, asked in ((2_000_000, 1000), (5_000_000, 1100)):
            with open(table, "wb") as stream:
                stream.truncate(40 * rows)
            self.assertEqual(sizes["plot_mem_mb"](None, types.SimpleNamespace(table=table)), asked)
        os.unlink(table)
        for extra, asked in (("", "mem_mb=1000, mem_mib=954, runtime=11"),
                             ("resources: {scan: {mem_mb: 8000, runtime: 60}}\n", "mem_mb=8000, mem_mib=7630, runtime=60")):
            config = self.write_config("resources.yaml", "chr{chr}.gmap.gz", extra=extra)
            dry = self.snakemake(config, "--cores", 1, "--dry-run", "--forcerun", "scan", "--",
                                 "out/21/21.0.2.scan.tsv", "out/22/22.0.2.scan.tsv")
            self.assertEqual(dry.returncode, 0, dry.stdout + dry.stderr)
            self.assertEqual(dry.stdout.count("resources: tmpdir=%s, %s" % (tempfile.gettempdir(), asked)), 2, dry.stdout)

    def test_bad_configs_are_refused_before_anything_runs(self):
        for fault, values, message in BAD_CONFIGS:
            with self.subTest(fault):
                config = self.write_config("bad.yaml", "chr{chr}.gmap.gz", out_dir="bad", **values)
                before = files_under(self.dir)
                for dry_run in ([], ["--dry-run"]):
                    refused = self.snakemake(config, "--cores", 1, *dry_run)
                    said = refused.stdout + refused.stderr
                    self.assertNotEqual(refused.returncode, 0, said)
                    self.assertIn("workflow config: " + message, said)
                    self.assertEqual(said.count("workflow config: "), 2, "one fault and the last line:\n" + said)
                    self.assertNotIn("Job stats", said)  # Snakemake's list of the jobs it is about to run
                    self.assertEqual(files_under(self.dir), before, "written or changed by a refused run")

    def test_every_step_log_says_what_ran_and_how_it_ended(self):
        steps = ["prepare", "scan", "plot", "carriers"]
        expected = {"%s.%s.log" % (step, chrom if step in ("prepare", "carriers") else chrom + ".0.2")
                    for step in steps for chrom in ("21", "22")}
        self.assertEqual(set(os.listdir(self.out("logs"))), expected | {"loci.log", "plot.genome.0.2.log"})
        tools = {"prepare": ARGS.prepare, "scan": ARGS.corvane, "plot": ARGS.plot, "carriers": ARGS.loci,
                 "loci": ARGS.loci}
        for log in sorted(os.listdir(self.out("logs"))):
            with open(self.out("logs", log)) as stream:
                lines = stream.read().splitlines()
            self.assertTrue(lines and lines[0].startswith("command: "), log)
            self.assertEqual(shlex.split(lines[0][len("command: "):])[0], tools[log.split(".")[0]], log)
            self.assertEqual(lines[-1], "ended: done (status 0)", log)
            self.assertRegex(lines[-2], r"^wall time: \d+\.\d\d s$", log)

    def test_a_failed_step_log_keeps_the_tools_message_and_how_it_ended(self):
        config = self.write_config("failing.yaml", "chr{chr}.gmap.gz", out_dir="failing",
                                   prepare_options='"--min-maf 0.6"')
        failed = self.snakemake(config, "--cores", 1, "--", "failing/21/21.hapbits")
        self.assertNotEqual(failed.returncode, 0, failed.stdout + failed.stderr)
        with open(os.path.join(self.dir, "failing", "logs", "prepare.21.log")) as stream:
            lines = stream.read().splitlines()
        self.assertTrue(lines[0].startswith("command: "), lines)
        self.assertTrue(any(line.startswith("corvane-prepare: --min-maf takes a number") for line in lines), lines)
        self.assertEqual(lines[-1], "ended: failed (status 2)")
        self.assertFalse(os.path.exists(os.path.join(self.dir, "failing", "21", "21.hapbits")))

    def test_scan_log_records_version_panel_frequency_and_rows(self):
        version = run([ARGS.corvane, "--version"]).stdout.strip()
        for chrom in ("21", "22"):
            _, rows = read_rows(self.out(chrom, chrom + ".0.2.scan.tsv"))
            _, legend = read_rows(self.out(chrom, chrom + ".legend"))
            with open(self.out("logs", "scan.%s.0.2.log" % chrom)) as stream:
                lines = stream.read().splitlines()
            prefix = os.path.join("out", chrom, chrom)
            self.assertEqual(shlex.split(lines[0][len("command: "):]),
                             [ARGS.corvane, "-hap", prefix + ".hapbits", "-legend", prefix + ".legend", "-freq", "0.2",
                              "-out", prefix + ".0.2.scan.tsv"])
            for line in ("version: " + version,
                         "panel: %s.hapbits, H = 758 haplotypes, S = %d SNPs" % (prefix, len(legend)),
                         "frequency: 0.2", "rows written: %d" % len(rows)):
                self.assertIn(line, lines)

    def test_a_null_of_simulations_gives_the_p_values_of_corvane_loci(self):
        # A grid of two frequencies; the null: ms simulations (40 neutral replicates) and one VCF
        # replicate, on a uniform map. The workflow's tables are corvane-loci's on the same inputs.
        simulations = os.path.join(ARGS.data, "sim", "neutral_null.ms.gz")
        null = '{ms: {neutral: %s}, vcf: {"22": second.bcf}, length: 500000, cm_per_mb: 1.2}' % json.dumps(simulations)
        config = self.write_config("null.yaml", "chr{chr}.gmap.gz", out_dir="withnull", freq=None,
                                   freqs="[0.2, 0.5]", extra="null: %s\n" % null)
        done = self.snakemake(config, "--cores", 2)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        out = lambda *parts: os.path.join(self.dir, "withnull", *parts)
        for freq in ("0.2", "0.5"):
            _, rows = read_rows(out("null", "ms", "neutral.%s.scan.tsv" % freq))
            self.assertEqual(list(dict.fromkeys(row.split("\t")[0] for row in rows)),
                             ["neutral_%d" % k for k in range(1, 41)])
            _, rows = read_rows(out("null", "vcf.%s.scan.tsv" % freq))
            self.assertEqual({row.split("\t")[0] for row in rows}, {"22"})
        command = [ARGS.loci]
        for freq in ("0.2", "0.5"):
            command += ["--freq", freq, out("genome.%s.scan.tsv" % freq)]
        for freq in ("0.2", "0.5"):
            command += ["--null-freq", freq, out("null", "ms", "neutral.%s.scan.tsv" % freq),
                        "--null-freq", freq, out("null", "vcf.%s.scan.tsv" % freq)]
        for chrom in ("21", "22"):
            command += ["--hap", out(chrom, chrom + ".hapbits"), "--legend", out(chrom, chrom + ".legend")]
        direct = run(command + ["-o", os.path.join(self.dir, "direct.loci.tsv")])
        self.assertEqual(direct.returncode, 0, direct.stderr)
        with open(out("genome.loci.tsv")) as workflow, open(os.path.join(self.dir, "direct.loci.tsv")) as by_hand:
            self.assertEqual(workflow.read(), by_hand.read())
        header, loci = read_rows(out("genome.loci.tsv"))
        columns = header.split("\t")
        self.assertEqual(columns[columns.index("statistic"):columns.index("carriers")], ["statistic", "p_value", "q_value"])
        genome_wide = {row.split("\t")[0]: row.split("\t")[columns.index("p_value")] for row in loci}
        for chrom in ("21", "22"):
            _, own = read_rows(out(chrom, chrom + ".loci.tsv"))
            self.assertEqual({row.split("\t")[0]: row.split("\t")[columns.index("p_value")] for row in own},
                             {locus: p for locus, p in genome_wide.items() if locus.startswith(chrom + ":")})
        for log in os.listdir(out("logs")):
            with open(out("logs", log)) as stream:
                self.assertTrue(stream.read().endswith("ended: done (status 0)\n"), log)

    def test_carriers_per_chromosome_name_the_genome_wide_loci(self):
        header, loci = read_rows(self.out("genome.loci.tsv"))
        carriers_column = header.split("\t").index("carriers")
        genome_wide = {row.split("\t")[0]: int(row.split("\t")[carriers_column]) for row in loci}
        for chrom in ("21", "22"):
            with open(self.out(chrom, chrom + ".samples")) as stream:
                samples = set(stream.read().split())
            header, lines = read_rows(self.out(chrom, chrom + ".carriers.tsv"))
            self.assertEqual(header, "locus\tsample\thaplotype\tcopies")
            per_locus = collections.Counter()
            for line in lines:
                locus, sample, haplotype, copies = line.split("\t")
                self.assertIn(sample, samples)
                self.assertIn(haplotype, ("1", "2"))
                self.assertIn(copies, ("1", "2"))
                per_locus[locus] += 1
            on_chromosome = {locus: count for locus, count in genome_wide.items() if locus.startswith(chrom + ":")}
            self.assertGreater(len(per_locus), 5)
            self.assertEqual(dict(per_locus), {locus: count for locus, count in on_chromosome.items() if count})
            _, own_loci = read_rows(self.out(chrom, chrom + ".loci.tsv"))
            self.assertEqual([row.split("\t")[0] for row in own_loci], list(on_chromosome))


def vcf_samples():
    with gzip.open(os.path.join(ARGS.data, "chr21.phased.vcf.gz"), "rt") as stream:
        for line in stream:
            if line.startswith("#CHROM"):
                return line.rstrip("\n").split("\t")[9:]


class TwoPopulations(WorkflowRuns):
    """The example's samples as two populations: "north", the first 100 (200 haplotypes, the null's
    number), and "south", the other 279, each run from one conversion per chromosome, against runs of
    the workflow on each population's samples alone."""
    POPULATIONS = ("north", "south")

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="corvane-workflow-populations-test-")
        cls.dir = cls.folder.name
        make_two_chromosomes(cls.dir)
        # Chromosome 21 has an index, so corvane-prepare reads it in ranges with all the step's threads.
        indexed = run([ARGS.bcftools, "index", "--tbi", os.path.join(cls.dir, "first.vcf.gz")])
        assert indexed.returncode == 0, indexed.stderr
        samples = vcf_samples()
        cls.samples = {"north": samples[:100], "south": samples[100:]}
        with open(os.path.join(cls.dir, "populations.tsv"), "w") as stream:
            stream.write("sample\tpop\tsuper_pop\n")
            for sample in samples:
                stream.write("%s\t%s\tEUR\n" % (sample, "north" if sample in cls.samples["north"] else "south"))
        null = '{ms: {neutral: %s}, length: 500000, cm_per_mb: 1.2}' % json.dumps(
            os.path.join(ARGS.data, "sim", "neutral_null.ms.gz"))
        common = {"freq": None, "freqs": "[0.2, 0.5]"}
        config = cls.write_config("populations.yaml", "chr{chr}.gmap.gz", extra="null: %s\n" % null,
                                  populations="populations.tsv", **common)
        cls.done = cls.snakemake(config, "--cores", 2)
        cls.alone = {}
        for population, ids in cls.samples.items():
            with open(os.path.join(cls.dir, population + ".txt"), "w") as stream:
                stream.write("\n".join(ids) + "\n")
            config = cls.write_config(population + ".yaml", "chr{chr}.gmap.gz", out_dir=population + "-alone",
                                      extra="null: %s\n" % null, samples=population + ".txt", **common)
            cls.alone[population] = cls.snakemake(config, "--cores", 2)

    def test_every_population_gives_what_a_run_on_its_samples_alone_gives(self):
        self.assertEqual(self.done.returncode, 0, self.done.stdout + self.done.stderr)
        for population in self.POPULATIONS:
            alone = self.alone[population]
            self.assertEqual(alone.returncode, 0, alone.stdout + alone.stderr)
            by_itself = lambda *parts: os.path.join(self.dir, population + "-alone", *parts)
            for chrom in ("21", "22"):
                for suffix in ("hapbits", "legend", "samples"):
                    with open(self.out(chrom, "%s.%s.%s" % (chrom, population, suffix)), "rb") as joint, \
                            open(by_itself(chrom, "%s.%s" % (chrom, suffix)), "rb") as own:
                        self.assertEqual(joint.read(), own.read(), (population, chrom, suffix))
                tables = [os.path.join(chrom, "%s.%s.scan.tsv" % (chrom, freq)) for freq in ("0.2", "0.5")]
                for table in tables + [os.path.join(chrom, chrom + ".carriers.tsv")]:
                    with open(self.out(population, table)) as joint, open(by_itself(table)) as own:
                        self.assertEqual(joint.read(), own.read(), (population, table))
            for table in ("genome.loci.tsv", "genome.loci.bed", "genome.0.5.scan.tsv"):
                with open(self.out(population, table)) as joint, open(by_itself(table)) as own:
                    self.assertEqual(joint.read(), own.read(), (population, table))
        with open(self.out("logs", "prepare.21.log")) as stream:
            command = shlex.split(stream.readline()[len("command: "):])
        self.assertEqual(command[command.index("--populations") + 1], "populations.tsv")
        self.assertEqual(command[-2:], ["--threads", "2"])  # indexed: every core reads ranges
        with open(self.out("logs", "prepare.22.log")) as stream:
            self.assertEqual(shlex.split(stream.readline()[len("command: "):])[-2:], ["--threads", "1"])

    def test_the_joint_table_holds_every_populations_loci_once_with_their_values(self):
        header, rows = read_rows(self.out("genome.populations.loci.tsv"))
        columns = header.split("\t")
        per_population = ["locus", "statistic", "rank", "p_value", "q_value", "carriers", "carrier_frequency"]
        self.assertEqual(columns, ["locus", "chr", "start", "end", "populations"] +
                         ["%s.%s" % (population, name) for population in self.POPULATIONS for name in per_population])
        joint = [dict(zip(columns, row.split("\t"))) for row in rows]
        previous = None
        for number, row in enumerate(joint):
            # Numbered in genome order; joint loci never overlap one another.
            chrom, place = row["locus"].split(":")
            self.assertEqual(chrom, row["chr"])
            if previous and previous["chr"] == chrom:
                self.assertEqual(int(place), int(previous["locus"].split(":")[1]) + 1)
                self.assertGreater(int(row["start"]), int(previous["end"]))
            else:
                self.assertEqual(place, "1")
            previous = row
        self.assertEqual([row["chr"] for row in joint], sorted((row["chr"] for row in joint), key=["21", "22"].index))
        shared = 0
        for population in self.POPULATIONS:
            own_header, own_rows = read_rows(os.path.join(self.dir, population + "-alone", "genome.loci.tsv"))
            own = {fields[0]: dict(zip(own_header.split("\t"), fields)) for fields in (r.split("\t") for r in own_rows)}
            named = {}
            for row in joint:
                names = row[population + ".locus"].split(",") if row[population + ".locus"] else []
                self.assertEqual(population in row["populations"].split(","), bool(names), row)
                for name in names:
                    self.assertNotIn(name, named)
                    named[name] = row
                    self.assertEqual(own[name]["chr"], row["chr"])
                    self.assertLessEqual(int(row["start"]), int(own[name]["peak_start"]))
                    self.assertGreaterEqual(int(row["end"]), int(own[name]["peak_end"]))
                if names:
                    best = own[names[0]]
                    self.assertEqual(min(int(own[name]["rank"]) for name in names), int(best["rank"]))
                    for name in per_population[1:]:
                        self.assertEqual(row["%s.%s" % (population, name)], best[name], (row["locus"], population, name))
                    self.assertEqual(float(best["carrier_frequency"]),
                                     round(int(best["carriers"]) / (2 * len(self.samples[population])), 6))
                else:
                    self.assertEqual([row["%s.%s" % (population, name)] for name in per_population[1:]], [""] * 6)
            self.assertEqual(set(named), set(own), "every locus of %s in one joint row" % population)
        shared = sum(1 for row in joint if "," in row["populations"])
        self.assertGreater(shared, 0)
        self.assertLess(shared, len(joint))

    def test_the_log_gives_each_populations_haplotypes_and_warns_of_a_null_of_another_size(self):
        with open(self.out("logs", "populations.loci.log")) as stream:
            lines = stream.read().splitlines()
        self.assertIn("population north: 200 haplotypes (out/21/21.north.hapbits), %d loci (out/north/genome.loci.tsv)"
                      % len(read_rows(self.out("north", "genome.loci.tsv"))[1]), lines)
        self.assertIn("null: 200 haplotypes", lines)
        self.assertEqual([line for line in lines if line.startswith("warning:")],
                         ["warning: population south has 558 haplotypes, the null 200: its p_value and q_value are "
                          "those of a null of another sample size"])
        self.assertEqual(lines[-1], "ended: done")

    def test_each_populations_genome_figure_has_a_track_per_population(self):
        for population in self.POPULATIONS:
            for freq in ("0.2", "0.5"):
                # 0.5 in plus 3 in for the panel and 0.4 in for each population's track, at 100 dpi.
                self.assertEqual(png_size(self.out(population, "genome.%s.scan.png" % freq)), (1000, 430))
                self.assertEqual(png_size(self.out(population, "21", "21.%s.scan.png" % freq)), (1000, 350))


# One fault per row: the top-level keys that differ from the good run's config (as YAML), and what
# the refusal says after "workflow config: ".
BAD_CONFIGS = (
    ("a frequency holding a command", {"freq": '"0.2 -out injected.tsv; true"'},
     'freq: expected a number above 0 and below 1, got "0.2 -out injected.tsv; true"'),
    ("a frequency of 1 or more", {"freq": "1.5"}, "freq: expected a number above 0 and below 1, got 1.5"),
    ("a frequency that single precision makes 1", {"freq": "0.99999999"},
     "freq: expected a number above 0 and below 1, got 0.99999999, which the scan's single precision makes 1"),
    ("a chromosome in both spellings", {"vcf": '{"21": first.vcf.gz, "chr21": first.vcf.gz, "22": second.bcf}'},
     'vcf: "21" and "chr21" name one chromosome'),
    ("a chromosome as a number and as text", {"vcf": '{21: first.vcf.gz, "21": second.bcf}'},
     "vcf: chromosome 21 is listed twice"),
    ("a chromosome name that leaves out_dir", {"vcf": '{"..": first.vcf.gz}'},
     'vcf: chromosome name ".." must start with a letter or digit'),
    ("a missing VCF", {"vcf": '{"21": first.vcf.gz, "22": absent.bcf}'}, "vcf: 22: absent.bcf: no such file"),
    ("a chromosome without a map", {"map_dir": "maps21"},
     "map_dir, map_pattern: the map of chromosome 22: %s: no such file" % os.path.join("maps21", "chr22.gmap.gz")),
    ("a missing sample list", {"samples": "absent.txt"}, "samples: absent.txt: no such file"),
    ("a missing tool", {"tools": lambda: json.dumps(dict(tools(), corvane="absent/corvane"))},
     "tools: corvane: absent/corvane is not an executable file"),
    ("shell syntax in options", {"prepare_options": '"--min-maf 0.01; touch injected"'},
     'prepare_options: "0.01;" holds ";", which is shell syntax'),
    ("options that are not words", {"loci_options": '"--gap \'10"'},
     "loci_options: cannot be split into words (no closing quotation)"),
    ("an option the workflow sets", {"loci_options": '"-o other.tsv"'},
     "loci_options: -o is set by the workflow itself"),
    ("an option that writes a text panel", {"prepare_options": '"--gzip"'},
     "prepare_options: --gzip is not for the workflow"),
    ("an output both loci steps would write", {"loci_options": '"--core=core.tsv"'},
     "loci_options: --core=core.tsv names one file that both corvane-loci steps would write"),
    ("a misspelt key", {"frequency": "0.5"}, '"frequency": not a key of this workflow'),
    ("a resource that is not a number", {"resources": "{scan: {mem_mb: 8G}}"},
     'resources: scan: mem_mb: expected a whole number above 0 (MB), got "8G"'),
    ("a grid with a frequency of 1 or more", {"freq": None, "freqs": "[0.2, 1.5]"},
     "freqs: expected a number above 0 and below 1, got 1.5"),
    ("a grid with a frequency twice", {"freq": None, "freqs": "[0.2, 0.5, 0.20]"}, "freqs: 0.2 is listed twice"),
    ("a grid that is no list", {"freq": None, "freqs": "0.2"},
     "freqs: expected a list of frequencies, e.g. [0.1, 0.2, 0.5], got 0.2"),
    ("freq beside freqs", {"freqs": "[0.2, 0.5]"}, "freq, freqs: give one of them"),
    ("a key the null does not have", {"null": "{ms: {neutral: first.vcf.gz}, length: 500000, cm_per_mb: 1.2, reps: 5}"},
     'null: "reps" is not a key of null'),
    ("a missing ms file", {"null": "{ms: {neutral: absent.ms.gz}, length: 500000, cm_per_mb: 1.2}"},
     "null: ms: neutral: absent.ms.gz: no such file"),
    ("ms simulations without their length", {"null": "{ms: {neutral: first.vcf.gz}, cm_per_mb: 1.2}"},
     "null: length: expected the bp of the simulated regions"),
    ("a null with a rate and a map", {"null": "{vcf: {s1: first.vcf.gz}, cm_per_mb: 1.2, map: maps/chr21.gmap.gz}"},
     "null: give one of cm_per_mb (a uniform map) and map (a genetic map file)"),
    ("a VCF replicate named as an ms replicate",
     {"null": "{ms: {neutral: first.vcf.gz}, vcf: {neutral_3: first.vcf.gz}, length: 500000, cm_per_mb: 1.2}"},
     "null: vcf: neutral_3 is also the name of replicate 3 of the ms batch neutral"),
    ("frequencies the workflow sets", {"loci_options": '"--freq 0.3 extra.tsv"'},
     "loci_options: --freq is set by the workflow itself"),
    ("populations beside samples", {"populations": "pops.tsv", "samples": "pops.tsv"},
     "populations, samples: give one of them"),
    ("a missing population file", {"populations": "absent.tsv"}, "populations: absent.tsv: no such file"),
    ("a population that cannot be a folder", {"populations": "bad-name.tsv"},
     'populations: bad-name.tsv:2: population "a/b" cannot be part of a file name or a folder under out_dir'),
    ("a population's sample missing from the VCFs", {"populations": "stranger.tsv"},
     'populations: stranger.tsv:2: sample "nobody" is not in first.vcf.gz (chromosome 21)'),
    ("a population named as a folder of the workflow", {"populations": "logs.tsv"},
     'populations: logs.tsv:1: population "logs" would share its folder under out_dir with the workflow\'s logs/'),
    ("no cores for the conversion", {"prepare_threads": "0"},
     "prepare_threads: expected a whole number of cores from 1 to 256, got 0"),
)


def parse_arguments(parser):
    """The tools and the example data both workflow tests need; returns the arguments and the rest for unittest."""
    for name in ("snakemake", "snakefile", "bcftools", "prepare", "corvane", "plot", "loci"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--data", action="append", required=True,
                        help="folder with chr21.phased.vcf.gz and chr21.b37.gmap.gz; the first that has both is used")
    arguments, rest = parser.parse_known_args()
    found = [folder for folder in arguments.data
             if all(os.path.exists(os.path.join(folder, name)) for name in ("chr21.phased.vcf.gz", "chr21.b37.gmap.gz"))]
    if not found:
        sys.exit("workflow test: no example VCF and map in %s" % ", ".join(arguments.data))
    arguments.data = found[0]
    # The workflow runs in a scratch folder, where relative tool paths would mean something else.
    for name in ("prepare", "corvane", "plot", "loci", "snakefile"):
        setattr(arguments, name, os.path.abspath(getattr(arguments, name)))
    for tool in (arguments.prepare, arguments.corvane, arguments.plot, arguments.loci):
        if not os.access(tool, os.X_OK):
            sys.exit("workflow test: %s is not built" % tool)
    return arguments, rest


if __name__ == "__main__":
    ARGS, rest = parse_arguments(argparse.ArgumentParser())
    unittest.main(argv=[sys.argv[0]] + rest)
