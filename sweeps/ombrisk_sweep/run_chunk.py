"""Runs one chunk of manifest rows in one ombrisk-batch process. Its summary
appears under its own name only when every row of the chunk is in it, so a
chunk that failed or was stopped leaves nothing that looks finished; a
failure leaves a note naming the chunk, its rows and the error."""

from __future__ import annotations

import argparse
import csv
import json
import os
import pathlib
import socket
import subprocess
import sys
import time

# Exit statuses of ombrisk-batch that still give a result for every row: 3 is
# a random placement that ran out of attempts (the run went on, and its
# summary row says so).
RESULT_STATUSES = (0, 3)


def _tail(path: pathlib.Path, lines: int = 5) -> str:
    """The program's last lines in the log, after the command line."""
    try:
        text = path.read_text(encoding="utf-8", errors="replace").splitlines()[1:]
    except OSError:
        return ""
    return "\n".join(line for line in text[-lines:] if line.strip())


def expected_ids(manifest: pathlib.Path, first: int, last: int) -> list[str]:
    with open(manifest, newline="", encoding="utf-8") as f:
        table = list(csv.DictReader(f))
    if last > len(table):
        raise ValueError(f"the manifest has {len(table)} rows, not {last}")
    return [row["run_id"] for row in table[first - 1:last]]


def summary_ids(summary: pathlib.Path) -> list[str]:
    with open(summary, newline="", encoding="utf-8") as f:
        reader = csv.DictReader(f)
        if reader.fieldnames is None or "run_id" not in reader.fieldnames:
            return []
        return [row["run_id"] for row in reader]


def field_files(fields_dir, run_id: str) -> list[pathlib.Path]:
    """The files --fields writes for one run: p, the stomata's J, the JSON."""
    d = pathlib.Path(fields_dir)
    return [d / f"run_{run_id}.npy", d / f"run_{run_id}_j.npy", d / f"run_{run_id}.json"]


def batch_command(batch: str, manifest, rows: str, summary, threads: int = 1,
                  fields_dir=None, every: int = 1, open_threshold: str | None = None
                  ) -> list[str]:
    command = [batch, "--threads", str(threads), "--manifest", str(manifest),
               "--rows", rows, "--summary", str(summary)]
    if open_threshold is not None:
        command += ["--open-threshold", open_threshold]
    if fields_dir is not None:
        # The batch program fills {run_id} from the row; the row's steps follow.
        command += ["--every", str(every), "--fields", str(pathlib.Path(fields_dir) / "run_{run_id}.npy")]
    return command


def sweep_options(sweep) -> list[str]:
    """The run-chunk options a sweep description asks for, beyond the rows."""
    options = ["--threads", str(sweep.threads)]
    if sweep.fields:
        options += ["--fields-dir", "fields", "--every", str(sweep.fields.every)]
    if sweep.open_threshold is not None:
        options += ["--open-threshold", sweep.open_threshold]
    return options


CHUNK_SCRIPT = """\
#!/bin/bash
# Runs chunk K of this sweep (K from 1 to {chunks}, as in chunks.txt), as the
# workflow would: ./run-chunk K, or as a task of a Slurm job array (K from
# SLURM_ARRAY_TASK_ID): sbatch --array=1-{chunks} run-chunk
#SBATCH --job-name={name}
#SBATCH --cpus-per-task={threads}
#SBATCH --mem=1G
#SBATCH --time=60
#SBATCH --output={out}/logs/slurm-%A_%a.out
set -euo pipefail
k="${{1:-${{SLURM_ARRAY_TASK_ID:?give the chunk number}}}}"
cd {out_q}
rows="$(awk -v k="$k" '$1 == k {{ print $2 }}' chunks.txt)"
[ -n "$rows" ] || {{ echo "run-chunk: chunks.txt has no chunk $k" >&2; exit 2; }}
PYTHONPATH={sweeps_q} exec {python_q} -m ombrisk_sweep run-chunk --batch {batch_q} \\
  --manifest manifest.csv --chunk "$k" --rows "$rows" --summary "chunks/chunk_$k.csv" \\
  --log "logs/chunk_$k.log" --timing "chunks/chunk_$k.json" --failed-dir failed \\
  {options}
"""


def chunk_script(sweep, chunks: int, out_dir, batch, python, sweeps_dir) -> str:
    """The text of OUT/run-chunk, for running the chunks without Snakemake."""
    import shlex
    return CHUNK_SCRIPT.format(
        chunks=chunks, name=f"ombrisk-{sweep.name}", threads=sweep.threads, out=out_dir,
        out_q=shlex.quote(str(out_dir)), sweeps_q=shlex.quote(str(sweeps_dir)),
        python_q=shlex.quote(str(python)), batch_q=shlex.quote(str(batch)),
        options=" ".join(shlex.quote(o) for o in sweep_options(sweep)))


def run(batch: str, manifest, chunk: int, first: int, last: int, summary, log, timing,
        failed_dir, threads: int = 1, fields_dir=None, every: int = 1,
        open_threshold: str | None = None) -> int:
    manifest, summary, log = pathlib.Path(manifest), pathlib.Path(summary), pathlib.Path(log)
    timing, failed_dir = pathlib.Path(timing), pathlib.Path(failed_dir)
    for p in (summary, log, timing):
        p.parent.mkdir(parents=True, exist_ok=True)
    failed_dir.mkdir(parents=True, exist_ok=True)
    note = failed_dir / f"chunk_{chunk}.txt"
    partial = summary.with_name(summary.name + ".part")
    partial.unlink(missing_ok=True)
    rows = f"{first}-{last}"

    def fail(error: str) -> int:
        partial.unlink(missing_ok=True)
        message = f"chunk {chunk} (manifest rows {rows}) failed: {error}\n  log: {log}\n"
        note.write_text(message, encoding="utf-8")
        sys.stderr.write(message)
        return 1

    try:
        wanted = expected_ids(manifest, first, last)
    except (OSError, ValueError, KeyError) as e:
        return fail(f"the manifest {manifest} cannot be used: {e}")

    if fields_dir is not None:
        pathlib.Path(fields_dir).mkdir(parents=True, exist_ok=True)
    command = batch_command(batch, manifest, rows, partial, threads, fields_dir, every,
                            open_threshold)
    start = time.time()
    try:
        with open(log, "w", encoding="utf-8") as out:
            out.write(" ".join(command) + "\n")
            out.flush()
            status = subprocess.run(command, stdout=out, stderr=subprocess.STDOUT).returncode
    except OSError as e:
        return fail(f"{batch} could not be started: {e.strerror}")
    end = time.time()

    if status not in RESULT_STATUSES:
        detail = _tail(log)
        return fail(f"ombrisk-batch exit status {status}" + (f":\n{detail}" if detail else ""))
    try:
        got = summary_ids(partial)
    except OSError:
        got = []
    if got != wanted:
        missing = [i for i in wanted if i not in got]
        return fail("the summary does not hold the chunk's runs"
                    + (f" (missing run_id {', '.join(missing[:5])})" if missing else ""))

    if fields_dir is not None:
        lacking = [str(f) for i in wanted for f in field_files(fields_dir, i) if not f.exists()]
        if lacking:
            return fail(f"the fields of the chunk's runs were not all written ({lacking[0]})")

    timing.write_text(json.dumps({
        "chunk": chunk, "rows": rows, "runs": len(wanted), "start": start, "end": end,
        "seconds": end - start, "exit_status": status, "host": socket.gethostname(),
    }) + "\n", encoding="utf-8")
    os.replace(partial, summary)
    note.unlink(missing_ok=True)
    return 0


def main(argv=None) -> int:
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--batch", required=True, help="the ombrisk-batch program")
    ap.add_argument("--manifest", required=True)
    ap.add_argument("--chunk", type=int, required=True)
    ap.add_argument("--rows", required=True, help="A-B, manifest rows from 1")
    ap.add_argument("--summary", required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--timing", required=True)
    ap.add_argument("--failed-dir", required=True)
    ap.add_argument("--threads", type=int, default=1)
    ap.add_argument("--fields-dir", help="write each run's fields here as run_ID.npy")
    ap.add_argument("--every", type=int, default=1, help="the steps between field frames")
    ap.add_argument("--open-threshold", help="the J above which a stoma counts as open")
    a = ap.parse_args(argv)
    try:
        first, last = (int(x) for x in a.rows.split("-"))
    except ValueError:
        ap.error("--rows takes A-B")
    return run(a.batch, a.manifest, a.chunk, first, last, a.summary, a.log, a.timing,
               a.failed_dir, a.threads, a.fields_dir, a.every, a.open_threshold)


if __name__ == "__main__":
    sys.exit(main())
