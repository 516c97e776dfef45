"""The sweep's short report: how many runs, how many diverged, the wall time,
and a plot of one observable against one or two swept parameters."""

from __future__ import annotations

import json
import math
import pathlib
import statistics
import time
from dataclasses import dataclass

from .description import Sweep
from .gather import read_summary

DIVERGED = "diverged"
EXIT_STATUS = "exit_status"
SHOWN_POINTS = 40


def _number(text: str) -> float:
    try:
        return float(text)
    except (TypeError, ValueError):
        return math.nan


@dataclass
class Times:
    wall: float
    busy: float  # the timed chunks' own times added up
    timed: int  # chunks that left their times
    ran: int | None  # chunks run by this run of the workflow, when known


def chunk_times(timing_paths, started: float | None = None, now: float | None = None) -> Times:
    """With `started` (when this run of the workflow began) the wall time is
    this run's, up to `now`; without it, from the first chunk's start to the
    last one's end."""
    spans = []
    for p in timing_paths:
        t = json.loads(pathlib.Path(p).read_text(encoding="utf-8"))
        spans.append((float(t["start"]), float(t["end"])))
    busy = sum(e - s for s, e in spans)
    if started is not None:
        now = time.time() if now is None else now
        return Times(now - started, busy, len(spans), sum(s >= started for s, _ in spans))
    wall = max(e for _, e in spans) - min(s for s, _ in spans) if spans else 0.0
    return Times(wall, busy, len(spans), None)


def _label(text: str) -> str:
    """A value as short as it reads back the same: the summary writes 0.1 as
    0.10000000000000001."""
    v = _number(text)
    if not math.isfinite(v):
        return text
    return str(int(v)) if v.is_integer() and abs(v) < 2**53 else repr(v)


def point_statistics(table, observable: str, keys: list[str]):
    """Per combination of the `keys` values: (mean, standard deviation, runs
    used, runs left out) of the observable, leaving out diverged runs and
    values that are not finite."""
    groups: dict[tuple, list] = {}
    for row in table:
        key = tuple(_label(row[k]) for k in keys)
        groups.setdefault(key, [[], 0])
        value = _number(row[observable])
        if row.get(DIVERGED, "0") == "1" or not math.isfinite(value):
            groups[key][1] += 1
        else:
            groups[key][0].append(value)
    out = {}
    for key, (values, left_out) in groups.items():
        mean = statistics.fmean(values) if values else math.nan
        sd = statistics.stdev(values) if len(values) > 1 else 0.0
        out[key] = (mean, sd, len(values), left_out)
    return dict(sorted(out.items(), key=lambda kv: tuple(_number(v) for v in kv[0])))


def plot(sweep: Sweep, table, png_path) -> str:
    """Writes the PNG; returns the line the report gives it."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    p = sweep.plot
    keys = [p.x] + ([p.series] if p.series else [])
    stats = point_statistics(table, p.observable, keys)
    fig, ax = plt.subplots(figsize=(6.4, 4.4), dpi=100)
    series_values = sorted({k[1] for k in stats}, key=_number) if p.series else [None]
    for s in series_values:
        pts = [(k[0], v) for k, v in stats.items() if not p.series or k[1] == s]
        xs = [_number(x) for x, _ in pts]
        ys = [v[0] for _, v in pts]
        es = [v[1] for _, v in pts]
        ax.errorbar(xs, ys, yerr=es, marker="o", capsize=3,
                    label=f"{p.series} = {s}" if p.series else None)
    ax.set_xlabel(p.x)
    ax.set_ylabel(p.observable)
    ax.set_title(f"{sweep.name}: {p.observable} against {p.x}")
    left_out = sum(v[3] for v in stats.values())
    if left_out:
        empty = [k for k, v in stats.items() if v[2] == 0]
        note = f"{left_out} of {len(table)} runs left out (diverged or no value)"
        if empty:
            note += f"; no value at {len(empty)} points"
        fig.text(0.01, 0.01, note, fontsize=8, color="firebrick")
    if p.series:
        ax.legend()
    ax.grid(True, alpha=0.3)
    fig.tight_layout(rect=(0, 0.04 if left_out else 0, 1, 1))
    fig.savefig(png_path)
    plt.close(fig)
    per = f", one line per {p.series}" if p.series else ""
    return (f"{pathlib.Path(png_path).name}: {p.observable} against {p.x}{per}; mean and "
            "standard deviation over the runs at each point, diverged runs left out")


def report_text(sweep: Sweep, header, table, chunks: int, times: Times,
                plot_line: str | None) -> str:
    diverged = [r["run_id"] for r in table if r.get(DIVERGED) == "1"]
    placement = [r["run_id"] for r in table if r.get(EXIT_STATUS) == "3"]
    shape = " x ".join(f"{len(v)} {n}" for n, v in sweep.axes)
    shape = (shape + " x " if shape else "") + f"{len(sweep.seeds)} replicates"

    def ids(xs):
        return ", ".join(xs[:10]) + (", ..." if len(xs) > 10 else "")

    lines = [
        f"Sweep {sweep.name}: {len(table)} runs ({shape}) in {chunks} chunks of up to "
        f"{sweep.chunk}",
        f"Diverged: {len(diverged)}" + (f" (run_id {ids(diverged)})" if diverged else ""),
    ]
    if placement:
        lines.append(f"Placement ran out of attempts: {len(placement)} (run_id {ids(placement)})")
    if times.ran is None:
        wall = f"Wall time: {times.wall:.2f} s from the first chunk's start to the last one's end"
    else:
        wall = (f"Wall time: {times.wall:.2f} s for this run of the workflow, which ran "
                f"{times.ran} of the {chunks} chunks")
    lines.append(wall + f"; the chunks' own times add up to {times.busy:.2f} s"
                 + (f" ({times.timed} of {chunks} chunks timed)" if times.timed != chunks else ""))
    if plot_line:
        lines.append(f"Plot: {plot_line}")
    p = sweep.plot
    if p.x and p.observable in header:
        keys = [p.x] + ([p.series] if p.series else [])
        stats = point_statistics(table, p.observable, keys)
        lines.append("")
        lines.append("  ".join(keys) + f"  {p.observable} (mean, sd, runs, left out)")
        for n, (key, (mean, sd, used, left)) in enumerate(stats.items()):
            if n == SHOWN_POINTS:
                lines.append(f"... {len(stats) - SHOWN_POINTS} more points in results.csv")
                break
            shown = f"{mean:.6g}  {sd:.3g}" if used else "-  -"
            lines.append("  ".join(key) + f"  {shown}  {used}  {left}")
    return "\n".join(lines) + "\n"


def write_report(sweep: Sweep, results_path, timing_paths, text_path, png_path,
                 started: float | None = None, now: float | None = None) -> str:
    header, table = read_summary(results_path)
    times = chunk_times(timing_paths, started, now)
    p = sweep.plot
    if p.observable not in header:
        numeric = [c for c in header if table and math.isfinite(_number(table[0][c]))]
        raise ValueError(f"{results_path} has no column {p.observable!r} to plot; its "
                         "numeric columns are " + ", ".join(numeric))
    if p.x is None:
        plot_line = "none, the sweep has no axes"
    elif png_path is None:
        plot_line = None
    else:
        plot_line = plot(sweep, table, png_path)
    chunks = -(-len(table) // sweep.chunk)
    text = report_text(sweep, header, table, chunks, times, plot_line)
    pathlib.Path(text_path).write_text(text, encoding="utf-8")
    return text


def chunk_timings(chunks_dir, runs: int, chunk: int) -> list[pathlib.Path]:
    """The times the sweep's chunks left beside their summaries (chunk_K.json),
    for those that have them."""
    paths = (pathlib.Path(chunks_dir) / f"chunk_{k}.json" for k in range(1, -(-runs // chunk) + 1))
    return [p for p in paths if p.exists()]
