"""A sweep expanded into its manifest (one CSV row per run, the columns
ombrisk-batch reads) and cut into chunks of rows, one batch process each."""

from __future__ import annotations

import csv
import hashlib
import io
import itertools
import os
import pathlib
import tempfile
from dataclasses import dataclass

from .description import PARAMETERS, Sweep, replicate_seed

# Columns ombrisk-batch does not know; it carries them through to the summary.
ID_COLUMNS = ("run_id", "replicate")


def columns(sweep: Sweep) -> list[str]:
    swept = {name for name, _ in sweep.axes}
    given = [p for p in PARAMETERS if p in swept or p in sweep.fixed]
    return [*ID_COLUMNS, "seed", *given]


def rows(sweep: Sweep) -> list[dict[str, str]]:
    """Every run in order. Replicates are the outer loop, so that raising
    `replicates` adds rows at the end and leaves the earlier chunks as they
    were; run_id is the row number."""
    names = [name for name, _ in sweep.axes]
    out = []
    run = 0
    for r, seed in enumerate(sweep.seeds, start=1):
        for point in itertools.product(*(values for _, values in sweep.axes)):
            run += 1
            values = dict(zip(names, point))
            if sweep.seed_mode == "run":
                seed = replicate_seed(sweep.base_seed, r,
                                      tuple(f"{n}={v}" for n, v in zip(names, point)))
            row = {"run_id": str(run), "replicate": str(r), "seed": str(seed)}
            for p in PARAMETERS:
                if p in values:
                    row[p] = values[p]
                elif p in sweep.fixed:
                    row[p] = sweep.fixed[p]
            out.append(row)
    return out


def to_csv(header: list[str], table: list[dict[str, str]]) -> str:
    buf = io.StringIO()
    w = csv.DictWriter(buf, fieldnames=header, lineterminator="\n")
    w.writeheader()
    w.writerows(table)
    return buf.getvalue()


def write_atomic(path, text: str) -> None:
    """Writes the file whole under a temporary name, then renames it over the
    old one, so that a reader never sees half of it."""
    path = pathlib.Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    fd, tmp = tempfile.mkstemp(dir=path.parent, prefix=path.name + ".", suffix=".tmp")
    try:
        with os.fdopen(fd, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        os.replace(tmp, path)
    except BaseException:
        os.unlink(tmp)
        raise


def write_if_changed(path, text: str) -> bool:
    """Writes `text` unless the file already holds it, so that an unchanged
    sweep keeps its manifest's time stamp. True when written."""
    try:
        if pathlib.Path(path).read_text(encoding="utf-8") == text:
            return False
    except FileNotFoundError:
        pass
    write_atomic(path, text)
    return True


@dataclass(frozen=True)
class Chunk:
    number: int  # from 1
    first: int  # manifest rows, from 1, inclusive
    last: int

    @property
    def rows(self) -> str:
        return f"{self.first}-{self.last}"


def chunks(runs: int, size: int) -> list[Chunk]:
    return [Chunk(k + 1, a + 1, min(a + size, runs))
            for k, a in enumerate(range(0, runs, size))]


def chunk_digest(header: list[str], table: list[dict[str, str]], chunk: Chunk) -> str:
    """Names what a chunk runs: a chunk whose rows change is run again, one
    whose rows stay the same is not."""
    text = to_csv(header, table[chunk.first - 1:chunk.last])
    return hashlib.sha256(text.encode()).hexdigest()[:16]


def read_manifest(path) -> tuple[list[str], list[dict[str, str]]]:
    with open(path, newline="", encoding="utf-8") as f:
        reader = csv.DictReader(f)
        return list(reader.fieldnames or []), list(reader)


def chunk_list(chunk_table: list[Chunk]) -> str:
    """chunks.txt: "K A-B" per line, for a job array or GNU parallel."""
    return "".join(f"{c.number} {c.rows}\n" for c in chunk_table)


def prepare(sweep: Sweep, out_dir) -> tuple[list[str], list[dict[str, str]], list[Chunk]]:
    """Writes manifest.csv and chunks.txt into `out_dir` (each only when it
    changes) and returns the manifest and its chunks."""
    out_dir = pathlib.Path(out_dir)
    header, table = columns(sweep), rows(sweep)
    chunk_table = chunks(len(table), sweep.chunk)
    write_if_changed(out_dir / "manifest.csv", to_csv(header, table))
    write_if_changed(out_dir / "chunks.txt", chunk_list(chunk_table))
    return header, table, chunk_table
