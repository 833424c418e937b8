# Runs the genome-wide workflow with the README's Slurm command on a one-node Slurm cluster and holds it to a local run.
#
# Needs root: the cluster and this test run in network and process namespaces of their own
# (scripts/one-node-slurm-namespace.sh), so every daemon listens on loopback only and none outlives
# the test. The test re-runs itself inside them.
import argparse
import json
import os
import pwd
import re
import shlex
import subprocess
import sys
import tempfile
import unittest

import workflow_test
from workflow_test import png_size

INSIDE_NAMESPACE = "CORVANE_SLURM_TEST_IN_NAMESPACE"
ACCOUNT = PARTITION = "corvane"  # what scripts/one-node-slurm-start.sh defines
CHROMS = ("21", "22")
PER_CHROMOSOME_STEPS = ("prepare", "scan", "plot_chromosome", "carriers")
WORKFLOW_TIMEOUT = 900
ARGS = None


def readme_slurm_command():
    """The README's Slurm command line, with this cluster's account and partition for its placeholders."""
    with open(os.path.join(ARGS.source, "README.md")) as stream:
        found = re.findall(r"^snakemake --slurm .*slurm_account=ACCOUNT.*$", stream.read(), re.MULTILINE)
    assert len(found) == 1, "README: expected one 'snakemake --slurm' command line, found %d" % len(found)
    return shlex.split(found[0].replace("ACCOUNT", ACCOUNT).replace("PARTITION", PARTITION))


def submitted_jobs(snakemake_output):
    """Snakemake's job id -> (rule, wildcards, Slurm job id) for every job it handed to Slurm."""
    steps = {}
    for rule, body in re.findall(r"^rule (\w+):\n((?:    .*\n)+)", snakemake_output, re.MULTILINE):
        jobid = re.search(r"^    jobid: (\d+)$", body, re.MULTILINE).group(1)
        wildcards = re.search(r"^    wildcards: (.*)$", body, re.MULTILINE)
        steps[jobid] = (rule, wildcards.group(1) if wildcards else "")
    submitted = {}
    for jobid, slurm_jobid in re.findall(r"^Job (\d+) has been submitted with SLURM jobid (\d+)", snakemake_output,
                                         re.MULTILINE):
        submitted[jobid] = steps[jobid] + (slurm_jobid,)
    return submitted


def dumped_figure(log):
    """What corvane-plot --dump printed into a plot step's log: one JSON line among the step's record."""
    with open(log) as stream:
        dumped = [line for line in stream.read().splitlines() if line.startswith("{")]
    assert len(dumped) == 1, "%s: expected one line of --dump output, found %d" % (log, len(dumped))
    return json.loads(dumped[0])


class TwoChromosomesOnSlurm(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="corvane-slurm-test-")
        cls.dir = cls.folder.name
        cls.addClassCleanup(cls.folder.cleanup)
        workflow_test.make_two_chromosomes(cls.dir)
        # The README's command names no Snakefile: snakemake finds workflow/Snakefile in the folder it runs in.
        os.symlink(os.path.dirname(ARGS.snakefile), os.path.join(cls.dir, "workflow"))
        dump = 'plot_options: "--dump"\n'  # each figure's panels, written to its plot log
        workflow_test.write_config(cls.dir, "local.yaml", "chr{chr}.gmap.gz", "local", dump)
        workflow_test.write_config(cls.dir, "my.yaml", "chr{chr}.gmap.gz", "slurm", dump)
        cls.env = dict(os.environ)
        # Snakemake looks up the Slurm account of $USER, which a login shell sets and CI may not.
        cls.env["USER"] = cls.env.get("USER") or pwd.getpwuid(os.getuid()).pw_name
        cls.local = cls.run_in_folder([ARGS.snakemake, "--cores", "2", "--configfile", "local.yaml"])
        cls.state = os.path.join(cls.dir, "slurm-state")
        started = cls.run_in_folder(["sh", os.path.join(ARGS.scripts, "one-node-slurm-start.sh"), cls.state])
        cls.addClassCleanup(cls.stop_cluster)
        assert started.returncode == 0, "the cluster did not start:\n" + started.stdout + started.stderr
        cls.env["SLURM_CONF"] = os.path.join(cls.state, "slurm.conf")
        command = readme_slurm_command()
        cls.slurm = cls.run_in_folder([ARGS.snakemake] + command[1:])
        cls.jobs = submitted_jobs(cls.slurm.stdout + cls.slurm.stderr)
        cls.accounting = cls.sacct_lines([job[2] for job in cls.jobs.values()])
        if ARGS.verbose:
            print("\n" + " ".join(command) + "\n" + cls.sacct_table([job[2] for job in cls.jobs.values()]))

    @classmethod
    def run_in_folder(cls, command):
        return subprocess.run(command, cwd=cls.dir, env=cls.env, capture_output=True, text=True,
                              timeout=WORKFLOW_TIMEOUT)

    @classmethod
    def stop_cluster(cls):
        stopped = subprocess.run(["sh", os.path.join(ARGS.scripts, "one-node-slurm-stop.sh"), cls.state],
                                 capture_output=True, text=True, timeout=120)
        if stopped.returncode != 0:
            raise AssertionError("the cluster did not stop:\n" + stopped.stdout + stopped.stderr)

    @classmethod
    def sacct_lines(cls, slurm_jobids):
        """Slurm job id -> its accounting record (allocation only, not its steps)."""
        if not slurm_jobids:
            return {}
        fields = ("JobID", "JobName", "Account", "Partition", "State", "ExitCode")
        done = subprocess.run(["sacct", "-X", "-n", "-P", "-j", ",".join(slurm_jobids),
                               "--format=" + ",".join(fields)],
                              env=cls.env, capture_output=True, text=True, timeout=60)
        assert done.returncode == 0, done.stderr
        records = [dict(zip(fields, line.split("|"))) for line in done.stdout.splitlines()]
        return {record["JobID"]: record for record in records}

    @classmethod
    def sacct_table(cls, slurm_jobids):
        done = subprocess.run(["sacct", "-j", ",".join(slurm_jobids), "--format=JobID,JobName%28,Account,"
                               "Partition,State,ExitCode,ReqMem,Timelimit,Elapsed"],
                              env=cls.env, capture_output=True, text=True, timeout=60)
        return done.stdout + done.stderr

    def out(self, run, *parts):
        return os.path.join(self.dir, run, *parts)

    def test_both_runs_succeed(self):
        self.assertEqual(self.local.returncode, 0, self.local.stdout + self.local.stderr)
        self.assertEqual(self.slurm.returncode, 0, self.slurm.stdout + self.slurm.stderr)

    def test_every_per_chromosome_step_was_a_completed_slurm_job(self):
        expected = {(step, "chrom=" + chrom) for step in PER_CHROMOSOME_STEPS for chrom in CHROMS}
        expected.update({("loci", ""), ("plot_genome", "")})
        submitted = {(rule, wildcards): slurm_jobid for rule, wildcards, slurm_jobid in self.jobs.values()}
        self.assertEqual(set(submitted), expected, self.slurm.stderr)
        for (rule, wildcards), slurm_jobid in submitted.items():
            record = self.accounting.get(slurm_jobid)
            self.assertIsNotNone(record, "%s %s: Slurm job %s is not in sacct" % (rule, wildcards, slurm_jobid))
            self.assertEqual((record["State"], record["ExitCode"]), ("COMPLETED", "0:0"), record)
            self.assertEqual((record["Account"], record["Partition"]), (ACCOUNT, PARTITION), record)
            self.assertTrue(record["JobName"].startswith("snakejob_%s_" % rule), record)

    def test_tables_equal_the_local_run_byte_for_byte(self):
        genome_wide = [("genome.scan.tsv",), ("genome.loci.tsv",), ("genome.loci.bed",)]
        per_chromosome = [(chrom, chrom + suffix) for chrom in CHROMS for suffix in (".scan.tsv", ".loci.tsv", ".carriers.tsv")]
        for parts in genome_wide + per_chromosome:
            with open(self.out("local", *parts), "rb") as local, open(self.out("slurm", *parts), "rb") as slurm:
                self.assertEqual(slurm.read(), local.read(), os.path.join(*parts))

    def test_figures_have_the_local_run_size_and_panels(self):
        for figure, log in [(("genome.scan.png",), "plot.genome.log")] + \
                           [((chrom, chrom + ".scan.png"), "plot.%s.log" % chrom) for chrom in CHROMS]:
            self.assertEqual(png_size(self.out("slurm", *figure)), png_size(self.out("local", *figure)))
            drawn_locally, drawn_on_slurm = (dumped_figure(self.out(run, "logs", log)) for run in ("local", "slurm"))
            self.assertEqual(drawn_on_slurm, drawn_locally, log)
        self.assertEqual(len(drawn_locally["panels"]), 1)
        drawn = dumped_figure(self.out("slurm", "logs", "plot.genome.log"))
        self.assertEqual(drawn["layout"], "genome")
        self.assertEqual([chromosome["chr"] for chromosome in drawn["chromosomes"]], list(CHROMS))


def run_in_own_namespaces():
    """Re-runs this test as the first process of fresh network and process namespaces."""
    if os.getuid() != 0:
        sys.exit("slurm test: must run as root (it starts munge, MariaDB and Slurm in namespaces of their own)")
    os.environ[INSIDE_NAMESPACE] = "1"
    script = os.path.join(ARGS.scripts, "one-node-slurm-namespace.sh")
    os.execvp("sh", ["sh", script, sys.executable, os.path.abspath(__file__)] + sys.argv[1:])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True, help="the repository: its README.md and scripts/")
    ARGS, rest = workflow_test.parse_arguments(parser)
    ARGS.source = os.path.abspath(ARGS.source)
    ARGS.scripts = os.path.join(ARGS.source, "scripts")
    ARGS.verbose = "-v" in rest
    if os.environ.get(INSIDE_NAMESPACE) != "1":
        run_in_own_namespaces()
    workflow_test.ARGS = ARGS
    unittest.main(argv=[sys.argv[0]] + rest)
