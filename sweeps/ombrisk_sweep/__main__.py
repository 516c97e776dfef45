"""Command line of the sweep tools, for the forms that run the chunks without
Snakemake (a Slurm job array, GNU parallel):

  python3 -m ombrisk_sweep prepare DESCRIPTION OUT   manifest.csv and chunks.txt
  python3 -m ombrisk_sweep run-chunk ...             one chunk (see --help)
"""

import sys

from . import description, manifest, run_chunk


def main(argv) -> int:
    if len(argv) >= 1 and argv[0] == "run-chunk":
        return run_chunk.main(argv[1:])
    if len(argv) == 3 and argv[0] == "prepare":
        try:
            sweep = description.load(argv[1])
        except description.DescriptionError as e:
            print(e, file=sys.stderr)
            return 2
        _, table, chunks = manifest.prepare(sweep, argv[2])
        print(f"{argv[2]}: {len(table)} runs in {len(chunks)} chunks")
        return 0
    print(__doc__.strip(), file=sys.stderr)
    return 2


sys.exit(main(sys.argv[1:]))
