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


def batch_command(batch: str, manifest, rows: str, summary, threads: int) -> list[str]:
    return [batch, "--threads", str(threads), "--manifest", str(manifest),
            "--rows", rows, "--summary", str(summary)]


def run(batch: str, manifest, chunk: int, first: int, last: int, summary, log, timing,
        failed_dir, threads: int = 1) -> int:
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

    command = batch_command(batch, manifest, rows, partial, threads)
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
    a = ap.parse_args(argv)
    try:
        first, last = (int(x) for x in a.rows.split("-"))
    except ValueError:
        ap.error("--rows takes A-B")
    return run(a.batch, a.manifest, a.chunk, first, last, a.summary, a.log, a.timing,
               a.failed_dir, a.threads)


if __name__ == "__main__":
    sys.exit(main())
