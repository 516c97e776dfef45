"""The chunks' summaries gathered into one results table, one row per run in
manifest order, after checking that every run is there once and that each
row's parameters are the ones its manifest row asked for."""

from __future__ import annotations

import csv
import math
import pathlib

from .manifest import read_manifest, to_csv, write_atomic


class GatherError(ValueError):
    pass


# Where a summary records a manifest column under other names: the lattice
# size as its rows and columns, the steps as the steps run, the run id (the
# manifest row) as the row the batch program read.
SUMMARY_NAMES = {"size": ("rows", "cols"), "steps": ("steps_run",),
                 "run_id": ("run_id", "manifest_row")}


def summary_names(column: str) -> tuple[str, ...]:
    return SUMMARY_NAMES.get(column, (column,))


def _same_value(asked: str, got: str) -> bool:
    if asked == got:
        return True
    try:
        a, g = float(asked), float(got)
    except ValueError:
        return False
    return a == g or (math.isnan(a) and math.isnan(g))


def read_summary(path) -> tuple[list[str], list[dict[str, str]]]:
    with open(path, newline="", encoding="utf-8") as f:
        reader = csv.DictReader(f)
        header = list(reader.fieldnames or [])
        table = list(reader)
    for i, row in enumerate(table, start=2):
        if None in row or any(v is None for v in row.values()):
            raise GatherError(f"{path}: line {i} does not have the header's {len(header)} columns")
    return header, table


def gather(manifest_path, summary_paths) -> tuple[list[str], list[dict[str, str]]]:
    m_header, m_rows = read_manifest(manifest_path)
    header = None
    by_id: dict[str, tuple[dict[str, str], str]] = {}
    for path in summary_paths:
        h, table = read_summary(path)
        if header is None:
            header = h
            lacking = [n for c in m_header for n in summary_names(c) if n not in header]
            if lacking:
                raise GatherError(f"{path}: the summary has no column {lacking[0]}")
        elif h != header:
            raise GatherError(f"{path}: its columns differ from those of {summary_paths[0]}")
        for row in table:
            rid = row["run_id"]
            if rid in by_id:
                raise GatherError(f"run_id {rid} is both in {by_id[rid][1]} and in {path}")
            by_id[rid] = (row, str(path))

    if header is None:
        raise GatherError("there are no summaries to gather")
    out = []
    for m in m_rows:
        rid = m["run_id"]
        if rid not in by_id:
            raise GatherError(f"run_id {rid} (manifest row {rid}) is in no summary")
        row, path = by_id.pop(rid)
        for c in m_header:
            for n in summary_names(c):
                if not _same_value(m[c], row[n]):
                    raise GatherError(f"{path}: run_id {rid}: {n} is {row[n]}, the manifest "
                                      f"asked for {c} {m[c]}")
        out.append(row)
    if by_id:
        rid, (_, path) = next(iter(by_id.items()))
        raise GatherError(f"{path}: run_id {rid} is not in the manifest")
    return header, out


def write_results(manifest_path, summary_paths, out_path) -> int:
    header, table = gather(manifest_path, [pathlib.Path(p) for p in summary_paths])
    write_atomic(out_path, to_csv(header, table))
    return len(table)
