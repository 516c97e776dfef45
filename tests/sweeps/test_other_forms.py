"""The same tiny sweep run the other ways README gives, each checked against
the workflow run on this machine: the chunks through Snakemake's --cluster
with the Slurm profile (an sbatch stand-in that starts the job script here),
and the prepared run-chunk script under GNU parallel and as job array tasks,
then gathered by the workflow without running a chunk again.

  python3 test_other_forms.py OMBRISK_BATCH SOURCE_DIR WORK_DIR"""

import os
import pathlib
import shutil
import subprocess
import sys
import unittest

BATCH, ROOT, WORK = (pathlib.Path(a).resolve() for a in sys.argv[1:4])
del sys.argv[1:4]
SWEEP = ROOT / "scripts" / "sweep"

DESCRIPTION = """\
name: forms
size: 50
steps: 200
seed: 4
replicates: 3
chunk: 4
axes:
  kepi: [0.2, 0.3]
  stomata: [10, 20]
"""

# Stands in for sbatch: starts the job script (the last argument) in the
# background, as a node would, and prints a job id as --parsable does.
FAKE_SBATCH = """#!/bin/sh
for last; do :; done
nohup bash "$last" >/dev/null 2>&1 &
echo 4242
"""


def sweep(out, *extra, env=None):
    return subprocess.run([str(SWEEP), str(WORK / "forms.yaml"), "--out", str(out), "--batch",
                           str(BATCH), "--cores", "2", *extra], capture_output=True, text=True,
                          env=env)


def chunks_run(log: str):
    return sorted(int(line.split("=")[1]) for line in log.splitlines()
                  if line.strip().startswith("wildcards: k="))


class OtherFormsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        WORK.mkdir(parents=True)
        (WORK / "forms.yaml").write_text(DESCRIPTION)
        local = sweep(WORK / "local")
        assert local.returncode == 0, local.stderr
        cls.results = (WORK / "local" / "results.csv").read_bytes()

    def check(self, result):
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def gathered_without_rerun(self, out):
        gather = sweep(out)
        self.check(gather)
        self.assertEqual(chunks_run(gather.stderr), [])
        self.assertEqual((out / "results.csv").read_bytes(), self.results)

    def test_cluster_submission_with_the_slurm_profile(self):
        bin_dir = WORK / "bin"
        bin_dir.mkdir(exist_ok=True)
        (bin_dir / "sbatch").write_text(FAKE_SBATCH)
        (bin_dir / "sbatch").chmod(0o755)
        env = dict(os.environ, PATH=f"{bin_dir}:{os.environ['PATH']}")
        out = WORK / "cluster"
        run = sweep(out, "--", "--profile", str(ROOT / "sweeps" / "profiles" / "slurm"), env=env)
        self.check(run)
        self.assertIn("Submitted job", run.stdout + run.stderr)
        self.assertEqual(chunks_run(run.stderr), [1, 2, 3])
        self.assertEqual((out / "results.csv").read_bytes(), self.results)

    def prepared(self, name):
        out = WORK / name
        self.check(sweep(out, "--prepare"))
        self.assertEqual((out / "chunks.txt").read_text(), "1 1-4\n2 5-8\n3 9-12\n")
        return out

    @unittest.skipUnless(shutil.which("parallel"), "GNU parallel is not installed")
    def test_gnu_parallel_over_the_prepared_chunks(self):
        out = self.prepared("parallel")
        self.check(subprocess.run(f"cut -d' ' -f1 chunks.txt | parallel -j2 ./run-chunk",
                                  shell=True, cwd=out, capture_output=True, text=True))
        self.gathered_without_rerun(out)

    def test_job_array_tasks(self):
        out = self.prepared("array")
        for k in (1, 2, 3):
            env = dict(os.environ, SLURM_ARRAY_TASK_ID=str(k))
            self.check(subprocess.run([str(out / "run-chunk")], env=env, cwd=WORK,
                                      capture_output=True, text=True))
        self.gathered_without_rerun(out)


if __name__ == "__main__":
    unittest.main(verbosity=2)
