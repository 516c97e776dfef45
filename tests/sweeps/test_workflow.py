"""A tiny sweep run end to end by scripts/sweep with the real ombrisk-batch:
results.csv holds every run with its parameters, each row is what the same
run gives when typed on the command line, a rerun does nothing, a removed or
failed chunk is run again alone, more replicates run only the new rows, and
fields come out as arrays.

  python3 test_workflow.py OMBRISK_BATCH SOURCE_DIR WORK_DIR"""

import csv
import pathlib
import re
import shutil
import subprocess
import sys
import unittest

BATCH, ROOT, WORK = (pathlib.Path(a).resolve() for a in sys.argv[1:4])
del sys.argv[1:4]
sys.path.insert(0, str(ROOT / "sweeps"))
from ombrisk_sweep import description  # noqa: E402
SWEEP = ROOT / "scripts" / "sweep"
OUT = WORK / "out"

DESCRIPTION = """\
name: tiny
size: 50
steps: 200
seed: 11
replicates: {replicates}
chunk: 4
axes:
  kepi: [0.2, 0.3]
  stomata: [10, 20]
"""

# Columns a manifest run has and a run typed on the command line has not.
MANIFEST_ONLY = {"manifest_row", "run_id", "replicate"}


def read_csv(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def sweep(description, batch=BATCH, out=OUT):
    return subprocess.run([str(SWEEP), str(description), "--out", str(out), "--batch",
                           str(batch), "--cores", "2"], capture_output=True, text=True)


def stamps(out=OUT):
    return {p.name: p.stat().st_mtime_ns for p in sorted((out / "chunks").glob("chunk_*.csv"))}


def jobs_run(log: str):
    """The chunk numbers Snakemake ran, from its log."""
    return sorted(int(line.split("=")[1]) for line in log.splitlines()
                  if line.strip().startswith("wildcards: k="))


class SweepWorkflowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        WORK.mkdir(parents=True)
        cls.desc = WORK / "tiny.yaml"
        cls.desc.write_text(DESCRIPTION.format(replicates=3))
        cls.first = sweep(cls.desc)

    def check(self, result):
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_0_the_sweeps_know_the_batch_programs_fields(self):
        usage = subprocess.run([str(BATCH), "--help"], capture_output=True, text=True).stdout
        text = usage[usage.index("set one field:") + len("set one field:"):usage.index("--steps N")]
        names = re.findall(r"[A-Za-z_]\w*", text.replace("(0 or 1)", ""))
        self.assertEqual(names, list(description.FIELDS))
        flags = re.findall(r"(\w+) \(0 or 1\)", text.replace("\n", " "))
        self.assertTrue(set(flags) <= {n for n, k in description.FIELDS.items() if k == "flag"})

    def test_1_results_hold_every_run_as_the_command_line_gives_it(self):
        self.check(self.first)
        results = read_csv(OUT / "results.csv")
        manifest = read_csv(OUT / "manifest.csv")
        self.assertEqual([r["run_id"] for r in results], [str(i) for i in range(1, 13)])
        expected = [(str(rep), k, n) for rep in (1, 2, 3) for k in (0.2, 0.3)
                    for n in ("10", "20")]
        self.assertEqual([(r["replicate"], float(r["kepi"]), r["stomata"]) for r in results],
                         expected)
        for r, m in zip(results, manifest):
            self.assertEqual((r["seed"], r["rows"], r["cols"], r["steps_run"], r["exit_status"],
                              r["manifest_row"]),
                             (m["seed"], "50", "50", "200", "0", m["run_id"]))
        self.assertEqual(len({r["seed"] for r in results}), 3)
        self.assertTrue(set(description.OBSERVABLES) <= set(results[0]))
        self.assertEqual(sorted(p.name for p in (OUT / "chunks").glob("*.csv")),
                         ["chunk_1.csv", "chunk_2.csv", "chunk_3.csv"])

        direct = WORK / "direct.csv"
        direct.unlink(missing_ok=True)
        for r in results:
            subprocess.run([str(BATCH), "--seed", r["seed"], "--size", "50", "--stomata",
                            r["stomata"], "--set", "kepi=" + r["kepi"], "--steps", "200",
                            "--summary", str(direct)], check=True, capture_output=True)
        for r, d in zip(results, read_csv(direct)):
            with self.subTest(run_id=r["run_id"]):
                self.assertEqual({k: v for k, v in r.items() if k not in MANIFEST_ONLY},
                                 {k: v for k, v in d.items() if k not in MANIFEST_ONLY})
        report = (OUT / "report.txt").read_text()
        self.assertIn("Sweep tiny: 12 runs (2 kepi x 2 stomata x 3 replicates) in 3 chunks", report)
        diverged = sum(r["diverged"] == "1" for r in results)
        self.assertIn(f"Diverged: {diverged}", report)
        self.assertTrue((OUT / "report.png").read_bytes().startswith(b"\x89PNG"))

    def test_2_a_rerun_does_nothing(self):
        before, results = stamps(), (OUT / "results.csv").stat().st_mtime_ns
        again = sweep(self.desc)
        self.check(again)
        self.assertIn("Nothing to be done", again.stdout + again.stderr)
        self.assertEqual(stamps(), before)
        self.assertEqual((OUT / "results.csv").stat().st_mtime_ns, results)

    def test_3_a_removed_chunk_is_run_again_alone(self):
        before, results = stamps(), (OUT / "results.csv").read_bytes()
        (OUT / "chunks" / "chunk_2.csv").unlink()
        again = sweep(self.desc)
        self.check(again)
        self.assertEqual(jobs_run(again.stderr), [2])
        after = stamps()
        self.assertEqual({k: v for k, v in after.items() if k != "chunk_2.csv"},
                         {k: v for k, v in before.items() if k != "chunk_2.csv"})
        self.assertEqual((OUT / "results.csv").read_bytes(), results)

    def test_4_a_failed_chunk_is_named_and_keeps_the_others(self):
        failing = WORK / "failing-batch"
        failing.write_text(f"""#!/bin/sh
case " $* " in *" 5-8 "*) echo "ombrisk-batch: made to fail" >&2; exit 1 ;; esac
exec {BATCH} "$@"
""")
        failing.chmod(0o755)
        results = (OUT / "results.csv").read_bytes()
        (OUT / "chunks" / "chunk_2.csv").unlink()
        (OUT / "chunks" / "chunk_3.csv").unlink()
        before = stamps()
        failed = sweep(self.desc, batch=failing)
        self.assertNotEqual(failed.returncode, 0)
        self.assertIn("1 of 3 chunks failed:", failed.stderr)
        self.assertIn("chunk 2 (manifest rows 5-8) failed: ombrisk-batch exit status 1:\n"
                      "  ombrisk-batch: made to fail", failed.stderr)
        self.assertEqual(sorted(stamps()), ["chunk_1.csv", "chunk_3.csv"])
        self.assertEqual(stamps()["chunk_1.csv"], before["chunk_1.csv"])
        self.assertFalse((OUT / "chunks" / "chunk_2.csv.part").exists())

        again = sweep(self.desc)
        self.check(again)
        self.assertEqual(jobs_run(again.stderr), [2])
        self.assertFalse((OUT / "failed" / "chunk_2.txt").exists())
        self.assertEqual((OUT / "results.csv").read_bytes(), results)

    def test_5_more_replicates_run_only_the_new_rows(self):
        results = read_csv(OUT / "results.csv")
        self.desc.write_text(DESCRIPTION.format(replicates=4))
        try:
            more = sweep(self.desc)
            self.check(more)
            self.assertEqual(jobs_run(more.stderr), [4])
            extended = read_csv(OUT / "results.csv")
            self.assertEqual(extended[:12], results)
            self.assertEqual(len(extended), 16)
        finally:
            self.desc.write_text(DESCRIPTION.format(replicates=3))

    def test_6_fields_per_run(self):
        import numpy
        desc = WORK / "fields.yaml"
        desc.write_text("size: 50\nsteps: 200\nreplicates: 2\nchunk: 1\n"
                        "axes: {kepi: [0.2]}\nstomata: 10\nfields: {every: 100}\n")
        out = WORK / "fields-out"
        self.check(sweep(desc, out=out))
        for run_id in ("1", "2"):
            p = numpy.load(out / "fields" / f"run_{run_id}.npy", mmap_mode="r")
            j = numpy.load(out / "fields" / f"run_{run_id}_j.npy", mmap_mode="r")
            self.assertEqual(p.shape, (2, 50, 50))
            self.assertEqual(j.shape, (2, 10))
            self.assertTrue((out / "fields" / f"run_{run_id}.json").exists())
        # The last frame is the run's end: its mean p is the summary's (summed
        # in another order, so to rounding).
        row = read_csv(out / "results.csv")[1]
        last = numpy.load(out / "fields" / "run_2.npy")[-1]
        self.assertAlmostEqual(float(last.mean()), float(row["mean_p"]), delta=1e-12)
        self.assertEqual(float(last.min()), float(row["p_min"]))


if __name__ == "__main__":
    unittest.main(verbosity=2)
