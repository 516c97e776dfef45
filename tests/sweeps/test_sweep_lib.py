"""The sweep workflow's Python on its own: descriptions, manifests and seeds,
chunks, the chunk runner's handling of a failing program, gathering and the
report. Run as: python3 test_sweep_lib.py SWEEPS_DIR"""

import csv
import io
import json
import os
import pathlib
import sys
import tempfile
import textwrap
import unittest

SWEEPS = pathlib.Path(sys.argv.pop(1) if len(sys.argv) > 1 else
                      pathlib.Path(__file__).resolve().parents[2] / "sweeps")
sys.path.insert(0, str(SWEEPS))

from ombrisk_sweep import description, gather, manifest, report, run_chunk  # noqa: E402

BASE = {"steps": 200, "size": 50, "replicates": 3, "seed": 7, "chunk": 4,
        "axes": {"kepi": [0.1, 0.2], "stomata": [10, 20]}}


def sweep(**changes):
    doc = {**BASE, **changes}
    return description.parse({k: v for k, v in doc.items() if v is not None})


class DescriptionTest(unittest.TestCase):
    def test_values_are_written_as_the_batch_reads_them(self):
        s = sweep(axes={"kepi": [0.1, "1e-3", 2], "offset_from_mean": [True, 0]},
                  spacing=2, border=3)
        self.assertEqual(s.axes, [("kepi", ["0.1", "0.001", "2"]),
                                  ("offset_from_mean", ["1", "0"])])
        self.assertEqual(s.fixed, {"size": "50", "border": "3", "spacing": "2", "steps": "200"})
        self.assertEqual(s.runs, 6 * 3)

    def test_a_range_gives_round_values(self):
        s = sweep(axes={"kepi": {"from": 0.1, "to": 0.3, "count": 5},
                        "stomata": {"from": 10, "to": 40, "count": 4}})
        self.assertEqual(dict(s.axes), {"kepi": ["0.1", "0.15", "0.2", "0.25", "0.3"],
                                        "stomata": ["10", "20", "30", "40"]})

    def test_bad_descriptions_are_refused_naming_the_key(self):
        cases = [
            ({"axes": {"kepy": [1]}}, "unknown parameter 'kepy'"),
            ({"kepy": 1}, "unknown key 'kepy'"),
            ({"size": 60}, "size must be 50, 100"),
            ({"axes": {"stomata": [10, 2.5]}}, "stomata[1]: 2.5 is not a whole number"),
            ({"axes": {"kepi": [0.1, 0.1]}}, "0.1 is given twice"),
            ({"axes": {"kepi": []}}, "no values"),
            ({"axes": {"kepi": ["x"]}}, "'x' is not a number"),
            ({"axes": {"kepi": [float("nan")]}}, "not a finite number"),
            ({"offset_from_mean": 2}, "must be 0 or 1"),
            ({"steps": None}, "steps is missing"),
            ({"steps": -1}, "must be from 0"),
            ({"replicates": 0}, "replicates must be a whole number from 1"),
            ({"chunk": 0}, "chunk must be"),
            ({"kepi": 0.2}, "kepi is both fixed and an axis"),
            ({"seeds": [1, 2]}, "not both"),
            ({"plot": {"x": "kin"}}, "x must be one of the axes"),
            ({"plot": {"x": "kepi", "series": "kepi"}}, "different axes"),
            ({"name": "../x"}, "plain file name"),
            ({"plot": {"observable": "mean_J"}}, "observable must be one of mean_j, total_j"),
            ({"fields": {"every": 0}}, "every must be"),
        ]
        for change, message in cases:
            with self.subTest(change=change):
                with self.assertRaises(description.DescriptionError) as cm:
                    sweep(**change)
                self.assertIn(message, str(cm.exception))

    def test_load_names_the_file(self):
        with tempfile.TemporaryDirectory() as d:
            p = pathlib.Path(d, "bad.yaml")
            p.write_text("axes: [unclosed\n")
            with self.assertRaisesRegex(description.DescriptionError, "bad.yaml: not valid YAML"):
                description.load(p)
            with self.assertRaisesRegex(description.DescriptionError, "cannot be read"):
                description.load(pathlib.Path(d, "missing.yaml"))
            p.write_text("steps: 10\naxes: {kepi: [0.1]}\n")
            self.assertEqual(description.load(p).name, "bad")

    def test_plot_defaults_to_the_first_two_axes(self):
        self.assertEqual(sweep().plot, description.Plot("mean_j", "kepi", "stomata"))
        self.assertEqual(sweep(plot={"x": "stomata"}).plot.series, "kepi")
        self.assertIsNone(sweep(axes={}).plot.x)


class ManifestTest(unittest.TestCase):
    def test_rows_replicates_outermost_with_one_seed_per_replicate(self):
        s = sweep(kin=0.05)
        table = manifest.rows(s)
        self.assertEqual(manifest.columns(s), ["run_id", "replicate", "seed", "size",
                                               "stomata", "steps", "kepi", "kin"])
        self.assertEqual([r["run_id"] for r in table], [str(i) for i in range(1, 13)])
        self.assertEqual([(r["replicate"], r["kepi"], r["stomata"]) for r in table[:5]],
                         [("1", "0.1", "10"), ("1", "0.1", "20"), ("1", "0.2", "10"),
                          ("1", "0.2", "20"), ("2", "0.1", "10")])
        seeds = [r["seed"] for r in table]
        self.assertEqual(len(set(seeds[:4])), 1)
        self.assertEqual(len(set(seeds[::4])), 3)
        self.assertTrue(all(r["kin"] == "0.05" and r["size"] == "50" for r in table))

    def test_seeds_are_fixed_by_the_description_alone(self):
        # The derivation is part of the format: these numbers must not change.
        self.assertEqual(description.replicate_seed(7, 1), 1417124074)
        self.assertEqual(description.replicate_seed(7, 2), 293927404)
        self.assertEqual(manifest.rows(sweep()), manifest.rows(sweep()))
        self.assertNotEqual(sweep(seed=8).seeds, sweep().seeds)
        self.assertEqual(sweep(seeds=[5, 9], replicates=None, seed=None).seeds, [5, 9])

    def test_seed_per_run(self):
        table = manifest.rows(sweep(seed_mode="run"))
        self.assertEqual(len({r["seed"] for r in table}), 12)
        self.assertEqual(table, manifest.rows(sweep(seed_mode="run")))

    def test_more_replicates_leave_the_earlier_chunks_as_they_were(self):
        small, large = sweep(replicates=2), sweep(replicates=3)
        h, t2, t3 = manifest.columns(small), manifest.rows(small), manifest.rows(large)
        self.assertEqual(t3[:8], t2)
        c = manifest.chunks(8, 4)
        self.assertEqual([manifest.chunk_digest(h, t2, x) for x in c],
                         [manifest.chunk_digest(h, t3, x) for x in c])
        self.assertNotEqual(manifest.chunk_digest(h, t3, c[0]),
                            manifest.chunk_digest(h, t3, c[1]))

    def test_chunks_cover_every_row_once(self):
        self.assertEqual([c.rows for c in manifest.chunks(10, 4)], ["1-4", "5-8", "9-10"])
        self.assertEqual([c.rows for c in manifest.chunks(8, 4)], ["1-4", "5-8"])
        self.assertEqual([c.rows for c in manifest.chunks(3, 50)], ["1-3"])
        self.assertEqual(manifest.chunk_list(manifest.chunks(5, 4)), "1 1-4\n2 5-5\n")

    def test_prepare_rewrites_only_what_changed(self):
        with tempfile.TemporaryDirectory() as d:
            manifest.prepare(sweep(), d)
            m = pathlib.Path(d, "manifest.csv")
            os.utime(m, (1000, 1000))
            manifest.prepare(sweep(), d)
            self.assertEqual(m.stat().st_mtime, 1000)
            manifest.prepare(sweep(replicates=4), d)
            self.assertNotEqual(m.stat().st_mtime, 1000)
            header, table = manifest.read_manifest(m)
            self.assertEqual(len(table), 16)
            self.assertEqual(pathlib.Path(d, "chunks.txt").read_text().splitlines()[-1], "4 13-16")
            self.assertEqual(sorted(os.listdir(d)), ["chunks.txt", "manifest.csv"])


def summary_text(header, table):
    return manifest.to_csv(header, table)


def fake_summary(table, extra=("mean_j", "diverged", "exit_status")):
    """The summary a run of these manifest rows would give, with made-up values."""
    header = ["manifest_row", "rows", "cols", "steps_run"] + list(table[0]) + list(extra)
    out = []
    for r in table:
        row = dict(r, manifest_row=r["run_id"], rows=r["size"], cols=r["size"],
                   steps_run=r["steps"])
        row["mean_j"] = str(float(r["kepi"]) * int(r["stomata"]) + int(r["replicate"]) / 100)
        row["diverged"] = "1" if r["run_id"] == "4" else "0"
        row["exit_status"] = "0"
        out.append(row)
    return header, out


class GatherTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.d = pathlib.Path(self.dir.name)
        self.header, self.table, self.chunks = manifest.prepare(sweep(), self.d)
        self.paths = []
        h, rows = fake_summary(self.table)
        for c in self.chunks:
            p = self.d / f"chunk_{c.number}.csv"
            p.write_text(summary_text(h, rows[c.first - 1:c.last]))
            self.paths.append(p)

    def tearDown(self):
        self.dir.cleanup()

    def test_results_in_manifest_order_whatever_the_chunk_order(self):
        n = gather.write_results(self.d / "manifest.csv", self.paths[::-1], self.d / "r.csv")
        self.assertEqual(n, 12)
        _, rows = gather.read_summary(self.d / "r.csv")
        self.assertEqual([r["run_id"] for r in rows], [str(i) for i in range(1, 13)])
        self.assertEqual(rows[5]["kepi"], "0.1")

    def test_a_missing_duplicated_or_wrong_run_is_refused(self):
        original = self.paths[1].read_text()

        def broken(edit):
            self.paths[1].write_text(original)
            h, rows = gather.read_summary(self.paths[1])
            edit(rows)
            self.paths[1].write_text(summary_text(h, rows))
            with self.assertRaises(gather.GatherError) as cm:
                gather.gather(self.d / "manifest.csv", self.paths)
            return str(cm.exception)

        self.assertIn("run_id 8 (manifest row 8) is in no summary", broken(lambda r: r.pop()))
        self.assertIn("run_id 1 is both in", broken(lambda r: r.append(dict(r[0], run_id="1"))))
        self.assertIn("run_id 99 is not in the manifest",
                      broken(lambda r: r.append(dict(r[0], run_id="99"))))
        msg = broken(lambda r: r[0].update(kepi="0.3"))
        self.assertIn("run_id 5: kepi is 0.3, the manifest asked for kepi 0.1", msg)
        msg = broken(lambda r: r[1].update(cols="100"))
        self.assertIn("run_id 6: cols is 100, the manifest asked for size 50", msg)
        msg = broken(lambda r: r[1].update(steps_run="199"))
        self.assertIn("steps_run is 199, the manifest asked for steps 200", msg)
        msg = broken(lambda r: r[1].update(manifest_row="5"))
        self.assertIn("run_id 6: manifest_row is 5", msg)

    def test_equal_numbers_written_differently_are_the_same(self):
        h, rows = gather.read_summary(self.paths[0])
        for r in rows:
            r["kepi"] = repr(float(r["kepi"])) + "0"
            r["stomata"] = r["stomata"] + ".0"
        self.paths[0].write_text(summary_text(h, rows))
        self.assertEqual(len(gather.gather(self.d / "manifest.csv", self.paths)[1]), 12)

    def test_ragged_or_mismatched_summaries_are_refused(self):
        self.paths[2].write_text(self.paths[2].read_text() + "1,2\n")
        with self.assertRaisesRegex(gather.GatherError, "line 6 does not have"):
            gather.gather(self.d / "manifest.csv", self.paths)
        h, rows = gather.read_summary(self.paths[0])
        self.paths[2].write_text(summary_text(h + ["more"], rows))
        with self.assertRaisesRegex(gather.GatherError, "columns differ"):
            gather.gather(self.d / "manifest.csv", self.paths)


class ReportTest(unittest.TestCase):
    def test_counts_times_points_and_plot(self):
        s = sweep()
        _, h = None, None
        with tempfile.TemporaryDirectory() as d:
            d = pathlib.Path(d)
            header, table, chunks = manifest.prepare(s, d)
            h, rows = fake_summary(table)
            rows[6]["mean_j"] = "nan"
            (d / "results.csv").write_text(summary_text(h, rows))
            timings = []
            for i, (start, end) in enumerate([(100.0, 103.0), (100.5, 102.0), (103.0, 104.5)]):
                p = d / f"t{i}.json"
                p.write_text(json.dumps({"start": start, "end": end}))
                timings.append(p)
            text = report.write_report(s, d / "results.csv", timings, d / "report.txt",
                                       d / "report.png")
            self.assertTrue((d / "report.png").read_bytes().startswith(b"\x89PNG"))
        lines = text.splitlines()
        self.assertEqual(lines[0], "Sweep sweep: 12 runs (2 kepi x 2 stomata x 3 replicates) "
                                   "in 3 chunks of up to 4")
        self.assertEqual(lines[1], "Diverged: 1 (run_id 4)")
        self.assertIn("Wall time: 4.50 s from the first chunk", lines[2])
        self.assertIn("add up to 6.00 s", lines[2])
        # kepi 0.1, 10 stomata: replicates give 1.01, 1.02, 1.03.
        self.assertIn("0.1  10  1.02  0.01  3  0", lines)
        # kepi 0.2, 20 stomata: run 4 (replicate 1) diverged.
        self.assertIn("0.2  20  4.025  0.00707  2  1", lines)
        # kepi 0.2, 10 stomata: run 7 (replicate 2) has no finite value.
        self.assertIn("0.2  10  2.02  0.0141  2  1", lines)

    def test_points_are_grouped_by_value_and_shown_short(self):
        table = [{"kepi": "0.10000000000000001", "mean_j": "1", "diverged": "0"},
                 {"kepi": "0.1", "mean_j": "3", "diverged": "0"},
                 {"kepi": "2.0", "mean_j": "5", "diverged": "0"}]
        self.assertEqual(list(report.point_statistics(table, "mean_j", ["kepi"]).items()),
                         [(("0.1",), (2.0, 2 ** 0.5, 2, 0)), (("2",), (5.0, 0.0, 1, 0))])

    def test_wall_time_of_this_run_of_the_workflow(self):
        with tempfile.TemporaryDirectory() as d:
            paths = []
            for i, (start, end) in enumerate([(100.0, 103.0), (103.0, 104.5)]):
                paths.append(pathlib.Path(d, f"chunk_{i + 1}.json"))
                paths[-1].write_text(json.dumps({"start": start, "end": end}))
            self.assertEqual(report.chunk_times(paths, started=101.0, now=110.0),
                             report.Times(9.0, 4.5, 2, 1))
            self.assertEqual(report.chunk_timings(d, runs=9, chunk=4), paths)

    def test_an_observable_the_results_lack_is_named(self):
        s = sweep(plot={"observable": "total_j"})
        with tempfile.TemporaryDirectory() as d:
            d = pathlib.Path(d)
            _, table, _ = manifest.prepare(s, d)
            h, rows = fake_summary(table)
            (d / "results.csv").write_text(summary_text(h, rows))
            with self.assertRaisesRegex(ValueError, "no column 'total_j'.*mean_j"):
                report.write_report(s, d / "results.csv", [], d / "r.txt", d / "r.png")


FAKE_BATCH = textwrap.dedent("""\
    #!/usr/bin/env python3
    # Stands in for ombrisk-batch: copies the asked rows to the summary, or
    # fails as FAKE_MODE says.
    import csv, os, sys
    a = dict(zip(sys.argv[1::2], sys.argv[2::2]))
    mode = os.environ.get("FAKE_MODE", "")
    if mode == "status2":
        print("ombrisk-batch: manifest row 6, column kepi: not a number", file=sys.stderr)
        sys.exit(2)
    first, last = map(int, a["--rows"].split("-"))
    rows = list(csv.DictReader(open(a["--manifest"])))[first - 1:last]
    if mode == "short":
        rows = rows[:-1]
    with open(a["--summary"], "a") as f:
        w = csv.DictWriter(f, fieldnames=list(rows[0]) + ["mean_j"])
        w.writeheader()
        for r in rows:
            w.writerow(dict(r, mean_j="1"))
    sys.exit(3 if mode == "status3" else 0)
    """)


class RunChunkTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.d = pathlib.Path(self.dir.name)
        manifest.prepare(sweep(), self.d)
        self.batch = self.d / "fake-batch"
        self.batch.write_text(FAKE_BATCH)
        self.batch.chmod(0o755)

    def tearDown(self):
        self.dir.cleanup()
        os.environ.pop("FAKE_MODE", None)

    def run_chunk(self, mode=""):
        os.environ["FAKE_MODE"] = mode
        err = io.StringIO()
        real, sys.stderr = sys.stderr, err
        try:
            status = run_chunk.run(str(self.batch), self.d / "manifest.csv", 2, 5, 8,
                                   self.d / "chunks/chunk_2.csv", self.d / "logs/chunk_2.log",
                                   self.d / "chunks/chunk_2.json", self.d / "failed")
        finally:
            sys.stderr = real
        return status, err.getvalue()

    def test_a_good_chunk_leaves_its_summary_and_times(self):
        status, _ = self.run_chunk()
        self.assertEqual(status, 0)
        with open(self.d / "chunks/chunk_2.csv") as f:
            self.assertEqual([r["run_id"] for r in csv.DictReader(f)], ["5", "6", "7", "8"])
        t = json.loads((self.d / "chunks/chunk_2.json").read_text())
        self.assertEqual((t["rows"], t["runs"], t["exit_status"]), ("5-8", 4, 0))
        self.assertFalse((self.d / "failed/chunk_2.txt").exists())
        self.assertIn("--rows 5-8", (self.d / "logs/chunk_2.log").read_text())

    def test_placement_out_of_attempts_is_still_a_result(self):
        self.assertEqual(self.run_chunk("status3")[0], 0)

    def test_a_failure_names_chunk_rows_and_error_and_leaves_no_summary(self):
        for mode, error in (("status2", "exit status 2:\nombrisk-batch: manifest row 6"),
                            ("short", "missing run_id 8")):
            with self.subTest(mode=mode):
                status, err = self.run_chunk(mode)
                self.assertEqual(status, 1)
                self.assertIn("chunk 2 (manifest rows 5-8) failed: ", err)
                self.assertIn(error, err)
                self.assertEqual((self.d / "failed/chunk_2.txt").read_text(), err)
                self.assertEqual(list((self.d / "chunks").glob("chunk_2.csv*")), [])
        # The same chunk run again after the cause is gone: the note goes.
        self.assertEqual(self.run_chunk()[0], 0)
        self.assertFalse((self.d / "failed/chunk_2.txt").exists())

    def test_a_program_that_cannot_start(self):
        self.batch.unlink()
        status, err = self.run_chunk()
        self.assertEqual(status, 1)
        self.assertIn("could not be started", err)


if __name__ == "__main__":
    unittest.main()
