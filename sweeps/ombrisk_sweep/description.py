"""A sweep description (YAML) read and checked in full before anything runs:
the swept axes, the fixed settings, the replicate seeds, the chunk size and
what the report plots."""

from __future__ import annotations

import hashlib
import math
import pathlib
from dataclasses import dataclass, field

import yaml

# The run settings a manifest row may carry, in the order ombrisk-batch
# applies them, with the kind of value each takes.
RUN_SETTINGS = {
    "size": "size",
    "border": "int",
    "spacing": "real",
    "stomata": "count",
    "steps": "steps",
}

# The model's settable fields (ombrisk-batch --set), in the order its --help
# lists them; a test holds this table to that list.
FIELDS = {
    "kepi": "real",
    "kin": "real",
    "Jmax": "real",
    "Jo": "real",
    "a": "real",
    "pminj": "real",
    "leaf_p": "real",
    "offset_from_mean": "flag",
    "auto_p_range": "flag",
    "auto_j_range": "flag",
    "p_display_min": "real",
    "p_display_max": "real",
    "j_display_min": "real",
    "j_display_max": "real",
}

PARAMETERS = {**RUN_SETTINGS, **FIELDS}

SIZES = (50, 100, 200, 400, 800)
MAX_STOMATA = 20000
MAX_STEPS = 2**31 - 1
MAX_SEED = 2**32 - 1

DEFAULT_CHUNK = 25
# What a run's summary row reports of its end, any of which the report may
# plot.
OBSERVABLES = ("mean_j", "total_j", "open_fraction", "mean_p", "p_min", "p_max", "diverged",
               "diverged_step")
DEFAULT_OBSERVABLE = "mean_j"

TOP_KEYS = {"name", "seed", "seeds", "replicates", "seed_mode", "axes", "chunk",
            "threads", "plot", "fields", "open_threshold"} | set(PARAMETERS)


class DescriptionError(ValueError):
    """A description that cannot be run; the message names the file and key."""


@dataclass
class Plot:
    observable: str
    x: str
    series: str | None = None


@dataclass
class Fields:
    every: int


@dataclass
class Sweep:
    name: str
    axes: list[tuple[str, list[str]]]  # values as the manifest writes them
    fixed: dict[str, str]
    seeds: list[int]  # one per replicate
    seed_mode: str  # "replicate": replicate r has one seed at every point
    base_seed: int | None  # what "run" seeds are derived from
    chunk: int
    threads: int
    plot: Plot
    fields: Fields | None = None
    open_threshold: str | None = None  # None: Jmax / 2
    source: str = ""

    @property
    def points(self) -> int:
        n = 1
        for _, values in self.axes:
            n *= len(values)
        return n

    @property
    def runs(self) -> int:
        return self.points * len(self.seeds)


def format_value(kind: str, raw, where: str) -> str:
    """The text a manifest holds for one value, after checking it fits `kind`."""
    if isinstance(raw, bool):
        if kind == "flag":
            return "1" if raw else "0"
        raise DescriptionError(f"{where}: {raw!r} is not a number")
    if isinstance(raw, str):
        # YAML reads 1e-3 (no point) as text; such numbers are accepted.
        try:
            raw = int(raw, 10) if raw.strip().lstrip("+-").isdigit() else float(raw)
        except ValueError:
            raise DescriptionError(f"{where}: {raw!r} is not a number") from None
    if not isinstance(raw, (int, float)):
        raise DescriptionError(f"{where}: {raw!r} is not a number")
    if isinstance(raw, float) and not math.isfinite(raw):
        raise DescriptionError(f"{where}: {raw!r} is not a finite number")
    if kind == "real":
        return str(raw) if isinstance(raw, int) else repr(float(raw))
    if isinstance(raw, float):
        if not raw.is_integer():
            raise DescriptionError(f"{where}: {raw!r} is not a whole number")
        raw = int(raw)
    if kind == "flag" and raw not in (0, 1):
        raise DescriptionError(f"{where}: must be 0 or 1, not {raw}")
    if kind == "size" and raw not in SIZES:
        raise DescriptionError(f"{where}: the size must be 50, 100, 200, 400 or 800, not {raw}")
    if kind == "count" and not 0 <= raw <= MAX_STOMATA:
        raise DescriptionError(f"{where}: must be from 0 to {MAX_STOMATA}, not {raw}")
    if kind == "steps" and not 0 <= raw <= MAX_STEPS:
        raise DescriptionError(f"{where}: must be from 0 to {MAX_STEPS}, not {raw}")
    if kind == "int" and not -(2**31) <= raw <= 2**31 - 1:
        raise DescriptionError(f"{where}: {raw} is out of range")
    return str(raw)


def _axis_values(name: str, given, where: str) -> list[str]:
    kind = PARAMETERS[name]
    if isinstance(given, dict):
        unknown = set(given) - {"from", "to", "count"}
        if unknown or not {"from", "to", "count"} <= set(given):
            raise DescriptionError(f"{where}: a range is written {{from: X, to: Y, count: N}}")
        count = given["count"]
        if isinstance(count, bool) or not isinstance(count, int) or count < 1:
            raise DescriptionError(f"{where}: count must be a whole number of at least 1")
        lo = float(format_value("real", given["from"], where + ": from"))
        hi = float(format_value("real", given["to"], where + ": to"))
        if count == 1:
            raw_values = [lo]
        else:
            # Rounded to 12 digits, so that 0.1 + 2 * 0.05 reads as 0.2.
            raw_values = [float(f"{lo + i * (hi - lo) / (count - 1):.12g}")
                          for i in range(count)]
        if kind != "real":
            raw_values = [int(v) if float(v).is_integer() else v for v in raw_values]
    elif isinstance(given, list):
        raw_values = given
    else:
        raw_values = [given]
    if not raw_values:
        raise DescriptionError(f"{where}: no values")
    values = [format_value(kind, v, f"{where}[{i}]") for i, v in enumerate(raw_values)]
    seen = set()
    for v in values:
        key = float(v)
        if key in seen:
            raise DescriptionError(f"{where}: the value {v} is given twice")
        seen.add(key)
    return values


def _whole(doc, key: str, where: str, low: int, high: int, default: int) -> int:
    v = doc.get(key, default)
    if isinstance(v, bool) or not isinstance(v, int) or not low <= v <= high:
        raise DescriptionError(f"{where}: {key} must be a whole number from {low} to {high}")
    return v


def replicate_seed(base: int, replicate: int, point: tuple[str, ...] = ()) -> int:
    """A 32-bit seed from the base seed, the replicate number and, when seeds
    differ per run, the run's values: the same inputs give the same seed on
    every machine and Python version."""
    text = ":".join(["ombrisk-sweep", str(base), str(replicate), *point])
    return int.from_bytes(hashlib.sha256(text.encode()).digest()[:4], "little")


def parse(doc, source: str = "<description>", default_name: str = "sweep") -> Sweep:
    if not isinstance(doc, dict):
        raise DescriptionError(f"{source}: the description must be a mapping of keys to values")
    unknown = [k for k in doc if k not in TOP_KEYS]
    if unknown:
        raise DescriptionError(
            f"{source}: unknown key {unknown[0]!r}; known keys: "
            + ", ".join(sorted(TOP_KEYS - set(PARAMETERS))) + ", and the parameters "
            + ", ".join(PARAMETERS))

    name = str(doc.get("name", default_name))
    if not name or any(c in name for c in "/\\\0") or name in (".", ".."):
        raise DescriptionError(f"{source}: name must be a plain file name")

    axes_doc = doc.get("axes", {})
    if not isinstance(axes_doc, dict):
        raise DescriptionError(f"{source}: axes must map parameter names to values")
    axes = []
    for key, values_doc in axes_doc.items():
        if key not in PARAMETERS:
            raise DescriptionError(f"{source}: axes: unknown parameter {key!r}; known: "
                                   + ", ".join(PARAMETERS))
        axes.append((key, _axis_values(key, values_doc, f"{source}: axes: {key}")))

    fixed = {}
    for key in PARAMETERS:
        if key in doc:
            if key in axes_doc:
                raise DescriptionError(f"{source}: {key} is both fixed and an axis")
            fixed[key] = format_value(PARAMETERS[key], doc[key], f"{source}: {key}")
    if "steps" not in fixed and "steps" not in axes_doc:
        raise DescriptionError(f"{source}: steps is missing (how many steps each run makes)")

    seed_mode = doc.get("seed_mode", "replicate")
    if seed_mode not in ("replicate", "run"):
        raise DescriptionError(f"{source}: seed_mode must be replicate or run")
    if "seeds" in doc:
        if "replicates" in doc or "seed" in doc:
            raise DescriptionError(f"{source}: give seeds, or seed and replicates, not both")
        seeds = doc["seeds"]
        if (not isinstance(seeds, list) or not seeds
                or any(isinstance(s, bool) or not isinstance(s, int) or not 0 <= s <= MAX_SEED
                       for s in seeds)):
            raise DescriptionError(
                f"{source}: seeds must be a list of whole numbers from 0 to {MAX_SEED}")
        if len(set(seeds)) != len(seeds):
            raise DescriptionError(f"{source}: seeds: a seed is given twice")
        if seed_mode == "run":
            raise DescriptionError(f"{source}: seed_mode run derives the seeds; give seed "
                                   "and replicates instead of seeds")
    else:
        base = _whole(doc, "seed", source, 0, MAX_SEED, 1)
        replicates = _whole(doc, "replicates", source, 1, 10**6, 1)
        seeds = [replicate_seed(base, r) for r in range(1, replicates + 1)]
    base_seed = None if "seeds" in doc else base

    chunk = _whole(doc, "chunk", source, 1, 10**7, DEFAULT_CHUNK)
    threads = _whole(doc, "threads", source, 1, 1024, 1)

    plot_doc = doc.get("plot", {})
    if not isinstance(plot_doc, dict) or set(plot_doc) - {"observable", "x", "series"}:
        raise DescriptionError(f"{source}: plot takes observable, x and series")
    axis_names = [a for a, _ in axes]
    x = plot_doc.get("x", axis_names[0] if axis_names else None)
    series = plot_doc.get("series", axis_names[1] if len(axis_names) > 1 else None)
    if "x" in plot_doc and "series" not in plot_doc and series == x:
        series = axis_names[0] if axis_names and axis_names[0] != x else None
    for role, v in (("x", x), ("series", series)):
        if v is not None and v not in axis_names:
            raise DescriptionError(f"{source}: plot: {role} must be one of the axes ("
                                   + (", ".join(axis_names) or "there are none") + f"), not {v!r}")
    if x is not None and x == series:
        raise DescriptionError(f"{source}: plot: x and series must be different axes")
    observable = plot_doc.get("observable", DEFAULT_OBSERVABLE)
    if observable not in OBSERVABLES:
        raise DescriptionError(f"{source}: plot: observable must be one of "
                               + ", ".join(OBSERVABLES) + f", not {observable!r}")

    fields = None
    if "fields" in doc:
        fdoc = doc["fields"]
        if not isinstance(fdoc, dict) or set(fdoc) != {"every"}:
            raise DescriptionError(f"{source}: fields is written {{every: K}}")
        fields = Fields(_whole(fdoc, "every", f"{source}: fields", 1, MAX_STEPS, 1))

    open_threshold = None
    if "open_threshold" in doc:
        open_threshold = format_value("real", doc["open_threshold"], f"{source}: open_threshold")

    return Sweep(name=name, axes=axes, fixed=fixed, seeds=seeds, seed_mode=seed_mode,
                 base_seed=base_seed, chunk=chunk, threads=threads,
                 plot=Plot(observable, x, series), fields=fields,
                 open_threshold=open_threshold, source=source)


def load(path) -> Sweep:
    path = pathlib.Path(path)
    try:
        text = path.read_text(encoding="utf-8")
    except OSError as e:
        raise DescriptionError(f"{path}: cannot be read: {e.strerror}") from None
    try:
        doc = yaml.safe_load(text)
    except yaml.YAMLError as e:
        raise DescriptionError(f"{path}: not valid YAML: {e}") from None
    return parse(doc, str(path), default_name=path.stem)
