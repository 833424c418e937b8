#!/usr/bin/env python3
"""What a null of 1,000 simulated replicates at 9 frequencies adds to a corvane-loci run.

Usage: python3 bench/null_bench.py BUILD_DIR MS_FILE LENGTH CM_PER_MB [WORK_DIR]
       (e.g. neutral simulations of 500 kb regions on a uniform map of 1.2 cM/Mb; WORK_DIR defaults to
       /tmp/corvane-null-bench, never the repository)

Converts every replicate of MS_FILE (corvane-prepare --ms), scans each at 0.1, 0.2, ..., 0.9 and joins
the tables per frequency: the observed side. The null is those tables copied under the prefixes c1,
c2, ... (c1rep1, c2rep1, ...) until it holds 1,000 replicates, as one table per frequency, plain and
gzip. Then, taking turns, 5 runs each of corvane-loci on the observed tables alone, with the plain
null and with the gzip null, under /usr/bin/time; prints the medians of wall time and peak memory and
what the null adds.
"""
import os
import statistics
import subprocess
import sys

GRID = ["0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9"]
HEADER = "chr\tstartpos\tendpos\tgenetic_dist\tphysical_dist\tn.snp\n"
RUNS = 5


def scan_replicates(build, ms_file, length, rate, work):
    """Every replicate converted and scanned at each frequency of GRID, joined in WORK/observed.fF.tsv;
    returns the number of replicates."""
    panels = os.path.join(work, "panels")
    os.makedirs(panels, exist_ok=True)
    subprocess.run([os.path.join(build, "corvane-prepare"), "--ms", ms_file, "--length", length, "--cm-per-mb", rate,
                    "--out", os.path.join(panels, "sim")], check=True)
    count = sum(name.endswith(".legend") for name in os.listdir(panels))
    for frequency in GRID:
        with open(os.path.join(work, "observed.f%s.tsv" % frequency), "w") as joined:
            joined.write(HEADER)
            for k in range(1, count + 1):
                prefix = os.path.join(panels, "sim.%d" % k)
                scan = os.path.join(work, "scan.tsv")
                subprocess.run([os.path.join(build, "corvane"), "-hap", prefix + ".hapbits", "-legend",
                                prefix + ".legend", "-freq", frequency, "-out", scan], check=True)
                with open(scan) as table:
                    joined.writelines(table.readlines()[1:])
    return count


def make_tables(build, ms_file, length, rate, work):
    count = scan_replicates(build, ms_file, length, rate, work)
    copies = -(-1000 // count)
    for frequency in GRID:
        with open(os.path.join(work, "observed.f%s.tsv" % frequency)) as source:
            rows = source.readlines()[1:]
        path = os.path.join(work, "null1000.f%s.tsv" % frequency)
        with open(path, "w") as null:
            null.write(HEADER)
            for copy in range(1, copies + 1):
                for row in rows:
                    replicate = int(row.split("\t", 1)[0][len("rep"):])
                    if (copy - 1) * count + replicate <= 1000:
                        null.write("c%d%s" % (copy, row))
        subprocess.run(["gzip", "-kf", path], check=True)
    return count


def timed(command):
    done = subprocess.run(["/usr/bin/time", "-f", "%e %M"] + command, capture_output=True, text=True, check=True)
    wall, peak = done.stderr.strip().splitlines()[-1].split()
    return float(wall), int(peak) / 1024


def main():
    build = os.path.abspath(sys.argv[1])
    ms_file, length, rate = sys.argv[2], sys.argv[3], sys.argv[4]
    work = sys.argv[5] if len(sys.argv) > 5 else "/tmp/corvane-null-bench"
    os.makedirs(work, exist_ok=True)
    count = make_tables(build, ms_file, length, rate, work)
    loci = [os.path.join(build, "corvane-loci")]
    for frequency in GRID:
        loci += ["--freq", frequency, os.path.join(work, "observed.f%s.tsv" % frequency)]
    variants = {"observed alone": [], "with the null, plain": [], "with the null, gzip": []}
    null = {"with the null, plain": ".tsv", "with the null, gzip": ".tsv.gz"}
    for _ in range(RUNS):
        for name in variants:
            command = list(loci)
            if name in null:
                for frequency in GRID:
                    command += ["--null-freq", frequency, os.path.join(work, "null1000.f%s%s" % (frequency, null[name]))]
            variants[name].append(timed(command + ["-o", os.path.join(work, "loci.tsv")]))
    rows = sum(1 for frequency in GRID for _ in open(os.path.join(work, "null1000.f%s.tsv" % frequency))) - len(GRID)
    print("observed: %d replicates at %d frequencies; null: 1000 replicates, %d rows" % (count, len(GRID), rows))
    alone = statistics.median(wall for wall, _ in variants["observed alone"])
    for name, runs in variants.items():
        wall = statistics.median(w for w, _ in runs)
        peak = statistics.median(p for _, p in runs)
        added = "" if name == "observed alone" else ", adds %.2f s" % (wall - alone)
        print("%-22s median %.2f s [%.2f, %.2f], peak %.0f MiB%s" % (name, wall, min(w for w, _ in runs),
                                                                       max(w for w, _ in runs), peak, added))


if __name__ == "__main__":
    main()
