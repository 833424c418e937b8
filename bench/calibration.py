#!/usr/bin/env python3
"""Calibration and power of corvane-loci's p-values on simulations, through the shipped tools.

Usage: python3 bench/calibration.py BUILD_DIR SIM_DIR [WORK_DIR [SPLITS]]
       (SIM_DIR holds neutral.ms.gz, hard.ms.gz, partial80.ms.gz, soft05.ms.gz and old1000.ms.gz: 500 kb
       regions of 200 haplotypes on a uniform map of 1.2 cM/Mb, the selected site in the middle;
       WORK_DIR defaults to /tmp/corvane-calibration, never the repository; SPLITS defaults to 1)

Every replicate is converted (corvane-prepare --ms) and scanned at 0.1, 0.2, ..., 0.9 (corvane), the
tables joined per set and frequency. The neutral replicates are split: the null (replicates 1-100)
and the held-out ones (101-200), then SPLITS - 1 random 100/100 splits (seed 22). corvane-loci --freq
(the held-out replicates, and each sweep set) --null-freq (the null) with the grid and with each
frequency alone. Calibration: the share of held-out loci with p_value <= 0.05 and <= 0.01. Power at a
1 % false-positive rate: per region the largest statistic among the loci reaching into bp 200,000 to
300,000, against the threshold the held-out regions give (randomized at ties).
"""
import math
import os
import random
import subprocess
import sys

from null_bench import GRID, HEADER, scan_replicates

SETS = ["neutral", "hard", "partial80", "soft05", "old1000"]
SWEEPS = SETS[1:]


def replicate_of(line):
    return int(line.split("\t", 1)[0][3:])


def split_neutral(work, null_replicates, tag):
    """The neutral tables cut into WORK/tag/null and WORK/tag/held, per frequency."""
    folders = {}
    for part in ("null", "held"):
        folders[part] = os.path.join(work, tag, part)
        os.makedirs(folders[part], exist_ok=True)
    for frequency in GRID:
        with open(os.path.join(work, "neutral", "observed.f%s.tsv" % frequency)) as source:
            source.readline()
            outputs = {part: open(os.path.join(folder, "observed.f%s.tsv" % frequency), "w")
                       for part, folder in folders.items()}
            for out in outputs.values():
                out.write(HEADER)
            for line in source:
                outputs["null" if replicate_of(line) in null_replicates else "held"].write(line)
            for out in outputs.values():
                out.close()
    return folders


def loci_of(build, observed, null, frequencies, out):
    command = [os.path.join(build, "corvane-loci")]
    for frequency in frequencies:
        command += ["--freq", frequency, os.path.join(observed, "observed.f%s.tsv" % frequency)]
    for frequency in frequencies:
        command += ["--null-freq", frequency, os.path.join(null, "observed.f%s.tsv" % frequency)]
    subprocess.run(command + ["-o", out], check=True)
    with open(out) as table:
        column = {name: k for k, name in enumerate(table.readline().rstrip("\n").split("\t"))}
        return [line.rstrip("\n").split("\t") for line in table], column


def site_statistics(rows, column):
    """Per replicate, the largest statistic among the loci reaching into the middle 100 kb."""
    best = {}
    for row in rows:
        if int(row[column["start"]]) <= 300000 and int(row[column["end"]]) >= 200000:
            chr = row[column["chr"]]
            best[chr] = max(best.get(chr, -math.inf), float(row[column["statistic"]]))
    return best


def power_at(values, neutral_values, rate):
    """The share of `values` beyond the threshold that `neutral_values` give at `rate`, randomized at ties."""
    ordered = sorted(neutral_values, reverse=True)
    threshold = ordered[int(math.floor(rate * len(ordered) + 1e-9))]
    above = sum(x > threshold for x in neutral_values)
    tied = sum(x == threshold for x in neutral_values)
    weight = min(1.0, max(0.0, (rate * len(neutral_values) - above) / tied)) if tied else 0.0
    return (sum(x > threshold for x in values) + weight * sum(x == threshold for x in values)) / len(values)


def evaluate(build, work, folders, frequencies, tag):
    held, column = loci_of(build, folders["held"], folders["null"], frequencies, os.path.join(work, tag, "held.loci.tsv"))
    p = [float(row[column["p_value"]]) for row in held]
    neutral = list(site_statistics(held, column).values())
    power = {}
    for sweep in SWEEPS:
        rows, column = loci_of(build, os.path.join(work, sweep), folders["null"], frequencies,
                               os.path.join(work, tag, sweep + ".loci.tsv"))
        sites = site_statistics(rows, column)
        count = sum(name.endswith(".legend") for name in os.listdir(os.path.join(work, sweep, "panels")))
        power[sweep] = power_at([sites.get("rep%d" % k, -math.inf) for k in range(1, count + 1)], neutral, 0.01)
    return {"p": p, "p05": sum(x <= 0.05 for x in p) / len(p), "p01": sum(x <= 0.01 for x in p) / len(p),
            "power": power}


def row_text(name, loci, result):
    return (f"| {name} | {loci} | {result['p05']:.3f} | {result['p01']:.3f} | " +
            " | ".join(f"{result['power'][s]:.2f}" for s in SWEEPS) + " |")


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    build, sim = sys.argv[1], sys.argv[2]
    work = sys.argv[3] if len(sys.argv) > 3 else "/tmp/corvane-calibration"
    splits = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    for name in SETS:
        scan_replicates(build, os.path.join(sim, name + ".ms.gz"), "500000", "1.2", os.path.join(work, name))
    replicates = list(range(1, 201))
    null_sets = [set(range(1, 101))]
    shuffle = random.Random(22)
    for _ in range(splits - 1):
        shuffle.shuffle(replicates)
        null_sets.append(set(replicates[:100]))
    print("| frequencies | held-out loci | p <= 0.05 | p <= 0.01 | " + " | ".join(SWEEPS) + " |")
    print("|---|---|---|---|" + "---|" * len(SWEEPS))
    fixed = split_neutral(work, null_sets[0], "split0")
    grid = evaluate(build, work, fixed, GRID, "split0")
    print(row_text("0.1 to 0.9, null 1-100, held out 101-200", len(grid["p"]), grid))
    with open(os.path.join(work, "held_p_values.txt"), "w") as out:
        out.write("".join("%.6g\n" % x for x in grid["p"]))
    others = [evaluate(build, work, split_neutral(work, null, "split%d" % k), GRID, "split%d" % k)
              for k, null in enumerate(null_sets[1:], start=1)]
    if others:
        every = [grid] + others
        mean = {key: sum(x[key] for x in every) / len(every) for key in ("p05", "p01")}
        mean["power"] = {s: sum(x["power"][s] for x in every) / len(every) for s in SWEEPS}
        print(row_text(f"0.1 to 0.9, mean of {len(every)} splits", "", mean))
        print(f"| ... splits with p <= 0.05 in 0.03-0.07 / p <= 0.01 at most 0.02 | | "
              f"{sum(0.03 <= x['p05'] <= 0.07 for x in every)} of {len(every)} | "
              f"{sum(x['p01'] <= 0.02 for x in every)} of {len(every)} |" + " |" * len(SWEEPS))
    for frequency in GRID:
        alone = evaluate(build, work, fixed, [frequency], "split0")
        print(row_text(f"{frequency} alone, null 1-100", len(alone["p"]), alone))


if __name__ == "__main__":
    main()
