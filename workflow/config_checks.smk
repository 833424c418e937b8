# Checks every value of the workflow's config before any job starts and hands the Snakefile its settings.
#
# Every fault found is reported, one line each, naming the key and what it takes, and the run ends
# there (a dry run too). Values reach the tools as separate arguments through no shell, so a check
# here is about what the tools and the file system will accept, never about quoting. A new key is
# one entry in KNOWN_KEYS and one check in checked_settings.
import os
import re
import gzip
import shlex
import shutil
import struct
import types

from snakemake.exceptions import WorkflowError

KNOWN_KEYS = ("vcf", "map_dir", "map_pattern", "cm_tag", "samples", "populations", "freq", "freqs", "null", "out_dir",
              "figure_format", "tools", "prepare_options", "plot_options", "loci_options", "prepare_threads",
              "resources")
# The frequencies scanned without freq or freqs in the config: a grid whose sum of evidence finds
# hard, incomplete, soft and old sweeps alike.
DEFAULT_FREQS = (0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9)
NULL_KEYS = ("ms", "vcf", "length", "cm_per_mb", "map", "map_chr")
TOOL_DEFAULTS = {"prepare": "corvane-prepare", "corvane": "corvane", "plot": "corvane-plot", "loci": "corvane-loci"}
FIGURE_FORMATS = ("png", "svg")
RESOURCE_STEPS = ("prepare", "scan", "plot", "loci", "carriers", "null_prepare", "null_scan")
RESOURCE_NAMES = ("mem_mb", "runtime")

# Chromosome names become folder and file names under out_dir, so none may climb out of it or hide.
CHROMOSOME_NAME = re.compile(r"[A-Za-z0-9][A-Za-z0-9._-]*")
# What corvane-prepare takes as the POP of PREFIX.POP.hapbits; the workflow's folders and wildcards
# take it too.
POPULATION_NAME = re.compile(r"[A-Za-z0-9_-][A-Za-z0-9._-]*")
# Folders of out_dir that a population's folder must not be.
RESERVED_FOLDERS = ("logs", "null")
DEFAULT_PREPARE_THREADS = 2
INFO_TAG = re.compile(r"[A-Za-z_][A-Za-z0-9_.]*")
DECIMAL_NUMBER = re.compile(r"[0-9]*\.?[0-9]+(?:[eE][-+]?[0-9]+)?")
# Written in an options string, these only make sense to a shell; the tools would take them for
# file names or values, found only once the step runs.
SHELL_SYNTAX = re.compile(r"[;|&<>`\n]|\$\(")

# Options the workflow gives each tool itself; the same option in an options string would clash
# with it. corvane-plot reads its options with Python's argparse, which also takes any unambiguous
# abbreviation of a long option.
OPTIONS_KEYS = {
    "prepare_options": ("corvane-prepare", ("--vcf", "--chr", "--map", "--cm-tag", "--samples", "--populations", "--out",
                                            "--threads"), False),
    "plot_options": ("corvane-plot", ("-o", "--output", "--loci", "--layout", "--title"), True),
    "loci_options": ("corvane-loci", ("-o", "--output", "--hap", "--legend", "--samples", "--carriers", "--bed", "--freq",
                                      "--null-freq"), False),
}


def without_chr_prefix(name):
    """The name as the tools compare chromosomes: "chr21", "CHR21" and "21" are one chromosome."""
    return name[3:] if len(name) > 3 and name[:3].lower() == "chr" else name


def shown(value):
    """A config value as the user wrote it, for a message."""
    return '"%s"' % value if isinstance(value, str) else repr(value)


def checked_text(config, key, faults, default=""):
    value = config.get(key)
    if value is None:
        return default
    if not isinstance(value, str):
        faults.append("%s: expected text, got %s" % (key, shown(value)))
        return default
    return value


def checked_file(key, path, faults, what="file"):
    if not os.path.exists(path):
        faults.append("%s: %s: no such %s" % (key, path, what))
    elif not os.path.isfile(path):
        faults.append("%s: %s is not a file" % (key, path))


def checked_chromosomes(config, faults):
    """Chromosome name -> its VCF/BCF, in config order."""
    listed = config.get("vcf")
    if not isinstance(listed, dict) or not listed:
        faults.append("vcf: expected a mapping of chromosome name -> phased VCF/BCF, with at least one chromosome")
        return {}
    chromosomes = {}
    spelled = {}
    for name, path in listed.items():
        if isinstance(name, bool) or not isinstance(name, (str, int)):
            faults.append("vcf: chromosome name %s is not text; quote it" % shown(name))
            continue
        name = str(name)
        if not CHROMOSOME_NAME.fullmatch(name):
            faults.append("vcf: chromosome name \"%s\" must start with a letter or digit and hold only letters, "
                          "digits, '.', '_' and '-'" % name)
            continue
        if name in chromosomes:
            faults.append("vcf: chromosome %s is listed twice (once as a number, once as text); list it once" % name)
            continue
        same = spelled.setdefault(without_chr_prefix(name), name)
        if same != name:
            faults.append("vcf: \"%s\" and \"%s\" name one chromosome (the tools read chrN and N alike); "
                          "list it once" % (same, name))
            continue
        if not isinstance(path, str) or not path:
            faults.append("vcf: %s: expected the path of its VCF/BCF, got %s" % (name, shown(path)))
            continue
        checked_file("vcf: %s" % name, path, faults)
        chromosomes[name] = path
    return chromosomes


def checked_maps(config, chromosomes, cm_tag, faults):
    """Chromosome -> its genetic map; empty when cM come from an INFO tag."""
    map_dir = checked_text(config, "map_dir", faults)
    map_pattern = checked_text(config, "map_pattern", faults)
    if cm_tag:
        if not INFO_TAG.fullmatch(cm_tag):
            faults.append("cm_tag: \"%s\" is not an INFO tag name (letters, digits, '_' and '.', not starting "
                          "with a digit)" % cm_tag)
        return {}
    if not map_dir or not map_pattern:
        faults.append("map_dir, map_pattern: give both (or cm_tag): each chromosome's map is map_dir/map_pattern "
                      "with {chr} replaced by its name")
        return {}
    if "{chr}" not in map_pattern:
        faults.append("map_pattern: must hold {chr}, e.g. chr{chr}.b37.gmap.gz")
        return {}
    if not os.path.isdir(map_dir):
        faults.append("map_dir: %s: no such folder" % map_dir)
        return {}
    maps = {chrom: os.path.join(map_dir, map_pattern.replace("{chr}", chrom)) for chrom in chromosomes}
    for chrom, path in maps.items():
        checked_file("map_dir, map_pattern: the map of chromosome %s" % chrom, path, faults)
    return maps


def frequency_text(value, key, faults):
    """A frequency as the text the scan is given: a number above 0 and below 1, also once narrowed to
    the scan's single precision; None (a fault noted) when it is not."""
    expected = "%s: expected a number above 0 and below 1, got %s" % (key, shown(value))
    if isinstance(value, str) and DECIMAL_NUMBER.fullmatch(value.strip()):
        number = float(value)
    elif isinstance(value, (int, float)) and not isinstance(value, bool):
        number = float(value)
    else:
        faults.append(expected)
        return None
    if not 0.0 < number < 1.0:
        faults.append(expected)
        return None
    narrowed = struct.unpack("<f", struct.pack("<f", number))[0]
    if not 0.0 < narrowed < 1.0:
        faults.append(expected + ", which the scan's single precision makes %g" % narrowed)
        return None
    return repr(number)


def checked_frequencies(config, faults):
    """The grid of frequencies, as the texts each scan is given, in config order: freqs, or freq as a
    grid of one, or the default grid."""
    if "freq" in config and "freqs" in config:
        faults.append("freq, freqs: give one of them: freq for one frequency, freqs for a grid")
        return []
    if "freq" in config:
        if config["freq"] is None:
            faults.append("freq: not set; expected a number above 0 and below 1")
            return []
        single = frequency_text(config["freq"], "freq", faults)
        return [single] if single else []
    listed = config.get("freqs")
    if listed is None:
        return [repr(f) for f in DEFAULT_FREQS]
    if not isinstance(listed, list) or not listed:
        faults.append("freqs: expected a list of frequencies, e.g. [0.1, 0.2, 0.5], got %s" % shown(listed))
        return []
    freqs = []
    for value in listed:
        text = frequency_text(value, "freqs", faults)
        if text is None:
            continue
        # corvane-loci names a frequency's columns cM_%g: two must differ there too.
        if any("%g" % float(text) == "%g" % float(other) for other in freqs):
            faults.append("freqs: %s is listed twice" % shown(value))
            continue
        freqs.append(text)
    return freqs


def checked_null(config, faults):
    """The null section: neutral simulations as ms files and VCFs, and how they get their cM; None
    without one."""
    # YAML reads an unquoted key null as no value at all: None is this section's key too.
    if "null" in config and None in config:
        faults.append("null: given twice (once quoted); give it once")
        return None
    listed = config.get("null", config.get(None))
    if listed is None:
        return None
    if not isinstance(listed, dict):
        faults.append("null: expected a mapping with ms and/or vcf and the length and cm_per_mb or map they need")
        return None
    for key in listed:
        if key not in NULL_KEYS:
            faults.append("null: %s is not a key of null (expected one of %s)" % (shown(key), ", ".join(NULL_KEYS)))
    null = types.SimpleNamespace(ms={}, vcf={}, length=None, cm_per_mb=None, map=None, map_chr=None)
    for kind, what in (("ms", "batch name -> ms file of neutral simulations"),
                       ("vcf", "replicate name (its chromosome in the VCF) -> VCF of one neutral simulation")):
        files = listed.get(kind)
        if files is None:
            continue
        if not isinstance(files, dict) or not files:
            faults.append("null: %s: expected a mapping of %s" % (kind, what))
            continue
        for name, path in files.items():
            name = str(name)
            if not CHROMOSOME_NAME.fullmatch(name):
                faults.append("null: %s: name \"%s\" must start with a letter or digit and hold only letters, digits, "
                              "'.', '_' and '-'" % (kind, name))
            elif not isinstance(path, str) or not path:
                faults.append("null: %s: %s: expected the path of its file, got %s" % (kind, name, shown(path)))
            else:
                checked_file("null: %s: %s" % (kind, name), path, faults)
                getattr(null, kind)[name] = path
    if not listed.get("ms") and not listed.get("vcf"):
        faults.append("null: give the neutral simulations as ms (batch name -> ms file) or vcf (replicate name -> VCF)")
    # Replicate K of an ms batch B is the chromosome B_K: no VCF replicate may take its name.
    for name in null.vcf:
        batch = re.fullmatch(r"(.+)_[0-9]+", name)
        if batch and batch.group(1) in null.ms:
            faults.append("null: vcf: %s is also the name of replicate %s of the ms batch %s; name it apart"
                          % (name, name[len(batch.group(1)) + 1:], batch.group(1)))
    length = listed.get("length")
    if null.ms or length is not None:
        if isinstance(length, bool) or not isinstance(length, int) or not 1 <= length <= 2_000_000_000:
            faults.append("null: length: expected the bp of the simulated regions (a whole number from 1 to "
                          "2000000000), which ms files need, got %s" % shown(length))
        else:
            null.length = length
    rate, genetic = listed.get("cm_per_mb"), listed.get("map")
    if (rate is None) == (genetic is None):
        faults.append("null: give one of cm_per_mb (a uniform map) and map (a genetic map file)")
    elif rate is not None:
        if isinstance(rate, bool) or not isinstance(rate, (int, float)) or not 0 < rate < float("inf"):
            faults.append("null: cm_per_mb: expected a number of cM per Mb above 0, got %s" % shown(rate))
        else:
            null.cm_per_mb = repr(float(rate))
    elif not isinstance(genetic, str) or not genetic:
        faults.append("null: map: expected the path of a genetic map, got %s" % shown(genetic))
    else:
        checked_file("null: map", genetic, faults)
        null.map = genetic
    map_chr = listed.get("map_chr")
    if map_chr is not None:
        if genetic is None:
            faults.append("null: map_chr: names the map's chromosome, so it needs map")
        elif not isinstance(map_chr, (str, int)) or isinstance(map_chr, bool) or not str(map_chr):
            faults.append("null: map_chr: expected the map's name for the chromosome, got %s" % shown(map_chr))
        else:
            null.map_chr = str(map_chr)
    return null


def vcf_sample_ids(path):
    """The sample ids of a VCF (plain, gzip or BGZF) or BCF header."""
    with open(path, "rb") as raw:
        compressed = raw.read(2) == b"\x1f\x8b"
    with (gzip.open(path, "rb") if compressed else open(path, "rb")) as stream:
        magic = stream.read(5)
        if magic[:3] == b"BCF":
            length = struct.unpack("<I", stream.read(4))[0]
            lines = stream.read(length).decode("utf-8", "replace").split("\n")
        else:
            lines = (magic + stream.read(1 << 16)).decode("utf-8", "replace").split("\n")
            while not any(line.startswith("#CHROM") for line in lines[:-1]):
                more = stream.read(1 << 20)
                if not more:
                    break
                lines = lines[:-1] + (lines[-1] + more.decode("utf-8", "replace")).split("\n")
    for line in lines:
        if line.startswith("#CHROM"):
            return line.rstrip("\r\x00").split("\t")[9:]
    return None


def checked_populations(config, chromosomes, faults):
    """The population file: its path and the population ids in the order they first appear (as
    corvane-prepare --populations orders its panels); None without one. Read as corvane-prepare reads
    it (a sample id and its population per line, blanks or tabs between, further columns passed over,
    a first line naming no sample of the VCFs a header), so that the panels it will write are known
    before it runs, each sample looked up in every chromosome's VCF."""
    path = checked_text(config, "populations", faults)
    if not path:
        return None
    if config.get("samples"):
        faults.append("populations, samples: give one of them: samples keeps one list of samples, populations "
                      "makes one panel per population (samples in no population are left out)")
        return None
    if not os.path.isfile(path) or not os.access(path, os.R_OK):
        checked_file("populations", path, faults)
        if os.path.isfile(path):
            faults.append("populations: %s cannot be read" % path)
        return None
    vcf_samples = {}
    for chrom, vcf in chromosomes.items():
        if not os.path.isfile(vcf):
            continue  # reported under vcf
        try:
            ids = vcf_sample_ids(vcf)
        except (OSError, EOFError, struct.error) as error:
            faults.append("populations: cannot read the samples of %s (chromosome %s): %s" % (vcf, chrom, error))
            return None
        if ids is None:
            faults.append("populations: %s (chromosome %s) has no #CHROM header line naming its samples" % (vcf, chrom))
            return None
        vcf_samples[chrom] = set(ids)
    with open(path, "rb") as stream:
        lines = stream.read().decode("utf-8", "replace").split("\n")
    names, listed_on, folded = [], {}, {}
    first = True
    for number, line in enumerate(lines, start=1):
        fields = line.split()
        if not fields:
            continue
        may_be_header, first = first, False
        where = "populations: %s:%d" % (path, number)
        if len(fields) < 2:
            faults.append("%s: expected a sample id and its population, found only \"%s\"" % (where, fields[0]))
            return None
        sample, population = fields[0], fields[1]
        missing = [chrom for chrom, ids in vcf_samples.items() if sample not in ids]
        if may_be_header and len(missing) == len(vcf_samples):
            continue
        if missing:
            faults.append("%s: sample \"%s\" is not in %s (chromosome %s)" % (where, sample, chromosomes[missing[0]],
                                                                          missing[0]))
            return None
        if sample in listed_on:
            faults.append("%s: sample \"%s\" is listed again (first on line %d)" % (where, sample, listed_on[sample]))
            return None
        listed_on[sample] = number
        if population in names:
            continue
        if not POPULATION_NAME.fullmatch(population):
            faults.append("%s: population \"%s\" cannot be part of a file name or a folder under out_dir: use letters, "
                          "digits, '.', '_' and '-', not starting with '.'" % (where, population))
            return None
        if population in RESERVED_FOLDERS or population in chromosomes:
            faults.append("%s: population \"%s\" would share its folder under out_dir with %s; rename it"
                          % (where, population, "the chromosome's" if population in chromosomes else
                             "the workflow's " + population + "/"))
            return None
        same = folded.setdefault(population.lower(), population)
        if same != population:
            faults.append("%s: populations \"%s\" and \"%s\" differ only in case, which some file systems do not "
                          "tell apart; rename one" % (where, same, population))
            return None
        names.append(population)
    if not names:
        faults.append("populations: %s names no sample of the VCFs" % path)
        return None
    return types.SimpleNamespace(path=path, names=names)


def checked_threads(config, faults):
    value = config.get("prepare_threads")
    if value is None:
        return DEFAULT_PREPARE_THREADS
    if isinstance(value, bool) or not isinstance(value, int) or not 1 <= value <= 256:
        faults.append("prepare_threads: expected a whole number of cores from 1 to 256, got %s" % shown(value))
        return DEFAULT_PREPARE_THREADS
    return value


def checked_tools(config, faults):
    """Tool -> the path or command name it is run by; each an executable file here."""
    listed = config.get("tools")
    if listed is None:
        listed = {}
    if not isinstance(listed, dict):
        faults.append("tools: expected a mapping of %s to their paths" % ", ".join(TOOL_DEFAULTS))
        return dict(TOOL_DEFAULTS)
    for name in listed:
        if name not in TOOL_DEFAULTS:
            faults.append("tools: %s is not a tool of this workflow (expected %s)" % (shown(name), ", ".join(TOOL_DEFAULTS)))
    tools = {}
    for name, default in TOOL_DEFAULTS.items():
        path = listed.get(name)
        if path is None:
            path = default
        if not isinstance(path, str) or not path:
            faults.append("tools: %s: expected the path of %s, got %s" % (name, default, shown(path)))
        elif shutil.which(path) is None:
            faults.append("tools: %s: %s is not an executable file%s; build the tools or give their paths"
                          % (name, path, "" if os.sep in path else " nor a command on PATH"))
        tools[name] = path
    return tools


def checked_options(config, key, faults):
    """An options string as the separate words its tool is given."""
    text = checked_text(config, key, faults)
    try:
        words = shlex.split(text)
    except ValueError as error:
        faults.append("%s: cannot be split into words (%s): %s" % (key, str(error).lower(), shown(text)))
        return []
    tool, own_options, abbreviated = OPTIONS_KEYS[key]
    for word in words:
        syntax = SHELL_SYNTAX.search(word)
        if syntax:
            faults.append("%s: %s holds %s, which is shell syntax; these words go to %s as its arguments, "
                          "through no shell" % (key, shown(word), shown(syntax.group()), tool))
            continue
        name = word.split("=", 1)[0] if word.startswith("--") else word[:2]
        clashes = [own for own in own_options
                   if name == own or (abbreviated and len(name) > 2 and own.startswith(name))]
        if clashes:
            faults.append("%s: %s is set by the workflow itself (%s); remove it" % (key, word, clashes[0]))
    if key == "prepare_options":
        # Every step after corvane-prepare reads its bit panel: an option that makes it write text
        # instead would leave the scan without input, found only after the conversion has run.
        for word in words:
            if word in ("--gzip", "--format") or word.startswith("--format="):
                faults.append("prepare_options: %s is not for the workflow, which keeps each chromosome's panel "
                              "as a bit panel (.hapbits); remove it" % word)
    if key == "loci_options":
        # Both corvane-loci steps take these options: an output named in them would be written by both.
        for word in words:
            if word == "--core" or word.startswith("--core="):
                faults.append("loci_options: %s names one file that both corvane-loci steps would write; "
                              "remove it and run corvane-loci --core on the workflow's outputs" % word)
    return words


def checked_resources(config, faults):
    """Step -> resource -> the value the config sets for it."""
    listed = config.get("resources")
    if listed is None:
        return {}
    expected_steps = ", ".join(RESOURCE_STEPS)
    if not isinstance(listed, dict):
        faults.append("resources: expected a mapping of steps (%s) to their mem_mb and runtime" % expected_steps)
        return {}
    resources = {}
    for step, values in listed.items():
        if step not in RESOURCE_STEPS:
            faults.append("resources: %s is not a step (expected %s)" % (shown(step), expected_steps))
            continue
        if not isinstance(values, dict):
            faults.append("resources: %s: expected a mapping such as {mem_mb: 8000, runtime: 60}" % step)
            continue
        resources[step] = {}
        for name, value in values.items():
            if name not in RESOURCE_NAMES:
                faults.append("resources: %s: %s is not a resource the workflow sets (expected %s)"
                              % (step, shown(name), " or ".join(RESOURCE_NAMES)))
            elif isinstance(value, bool) or not isinstance(value, int) or value <= 0:
                faults.append("resources: %s: %s: expected a whole number above 0 (%s), got %s"
                              % (step, name, "MB" if name == "mem_mb" else "minutes", shown(value)))
            else:
                resources[step][name] = value
    return resources


def checked_settings(config):
    """The workflow's settings from CONFIG; raises WorkflowError naming every fault."""
    faults = []
    for key in config:
        if key not in KNOWN_KEYS and key is not None:
            faults.append("%s: not a key of this workflow (expected one of %s)" % (shown(key), ", ".join(KNOWN_KEYS)))
    settings = types.SimpleNamespace()
    settings.vcf = checked_chromosomes(config, faults)
    settings.cm_tag = checked_text(config, "cm_tag", faults)
    settings.maps = checked_maps(config, settings.vcf, settings.cm_tag, faults)
    settings.samples = checked_text(config, "samples", faults)
    if settings.samples:
        checked_file("samples", settings.samples, faults)
    settings.populations = checked_populations(config, settings.vcf, faults)
    settings.freqs = checked_frequencies(config, faults)
    settings.null = checked_null(config, faults)
    out_dir = checked_text(config, "out_dir", faults)
    if config.get("out_dir") is None:
        faults.append("out_dir: not set; expected the folder every output goes to")
    settings.out_dir = out_dir.rstrip("/") or ("/" if out_dir.startswith("/") else ".")
    if os.path.exists(settings.out_dir) and not os.path.isdir(settings.out_dir):
        faults.append("out_dir: %s is not a folder" % settings.out_dir)
    settings.figure_format = checked_text(config, "figure_format", faults, "png")
    if settings.figure_format not in FIGURE_FORMATS:
        faults.append("figure_format: expected png or svg, got %s" % shown(settings.figure_format))
    settings.tools = checked_tools(config, faults)
    settings.options = {key: checked_options(config, key, faults) for key in OPTIONS_KEYS}
    settings.prepare_threads = checked_threads(config, faults)
    settings.resources = checked_resources(config, faults)
    if faults:
        raise WorkflowError("\n".join("workflow config: " + fault for fault in faults + ["nothing was run"]))
    return settings
