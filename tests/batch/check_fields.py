#!/usr/bin/env python3
"""Reads the arrays and the JSON of an ombrisk-batch --fields run with numpy
and compares them bit for bit with a reference written by the test.

usage: check_fields.py FIELDS.npy REFERENCE.bin EXPECTED.json
REFERENCE.bin holds the p frames and then the J frames, as little-endian
float64; EXPECTED.json gives rows, cols, stomata, frame_steps, seed, the stoma
positions and the parameters the JSON must name.
"""
import json
import sys

import numpy as np


def main():
    npy, ref_file, expected_file = sys.argv[1:4]
    with open(expected_file) as f:
        expected = json.load(f)
    frames = len(expected["frame_steps"])
    rows, cols, stomata = expected["rows"], expected["cols"], expected["stomata"]

    p = np.load(npy, mmap_mode="r")
    base = npy[:-4] if npy.endswith(".npy") else npy
    j = np.load(base + "_j.npy", mmap_mode="r")
    assert isinstance(p, np.memmap), type(p)
    assert p.dtype == np.dtype("<f8"), p.dtype
    assert j.dtype == np.dtype("<f8"), j.dtype
    assert p.shape == (frames, rows, cols), p.shape
    assert j.shape == (frames, stomata), j.shape

    ref = np.fromfile(ref_file, dtype="<f8")
    assert ref.size == frames * (rows * cols + stomata), ref.size
    ref_p = ref[: frames * rows * cols].reshape(frames, rows, cols)
    ref_j = ref[frames * rows * cols:].reshape(frames, stomata)
    # Bit for bit: the same 64-bit patterns, NaNs and signed zeros included.
    assert np.array_equal(np.asarray(p).view("<u8"), ref_p.view("<u8")), "p differs"
    assert np.array_equal(np.asarray(j).view("<u8"), ref_j.view("<u8")), "J differs"

    with open(base + ".json") as f:
        meta = json.load(f)
    assert meta["frame_steps"] == expected["frame_steps"], meta["frame_steps"]
    assert meta["seed"] == expected["seed"], meta["seed"]
    assert meta["rows"] == rows and meta["cols"] == cols
    assert meta["stoma_count"] == stomata
    assert meta["stomata"] == expected["positions"], "stoma positions differ"
    for name, value in expected["parameters"].items():
        assert meta["parameters"][name] == value, (name, meta["parameters"][name], value)
    assert meta["changes"] == expected["changes"], meta["changes"]
    assert meta["p_file"] == npy.split("/")[-1]
    print("fields read back exactly:", frames, "frames")


if __name__ == "__main__":
    main()
