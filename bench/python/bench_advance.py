#!/usr/bin/env python3
"""advance() from Python against the same steps in C++, side by side.

    bench_advance.py REFERENCE_LIBRARY [--rounds N]

REFERENCE_LIBRARY is advance_reference.so, the same steps in C++, loaded into
this process so that both sides share its allocator and memory layout. Two
cases, each timed in alternating rounds (C++, then Python) so that
the machine's drift bends both alike; prints the medians and the median of
the rounds' ratios:
  large: 800 x 800 with 20000 stomata, advance(200) once (in cache: one grid
         fits a 32 MB last-level cache);
  calls: 100 x 100 with 10 stomata, advance(1) called 10000 times.
The C++ side also gives the final mean p, which must equal Python's: the same
steps were run.
"""
import argparse
import ctypes
import statistics
import time

import ombrisk

CASES = {
    "large": dict(side=800, stomata=20000, steps=200, calls=1),
    "calls": dict(side=100, stomata=10, steps=1, calls=10000),
}


def python_run(side, stomata, steps, calls):
    m = ombrisk.Model(seed=1)
    m.resize(side)
    m.place_stomata(stomata)
    m.advance(1)  # warm, as the C++ side
    m_step0 = m.step
    advance = m.advance
    start = time.perf_counter()
    for _ in range(calls):
        advance(steps)
    took = time.perf_counter() - start
    assert m.step == m_step0 + steps * calls
    return took, m.mean_p


def cpp_run(library, side, stomata, steps, calls):
    mean_p = ctypes.c_double()
    took = library.ombrisk_reference_run(side, stomata, steps, calls, ctypes.byref(mean_p))
    return took, mean_p.value


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("reference")
    parser.add_argument("--rounds", type=int, default=15)
    args = parser.parse_args()
    library = ctypes.CDLL(args.reference)
    library.ombrisk_reference_run.restype = ctypes.c_double
    library.ombrisk_reference_run.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_long,
                                              ctypes.c_long, ctypes.POINTER(ctypes.c_double)]
    for name, case in CASES.items():
        cpp, py = [], []
        for _ in range(args.rounds):
            t, cpp_mean = cpp_run(library, **case)
            cpp.append(t)
            t, py_mean = python_run(**case)
            py.append(t)
            if cpp_mean != py_mean:
                raise SystemExit(f"{name}: C++ and Python ran different steps "
                                 f"({cpp_mean!r} and {py_mean!r})")
        c, p = statistics.median(cpp), statistics.median(py)
        ratio = statistics.median(b / a for a, b in zip(cpp, py))
        print(f"{name}: C++ {c * 1e3:.2f} ms, Python {p * 1e3:.2f} ms, "
              f"Python / C++ = {ratio:.3f} (median of {args.rounds} paired rounds; "
              f"of the fastest rounds {min(py) / min(cpp):.3f})")


if __name__ == "__main__":
    main()
