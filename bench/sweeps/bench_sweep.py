#!/usr/bin/python3
"""A sweep's wall time against the time its runs take on their own: 400 runs
of 100 x 100, 200 steps each, through the whole workflow (Snakemake started,
the manifest, the chunks on every core, results.csv and the report) beside
the same 400 rows run back to back in one ombrisk-batch process, which is the
runs' own time with one process start. The two are measured in turn, each
repeat both, so that a machine whose speed drifts affects both alike.

  bench/sweeps/bench_sweep.py OMBRISK_BATCH [--chunks 25,50,100,200]
                              [--repeats 3] [--cores N] [--steps 200] [--work DIR]

The workflow is timed in three calls: up to results.csv ("results": start,
manifest, chunks, gathering), then the rest ("report": start again and the
report with its plot), then once more when all is done ("idle": Snakemake's
start and checks alone). The whole sweep in one call takes results + report
- idle. The ratios printed are wall / (own / cores) for results.csv and for
the whole sweep; the target is at most 1.3. The processor time of the whole
sweep (all its processes) beside that of the one process shows the
workflow's own cost whatever else the machine is doing. A 100 x 100 lattice is 80 kB,
well inside the caches."""

import argparse
import os
import pathlib
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]

DESCRIPTION = """\
name: bench
size: 100
steps: {steps}
spacing: 2
seed: 3
replicates: 10
chunk: {chunk}
axes:
  kepi: {{from: 0.1, to: 0.2, count: 20}}
  stomata: [50, 100]
"""


CPU = [0.0]  # processor time of the last timed command and its children


def timed(command, **kw) -> float:
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    CPU[0] = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("batch")
    ap.add_argument("--chunks", default="25,50,100,200")
    ap.add_argument("--repeats", type=int, default=3)
    ap.add_argument("--cores", type=int, default=os.cpu_count())
    ap.add_argument("--steps", type=int, default=200)
    ap.add_argument("--work", default=None)
    a = ap.parse_args()
    batch = str(pathlib.Path(a.batch).resolve())
    work = pathlib.Path(a.work or tempfile.mkdtemp(prefix="bench-sweep-"))
    work.mkdir(parents=True, exist_ok=True)

    print(f"load average before: {os.getloadavg()[0]:.2f}; {a.cores} cores; "
          f"{a.repeats} repeats")
    print(f"400 runs of 100 x 100, {a.steps} steps each")
    print(f"{'chunk':>6} {'own':>6} {'results':>8} {'report':>7} {'idle':>6} {'whole':>6} "
          f"{'ratio results':>14} {'ratio whole':>12}   (seconds, medians)")
    for chunk in (int(c) for c in a.chunks.split(",")):
        desc = work / f"bench-{chunk}.yaml"
        desc.write_text(DESCRIPTION.format(chunk=chunk, steps=a.steps))
        t = {k: [] for k in ("own", "results", "report", "idle", "whole", "r1", "r2",
                             "cpu_own", "cpu_whole")}
        for _ in range(a.repeats):
            out = work / f"out-{chunk}"
            shutil.rmtree(out, ignore_errors=True)
            out.mkdir()
            # The manifest the sweep will use, for the one-process run.
            subprocess.run([sys.executable, "-m", "ombrisk_sweep", "prepare", str(desc),
                            str(work)], check=True, stdout=subprocess.DEVNULL,
                           env=dict(os.environ, PYTHONPATH=str(ROOT / "sweeps")))
            own = timed([batch, "--threads", "1", "--manifest", str(work / "manifest.csv"),
                         "--rows", "1-400", "--summary", str(work / "one-process.csv")])
            cpu_own = CPU[0]
            (work / "one-process.csv").unlink()
            snakemake = ["snakemake", "-s", str(ROOT / "sweeps" / "Snakefile"), "--directory",
                         str(out), "--cores", str(a.cores), "--keep-going",
                         "--rerun-incomplete", "--scheduler", "greedy", "--config",
                         f"description={desc}", f"batch={batch}"]
            results = timed(snakemake + ["--", "results.csv"])
            cpu_whole = CPU[0]
            rest = timed(snakemake)
            cpu_whole += CPU[0]
            idle = timed(snakemake)
            cpu_whole -= CPU[0]
            whole = results + rest - idle
            for k, v in (("own", own), ("results", results), ("report", rest), ("idle", idle),
                         ("whole", whole), ("r1", results / (own / a.cores)),
                         ("r2", whole / (own / a.cores)), ("cpu_own", cpu_own),
                         ("cpu_whole", cpu_whole)):
                t[k].append(v)
        m = {k: statistics.median(v) for k, v in t.items()}
        print(f"{chunk:>6} {m['own']:6.2f} {m['results']:8.2f} {m['report']:7.2f} "
              f"{m['idle']:6.2f} {m['whole']:6.2f} {m['r1']:14.2f} {m['r2']:12.2f}   "
              f"(ratios: {' '.join(f'{r:.2f}' for r in t['r1'])} / "
              f"{' '.join(f'{r:.2f}' for r in t['r2'])}; processor s: one process "
              f"{m['cpu_own']:.2f}, whole sweep {m['cpu_whole']:.2f})")
    print(f"load average after: {os.getloadavg()[0]:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
