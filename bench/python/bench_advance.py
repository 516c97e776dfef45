#!/usr/bin/env python3
"""advance() from Python against the same steps in C++, side by side.

    bench_advance.py REFERENCE_PROGRAM [--rounds N]

Two cases, each timed in alternating rounds (C++ process, then Python) so that
the machine's drift bends both alike; prints the median of each and their
ratio:
  large: 800 x 800 with 20000 stomata, advance(20) once (in cache: one grid
         fits a 32 MB last-level cache);
  calls: 100 x 100 with 10 stomata, advance(1) called 10000 times.
The C++ side also prints the final mean p, which must equal Python's: the
same steps were run.
"""
import argparse
import statistics
import subprocess
import time

import ombrisk

CASES = {
    "large": dict(side=800, stomata=20000, steps=20, calls=1),
    "calls": dict(side=100, stomata=10, steps=1, calls=10000),
}


def python_run(side, stomata, steps, calls):
    m = ombrisk.Model(seed=1)
    m.resize(side)
    m.place_stomata(stomata)
    m.advance(1)
    m_step0 = m.step
    advance = m.advance
    start = time.perf_counter()
    for _ in range(calls):
        advance(steps)
    took = time.perf_counter() - start
    assert m.step == m_step0 + steps * calls
    return took, m.mean_p


def cpp_run(program, side, stomata, steps, calls):
    out = subprocess.run([program, str(side), str(stomata), str(steps), str(calls)],
                         capture_output=True, text=True, check=True).stdout.split()
    return float(out[0]), float(out[1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("reference")
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    for name, case in CASES.items():
        cpp, py = [], []
        for _ in range(args.rounds):
            t, cpp_mean = cpp_run(args.reference, **case)
            cpp.append(t)
            t, py_mean = python_run(**case)
            py.append(t)
            if cpp_mean != py_mean:
                raise SystemExit(f"{name}: C++ and Python ran different steps "
                                 f"({cpp_mean!r} and {py_mean!r})")
        c, p = statistics.median(cpp), statistics.median(py)
        print(f"{name}: C++ {c * 1e3:.2f} ms, Python {p * 1e3:.2f} ms, "
              f"Python / C++ = {p / c:.3f} (min {min(py) / min(cpp):.3f}, {args.rounds} rounds)")


if __name__ == "__main__":
    main()
