"""Command line of the sweep tools, called by the workflow's rules and usable
without Snakemake (a Slurm job array, GNU parallel):

  python3 -m ombrisk_sweep prepare DESCRIPTION OUT [OMBRISK_BATCH]
      writes OUT/manifest.csv and OUT/chunks.txt ("K A-B" per chunk); with
      the program, also OUT/run-chunk, which runs chunk K as the workflow does
  python3 -m ombrisk_sweep run-chunk --help
      runs one chunk of manifest rows in one ombrisk-batch process
  python3 -m ombrisk_sweep gather MANIFEST RESULTS SUMMARY...
      checks the summaries against the manifest and writes RESULTS
  python3 -m ombrisk_sweep report DESCRIPTION RESULTS CHUNKS TEXT PNG [STARTED]
      writes the report and its plot (PNG "-" for none), with the times
      the chunks left in the folder CHUNKS; STARTED, the time (seconds since
      1970) this run of the workflow began, makes the wall time its own
"""

import pathlib
import sys

from . import description, gather, manifest, report, run_chunk


def main(argv) -> int:
    command, args = (argv[0], argv[1:]) if argv else ("", [])
    try:
        if command == "run-chunk":
            return run_chunk.main(args)
        if command == "prepare" and len(args) in (2, 3):
            sweep = description.load(args[0])
            _, table, chunks = manifest.prepare(sweep, args[1])
            print(f"{args[1]}: {len(table)} runs in {len(chunks)} chunks")
            if len(args) == 3:
                out = pathlib.Path(args[1]).resolve()
                (out / "logs").mkdir(exist_ok=True)  # Slurm opens its output there
                script = out / "run-chunk"
                manifest.write_if_changed(script, run_chunk.chunk_script(
                    sweep, len(chunks), out, pathlib.Path(args[2]).resolve(), sys.executable,
                    pathlib.Path(__file__).resolve().parents[1]))
                script.chmod(0o755)
                print(f"{script}: runs chunk K (1 to {len(chunks)})")
            return 0
        if command == "gather" and len(args) >= 3:
            runs = gather.write_results(args[0], args[2:], args[1])
            print(f"{args[1]}: {runs} runs")
            return 0
        if command == "report" and len(args) in (5, 6):
            sweep = description.load(args[0])
            timings = report.chunk_timings(args[2], sweep.runs, sweep.chunk)
            png = None if args[4] == "-" else args[4]
            started = float(args[5]) if len(args) == 6 else None
            text = report.write_report(sweep, args[1], timings, args[3], png, started)
            print(text, end="")
            return 0
    except (description.DescriptionError, gather.GatherError, ValueError, OSError) as e:
        print(f"ombrisk_sweep {command}: {e}", file=sys.stderr)
        return 1
    print(__doc__.strip(), file=sys.stderr)
    return 2


sys.exit(main(sys.argv[1:]))
