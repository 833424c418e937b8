#!/usr/bin/env python3
"""Benchmark of corvane against corvane-reference on generated panels.

Usage: python3 bench/run.py [BUILD_DIR] [WORK_DIR]   (defaults: build, /tmp/corvane-bench)
Set CORVANE_BENCH_SMALL_ONLY=1 to run the 600 x 25,000 panels alone, CORVANE_BENCH_ROAD_ONLY=1 to run
the VCF road alone, and CORVANE_BENCH_GENOME=1 to add the whole-genome-density road (5,008 x 2,000,000:
about 2 GB of BCF and 1.3 GB of bit panel under WORK_DIR, and several minutes to generate).

The VCF road: the panel written as phased VCF.gz and BCF through htslib (corvane-vcf-gen) and indexed
(bcftools index), then, on the same files, `bcftools view -Ou FILE -o /dev/null`, corvane-prepare to a
bit panel with 0, 1 and 2 threads, five populations from one pass against one population's --samples
pass, corvane's load of the bit panel alone and the whole scan from it, each figure with its ratio.

Generates the panels under WORK_DIR (never in the repository), then for each panel and frequency runs
corvane and corvane-reference side by side and a load-only pass of the genotype file, all under
/usr/bin/time -v, and prints one row per run. The reference is skipped on the chromosome-size panel,
where it would take hours.
"""
import filecmp
import os
import platform
import re
import subprocess
import sys
import time

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
WORK = sys.argv[2] if len(sys.argv) > 2 else "/tmp/corvane-bench"
FREQUENCIES = ["0.05", "0.2", "0.5"]
# name, haplotypes, SNPs, run the reference?, runs of each fast measurement (the shortest is kept),
# generator options beyond the shared ones. The panels with other codes are the 0/1 panel of the same
# size with 0.1% of its cells set to a missing code (9, -1) or to 256, or drawn over the codes 0 to 3.
OTHER_CODES = [("miss9", ["-other-code", "9", "-other-share", "0.001"]),
               ("miss-1", ["-other-code", "-1", "-other-share", "0.001"]),
               ("code256", ["-other-code", "256", "-other-share", "0.001"]),
               ("codes0-3", ["-codes", "4"])]
PANELS = [("panel-600x25k", 600, 25000, True, 5, [])]
PANELS += [(f"panel-600x25k-{name}", 600, 25000, True, 5, options) for name, options in OTHER_CODES]
PANELS += [("panel-5000x200k", 5000, 200000, False, 3, []),
           ("panel-5000x200k-miss9", 5000, 200000, False, 3, OTHER_CODES[0][1])]
if os.environ.get("CORVANE_BENCH_SMALL_ONLY"):
    PANELS = [panel for panel in PANELS if panel[1] == 600]


def tool(name):
    for folder in (BUILD, os.path.join(BUILD, "bench")):
        path = os.path.join(folder, name)
        if os.path.exists(path):
            return path
    sys.exit(f"bench: {name} not found in {BUILD}; build it first")


def timed(command, repeat=1, with_cpu=False):
    """Runs command `repeat` times under /usr/bin/time -v; returns (shortest wall seconds, peak RSS in
    MB, stdout), and with `with_cpu` the least processor seconds (user + system) of a run too. The
    machine is shared, so the shortest of a few runs is the steadiest figure."""
    log = os.path.join(WORK, "time.log")
    best, rss, stdout, cpu = None, 0.0, "", None
    for _ in range(repeat):
        start = time.perf_counter()
        result = subprocess.run(["/usr/bin/time", "-v", "-o", log] + command, capture_output=True, text=True)
        wall = time.perf_counter() - start
        if result.returncode != 0:
            sys.exit(f"bench: {' '.join(command)} failed ({result.returncode}): {result.stderr.strip()}")
        text = open(log).read()
        rss = max(rss, int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", text).group(1)) / 1024)
        best = wall if best is None else min(best, wall)
        stdout = result.stdout
        seconds = sum(float(re.search(rf"{kind} time \(seconds\): ([0-9.]+)", text).group(1)) for kind in ("User", "System"))
        cpu = seconds if cpu is None else min(cpu, seconds)
    return (best, rss, stdout, cpu) if with_cpu else (best, rss, stdout)


def machine():
    model = cores = ""
    for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
        if line.startswith("Model name:"):
            model = line.split(":", 1)[1].strip()
        if line.startswith("CPU(s):"):
            cores = line.split(":", 1)[1].strip()
    memory = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") / 2**30
    return f"{model}, {cores} cores, {memory:.0f} GiB memory, {platform.system()} {platform.release()}"


def generate_road_files(name, haplotypes, snps, kinds):
    """The panel (a bit panel: the text of a whole-genome panel would not fit on a laptop disk), its
    legend, and the panel as phased VCF.gz and/or BCF (`kinds`). Made once, kept under WORK."""
    base = os.path.join(WORK, name)
    if not all(os.path.exists(base + suffix) for suffix in [".road.bits", ".road.legend"] + ["." + k for k in kinds]):
        subprocess.run([tool("corvane-panel-gen"), "-haplotypes", str(haplotypes), "-snps", str(snps), "-seed", "2024",
                        "-sweep", "0.3", "-sweep-length", "0.05", "-out-bits", base + ".road.bits",
                        "-out-legend", base + ".road.legend"], check=True)
        subprocess.run([tool("corvane-vcf-gen"), base + ".road.bits", base + ".road.legend",
                        base + ".vcf.gz" if "vcf.gz" in kinds else "-", base + ".bcf" if "bcf" in kinds else "-", "1"],
                       check=True)
    return base


def index_road_files(base, kinds):
    """The index beside each VCF kind (.tbi for the VCF.gz, .csi for the BCF), made once, so that
    --threads reads the chromosome in ranges."""
    for kind in kinds:
        source = f"{base}.{kind}"
        index = source + (".tbi" if kind == "vcf.gz" else ".csi")
        if not os.path.exists(index) or os.path.getmtime(index) < os.path.getmtime(source):
            subprocess.run(["bcftools", "index", "-f"] + (["-t"] if kind == "vcf.gz" else []) + [source], check=True)


def population_files(base, samples, populations=5):
    """A population file putting sample i (s1, s2, ... as corvane-vcf-gen names them) into population
    P(i mod 5), the samples of a population spread over the file as in real panels, and the sample
    list of the first population, for the --samples run it is set against."""
    path, first = base + ".pops.txt", base + ".pop0.txt"
    with open(path, "w") as pops, open(first, "w") as listed:
        pops.write("sample\tpopulation\n")
        for i in range(1, samples + 1):
            pops.write(f"s{i}\tP{i % populations}\n")
            if i % populations == 0:
                listed.write(f"s{i}\n")
    return path, first


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def vcf_road(name, haplotypes, snps, repeat, kinds=("vcf.gz", "bcf"), threads=("0", "1", "2")):
    """Times the road from VCF.gz and BCF to scan rows on the same files: bcftools view -Ou, the
    conversion with each thread count (the files indexed, so threads read ranges side by side), five
    populations from one pass against one population's --samples pass, the load and the scan. The
    runs of all steps take turns `repeat` times; each figure is the median of its runs, the peak RSS
    the largest seen."""
    base = generate_road_files(name, haplotypes, snps, kinds)
    index_road_files(base, kinds)
    pops, first_population = population_files(base, haplotypes // 2)
    out = os.path.join(WORK, name + ".road")
    runs = {}

    def keep(step, command):
        wall, rss, _, cpu = timed(command, with_cpu=True)
        walls, rsses, cpus = runs.setdefault(step, ([], [], []))
        walls.append(wall), rsses.append(rss), cpus.append(cpu)

    def prepare(kind, tail, extra):
        return [tool("corvane-prepare"), "--vcf", f"{base}.{kind}", "--chr", "20", "--cm-tag", "CM", "--out",
                f"{out}-{kind}{tail}"] + extra

    for _ in range(repeat):
        for kind in kinds:
            source = f"{base}.{kind}"
            keep(f"bcftools view -Ou {kind}", ["bcftools", "view", "-Ou", source, "-o", "/dev/null"])
            for count in threads:
                keep(f"prepare {kind} -> bits, --threads {count}", prepare(kind, f"-t{count}", ["--threads", count]))
            for count in ("0", "2"):
                keep(f"prepare {kind}, 5 populations, --threads {count}",
                     prepare(kind, f"-pops-t{count}", ["--populations", pops, "--threads", count]))
                keep(f"prepare {kind}, 1 population (--samples), --threads {count}",
                     prepare(kind, f"-pop0-t{count}", ["--samples", first_population, "--threads", count]))
        keep("load of the bit panel", [tool("corvane-load-bench"), f"{out}-bcf-t0.hapbits"])
        keep("scan from the bit panel, freq 0.2",
             [tool("corvane"), "-hap", f"{out}-bcf-t0.hapbits", "-legend", f"{out}-bcf-t0.legend", "-freq", "0.2",
              "-out", f"{out}.scan.tsv"])
    steps = {step: (median(w), max(r), median(c)) for step, (w, r, c) in runs.items()}
    # The road must give what the generated panel gives, every thread count the files of one pass, and
    # each population's panel what its sample list gives. (The generator writes the cM of the VCF.gz
    # rounded to %g, those of the BCF as floats: the legends of the two kinds differ in the last digits.)
    for kind in kinds:
        for count in threads:
            for suffix in (".hapbits", ".legend", ".samples"):
                if not filecmp.cmp(f"{out}-{kind}-t{count}{suffix}", f"{out}-{kind}-t0{suffix}", shallow=False):
                    sys.exit(f"bench: {suffix} from {kind} with --threads {count} differs from one pass")
        if not filecmp.cmp(f"{out}-{kind}-t0.hapbits", base + ".road.bits", shallow=False):
            sys.exit(f"bench: the bit panel converted from {kind} differs from the generated panel")
        for count in ("0", "2"):
            for suffix in (".hapbits", ".legend", ".samples"):
                if not filecmp.cmp(f"{out}-{kind}-pops-t{count}.P0{suffix}", f"{out}-{kind}-pop0-t{count}{suffix}",
                                   shallow=False):
                    sys.exit(f"bench: population P0's {suffix} from {kind} differs from its --samples run")
    table_mb = haplotypes * ((snps + 63) // 64 + 1) * 8 / 2**20  # MiB, as RSS is counted
    sizes = {kind: os.path.getsize(f"{base}.{kind}") / 1e6 if kind in kinds else 0 for kind in ("vcf.gz", "bcf")}
    bits_mb = os.path.getsize(f"{out}-{kinds[0]}-t0.hapbits") / 1e6
    rows = sum(1 for _ in open(f"{out}.scan.tsv")) - 1
    print(f"\nVCF road, {name}: {haplotypes} haplotypes x {snps} SNPs; VCF.gz {sizes['vcf.gz']:.0f} MB, BCF "
          f"{sizes['bcf']:.0f} MB (each with its index), bit panel {bits_mb:.0f} MB (in memory with the zero word "
          f"per row: {table_mb:.0f} MiB), {rows} rows at 0.2; {repeat} interleaved runs of each step")
    print("wall s and processor s (user + system): the medians of the runs; RSS and table in MiB")
    print("| step | wall s | processor s | peak RSS MB | ratio |")
    print("|---|---|---|---|---|")
    for step, (wall, rss, cpu) in steps.items():
        ratio = "-"
        for kind in ("vcf.gz", "bcf"):
            if step.startswith(f"prepare {kind} -> bits, --threads"):
                count = int(step.rsplit(" ", 1)[1])
                ratio = (f"{wall / steps[f'bcftools view -Ou {kind}'][0]:.2f} x bcftools view -Ou, "
                         f"{wall / steps[f'prepare {kind} -> bits, --threads 0'][0]:.2f} x --threads 0, "
                         f"RSS - table: {rss - table_mb:.0f} MB ({(rss - table_mb) / max(count, 1):.0f} per thread)")
            if step.startswith(f"prepare {kind}, 5 populations"):
                count = step.rsplit(" ", 1)[1]
                alone = steps[f"prepare {kind}, 1 population (--samples), --threads {count}"][0]
                ratio = f"{wall / alone:.2f} x one --samples pass, RSS - 5 tables: {rss - table_mb:.0f} MB"
        if step == "load of the bit panel":
            ratio = f"RSS - table: {rss - table_mb:.0f} MB"
        print(f"| {step} | {wall:.2f} | {cpu:.2f} | {rss:.0f} | {ratio} |", flush=True)
    best_prepare = min(steps[f"prepare bcf -> bits, --threads {t}"][0] for t in threads)
    scan = steps["scan from the bit panel, freq 0.2"][0]
    print(f"BCF -> result rows (best prepare + scan): {best_prepare + scan:.2f} s")


def main():
    os.makedirs(WORK, exist_ok=True)
    print(f"machine: {machine()}")
    if os.environ.get("CORVANE_BENCH_ROAD_ONLY"):
        vcf_road("panel-5000x200k", 5000, 200000, int(os.environ.get("CORVANE_BENCH_ROAD_RUNS", "3")))
        if os.environ.get("CORVANE_BENCH_GENOME"):
            vcf_road("panel-5008x2m", 5008, 2000000, 1, ("bcf",), ("0", "2"))
        return
    print("times are wall clock seconds (fast path: shortest of several runs); scan = total - load-only;"
          " RSS = peak resident memory")
    header = ("panel", "H", "S", "MB", "freq", "ref s", "fast s", "ratio", "ref load", "fast load",
              "ref scan", "fast scan", "scan ratio", "parse MB/s", "ref RSS MB", "fast RSS MB", "rows")
    search_notes = []
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for name, haplotypes, snps, with_reference, repeat, options in PANELS:
        genotypes = os.path.join(WORK, name + ".hap")
        legend = os.path.join(WORK, name + ".legend")
        if not os.path.exists(genotypes) or not os.path.exists(legend):
            subprocess.run([tool("corvane-panel-gen"), "-haplotypes", str(haplotypes), "-snps", str(snps),
                            "-seed", "2024", "-sweep", "0.3", "-sweep-length", "0.05",
                            "-out-hap", genotypes, "-out-legend", legend] + options, check=True)
        megabytes = os.path.getsize(genotypes) / 1e6
        # The fast runs and the load-only runs take turns, so a busy moment of the shared machine
        # does not fall on one of them alone; the shortest of each is kept.
        best = {}
        for _ in range(repeat):
            # Load-only times are whole process runs, like the scans they are set against.
            wall, rss, _ = timed([tool("corvane-load-bench"), genotypes])
            best["load"] = min(best.get("load", (wall, rss)), (wall, rss))
            for frequency in FREQUENCIES:
                wall, rss, _ = timed([tool("corvane"), "-hap", genotypes, "-legend", legend, "-freq", frequency,
                                      "-out", os.path.join(WORK, f"{name}-{frequency}.fast.tsv")])
                best[frequency] = (min(best.get(frequency, (wall, rss))[0], wall), max(best.get(frequency, (0, 0))[1], rss))
        fast_load = best["load"][0]
        reference_load = None
        if with_reference:
            reference_load, _, _ = timed([tool("corvane-load-bench"), "-reference", genotypes])
        for frequency in FREQUENCIES:
            fast_out = os.path.join(WORK, f"{name}-{frequency}.fast.tsv")
            fast_wall, fast_rss = best[frequency]
            rows = sum(1 for _ in open(fast_out)) - 1
            cells = [name, str(haplotypes), str(snps), f"{megabytes:.0f}", frequency]
            fast_scan = fast_wall - fast_load
            if with_reference:
                reference_out = os.path.join(WORK, f"{name}-{frequency}.reference.tsv")
                reference_wall, reference_rss, _ = timed([tool("corvane-reference"), "-hap", genotypes, "-legend",
                                                          legend, "-freq", frequency, "-out", reference_out])
                if open(reference_out, "rb").read() != open(fast_out, "rb").read():
                    sys.exit(f"bench: outputs differ for {name} at {frequency}")
                reference_scan = reference_wall - reference_load
                cells += [f"{reference_wall:.2f}", f"{fast_wall:.3f}", f"{reference_wall / fast_wall:.0f}x",
                          f"{reference_load:.3f}", f"{fast_load:.3f}", f"{reference_scan:.2f}", f"{fast_scan:.3f}",
                          f"{reference_scan / max(fast_scan, 0.001):.0f}x"]
            else:
                cells += ["skipped", f"{fast_wall:.2f}", f"total/load {fast_wall / fast_load:.2f}", "-",
                          f"{fast_load:.2f}", "-", f"{fast_scan:.2f}", "-"]
            cells += [f"{megabytes / fast_load:.0f}", f"{reference_rss:.0f}" if with_reference else "-",
                      f"{fast_rss:.0f}", str(rows)]
            print("| " + " | ".join(cells) + " |", flush=True)
        searches = subprocess.run([tool("corvane-scan-bench"), genotypes] + FREQUENCIES, capture_output=True, text=True,
                                  check=True).stdout
        search_notes.append(f"{name}: " + "; ".join(searches.strip().splitlines()))
    print("reference skipped on the 5000 x 200,000 panels: the plain path would take hours there")
    print("search alone (corvane-scan-bench, processor seconds, shortest of 3; prepare = per-table setup):")
    for note in search_notes:
        print("  " + note)
    if not os.environ.get("CORVANE_BENCH_SMALL_ONLY"):
        vcf_road("panel-5000x200k", 5000, 200000, 3)
        if os.environ.get("CORVANE_BENCH_GENOME"):
            vcf_road("panel-5008x2m", 5008, 2000000, 1, ("bcf",), ("0", "2"))


if __name__ == "__main__":
    main()
