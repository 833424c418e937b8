#!/usr/bin/env python3
"""Time and peak memory of each corvane-plot figure, on the shipped example and on a genome table of
2,000,000 rows.

Usage: python3 bench/plot_bench.py [BUILD_DIR] [WORK_DIR]   (defaults: build, /tmp/corvane-plot-bench)

Makes under WORK_DIR (never in the repository): the example's bit panel (corvane-prepare), its scan at
0.2 (corvane) and loci with carriers (corvane-loci); a genome table of generated rows over the lengths
of the 22 autosomes of GRCh37, laid out as the scan writes them (each interval's focal SNP two SNPs
past the previous interval's end, the interval growing up to 3 SNPs to its left and 1 to 8 to its
right, SNPs about 1.2 kb apart, 0.2 to 2 cM/Mb), its loci (corvane-loci) and a legend of 2,000,000 SNPs
over the same genome for the rate track; and the same genome table cut to 250,000, 500,000 and
1,000,000 rows. Each figure runs three times under /usr/bin/time -v; a row gives the median wall time
and the largest peak resident memory. The last lines fit the peak memory of the two figures the
workflow draws (a chromosome's panel, the genome layout with loci) to MB = a + b x rows.
"""
import os
import random
import re
import statistics
import subprocess
import sys

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
WORK = sys.argv[2] if len(sys.argv) > 2 else "/tmp/corvane-plot-bench"
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLES = os.path.join(SOURCE, "examples")
AUTOSOMES_MB = [249, 243, 198, 191, 181, 171, 159, 146, 141, 136, 135, 134, 115, 107, 103, 90, 81, 78, 59, 63,
                48, 51]
HEADER = "chr\tstartpos\tendpos\tgenetic_dist\tphysical_dist\tn.snp\n"
RUNS = 3


def tool(name):
    path = os.path.join(BUILD, name)
    if not os.path.exists(path):
        sys.exit("plot bench: %s not found in %s; build it first" % (name, BUILD))
    return path


def work(name):
    return os.path.join(WORK, name)


def run(command):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit("plot bench: %s failed: %s" % (" ".join(command), done.stderr))
    return done


def timed(command):
    """(median wall seconds, largest peak RSS in MB) of RUNS runs under /usr/bin/time -v."""
    walls, peaks = [], []
    log = work("time.log")
    for _ in range(RUNS):
        run(["/usr/bin/time", "-v", "-o", log] + command)
        with open(log) as stream:
            text = stream.read()
        clock = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (?:(\d+):)?(\d+):([\d.]+)", text)
        walls.append(int(clock.group(1) or 0) * 3600 + int(clock.group(2)) * 60 + float(clock.group(3)))
        peaks.append(int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", text).group(1)) / 1024)
    return statistics.median(walls), max(peaks)


def genome_rows(count, lengths=AUTOSOMES_MB, seed=2024):
    """Scan-like rows, chromosome by chromosome (lengths in Mb), count in all."""
    generator = random.Random(seed)
    total = sum(lengths)
    lines = []
    for number, length in enumerate(lengths, start=1):
        rows = count * length // total if number < len(lengths) else count - len(lines)
        step = length * 1e6 / (rows * 6.5)
        focal = 10000.0
        for _ in range(rows):
            left, right = generator.randint(0, 3), generator.randint(1, 8)
            start, end = max(int(focal - left * step), 1), int(focal + right * step)
            genetic = (end - start) / 1e6 * generator.uniform(0.2, 2.0)
            lines.append("%d\t%d\t%d\t%g\t%d\t%d\n" % (number, start, end, genetic, end - start, left + right + 1))
            focal = end + 2 * step
    return lines


def write_genome_legend(path, snps, seed=7):
    """One row per SNP over the same genome: 1 cM/Mb on average, hotspots of 20 to 50 cM/Mb."""
    generator = random.Random(seed)
    total = sum(AUTOSOMES_MB)
    with open(path, "w") as stream:
        stream.write("chr\tid\tcM\tbp\n")
        for number, length in enumerate(AUTOSOMES_MB, start=1):
            count = snps * length // total
            step = length * 1e6 / count
            genetic = 0.0
            for k in range(count):
                genetic += step / 1e6 * (generator.uniform(20, 50) if generator.random() < 0.01 else 0.6)
                stream.write("%d\tsnp%d_%d\t%.6f\t%d\n" % (number, number, k, genetic, int(10000 + k * step)))


def prepare_example():
    prefix = work("chr21")
    if not os.path.exists(prefix + ".hapbits"):
        run([tool("corvane-prepare"), "--vcf", os.path.join(EXAMPLES, "chr21.phased.vcf.gz"), "--chr", "21",
             "--map", os.path.join(EXAMPLES, "chr21.b37.gmap.gz"), "--out", prefix])
    run([tool("corvane"), "-hap", prefix + ".hapbits", "-legend", prefix + ".legend", "-freq", "0.2",
         "-out", prefix + ".scan.tsv"])
    run([tool("corvane-loci"), prefix + ".scan.tsv", "--hap", prefix + ".hapbits", "--legend", prefix + ".legend",
         "--samples", prefix + ".samples", "-o", prefix + ".loci.tsv"])
    return prefix


def prepare_genome(rows, name="genome", lengths=AUTOSOMES_MB):
    table = work("%s-%d.scan.tsv" % (name, rows))
    if not os.path.exists(table):
        lines = genome_rows(rows, lengths)
        with open(table, "w") as stream:
            stream.write(HEADER)
            stream.writelines(lines)
    loci = work("%s-%d.loci.tsv" % (name, rows))
    if not os.path.exists(loci):
        run([tool("corvane-loci"), table, "-o", loci])
    return table, loci


def main():
    os.makedirs(WORK, exist_ok=True)
    plot = tool("corvane-plot")
    prefix = prepare_example()
    legend = work("genome.legend")
    if not os.path.exists(legend):
        write_genome_legend(legend, 2000000)
    tables = {rows: prepare_genome(rows) for rows in (250000, 500000, 1000000, 2000000)}
    scan, loci = prefix + ".scan.tsv", prefix + ".loci.tsv"
    figures = [
        ("example: scan, panel", 102, [scan, "-o", work("ex.scan.png")]),
        ("example: loci, panel", 102, [scan, "--loci", loci, "--freq", "0.2", "-o", work("ex.loci.png")]),
        ("example: loci and rate track, PDF", 102, [scan, "--loci", loci, "--legend", prefix + ".legend", "--freq",
                                                    "0.2", "-o", work("ex.loci.pdf")]),
        ("example: genome layout with loci", 102, [scan, "--loci", loci, "--layout", "genome", "-o",
                                                   work("ex.genome.png")]),
        ("example: haplotypes of 21:11", 758, ["--haplotypes", "21:11", "--loci", loci, "--hap", prefix + ".hapbits",
                                               "--legend", prefix + ".legend", "--samples", prefix + ".samples",
                                               "--freq", "0.2", "-o", work("ex.21-11.png")]),
    ]
    big_table, big_loci = tables[2000000]
    figures += [
        ("2M rows: 22 panels", 2000000, [big_table, "-o", work("g.panels.png")]),
        ("2M rows: genome layout", 2000000, [big_table, "--layout", "genome", "-o", work("g.genome.png")]),
        ("2M rows: genome layout with loci", 2000000, [big_table, "--loci", big_loci, "--layout", "genome", "-o",
                                                       work("g.loci.png")]),
        ("2M rows: genome layout with loci, PDF", 2000000, [big_table, "--loci", big_loci, "--layout", "genome",
                                                            "-o", work("g.loci.pdf")]),
        ("2M rows: genome layout with loci, SVG", 2000000, [big_table, "--loci", big_loci, "--layout", "genome",
                                                            "-o", work("g.loci.svg")]),
        ("2M rows: genome layout, loci, 2M-SNP rate track", 2000000, [big_table, "--loci", big_loci, "--legend",
                                                                      legend, "--layout", "genome", "-o",
                                                                      work("g.rate.png")]),
    ]
    print("| figure | rows | wall s (median of %d) | peak RSS MB |" % RUNS)
    print("|---|---|---|---|")
    for name, rows, arguments in figures:
        wall, peak = timed([plot] + arguments)
        print("| %s | %s | %.2f | %.0f |" % (name, format(rows, ","), wall, peak))
    fits = {"genome layout with loci": [], "one chromosome's panel": []}
    for rows, (table, loci_table) in sorted(tables.items()):
        _, peak = timed([plot, table, "--loci", loci_table, "--layout", "genome", "-o", work("fit.png")])
        fits["genome layout with loci"].append((rows, peak))
    # A chromosome's own panel, as the workflow draws each: all rows on one chromosome.
    for rows in (250000, 500000, 1000000, 2000000):
        table, _ = prepare_genome(rows, "one-chromosome", AUTOSOMES_MB[:1])
        _, peak = timed([plot, table, "-o", work("fit.png"), "--title", "one chromosome"])
        fits["one chromosome's panel"].append((rows, peak))
    for name, points in fits.items():
        mean_rows = statistics.mean(rows for rows, _ in points)
        mean_peak = statistics.mean(peak for _, peak in points)
        slope = sum((rows - mean_rows) * (peak - mean_peak) for rows, peak in points) / \
            sum((rows - mean_rows) ** 2 for rows, _ in points)
        print("fit, %s: %s -> MB = %.0f + %.6f x rows (%.0f bytes per row)"
              % (name, ", ".join("%d rows %.0f MB" % point for point in points), mean_peak - slope * mean_rows, slope,
                 slope * 1e6))


if __name__ == "__main__":
    main()
