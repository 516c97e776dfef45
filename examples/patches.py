#!/usr/bin/env python3
"""Stomatal patches on a 200 x 200 leaf with the ombrisk module.

Runs the model to a patchy state (some regions of the leaf open, others shut),
labels the patches of open stomata with scipy.ndimage, and plots the
patch-size distribution and the spectrum of the leaf's total flux J. The
figures are saved as PNG files in --out.

    python3 examples/patches.py --out figures
"""
import argparse
import pathlib

import matplotlib

matplotlib.use("Agg")  # files only: no display needed
import matplotlib.pyplot as plt
import numpy as np
from scipy import ndimage

import ombrisk


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", type=int, default=200)
    parser.add_argument("--stomata", type=int, default=3000)
    parser.add_argument("--steps", type=int, default=3000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--out", type=pathlib.Path, default=pathlib.Path("figures"))
    args = parser.parse_args()

    m = ombrisk.Model(seed=args.seed)
    m.resize(args.size)
    m.place_stomata(args.stomata, border=1, spacing=2.5)
    # A steep logistic whose midpoint lies inside the range p takes: some
    # regions settle open, others shut.
    m.pminj, m.a, m.kin = -6.0, 3.0, 0.01

    total_j = np.empty(args.steps)
    j = m.stoma_j  # shares the model's memory: read after every step, no copy
    for step in range(args.steps):
        m.advance(1)
        total_j[step] = j.sum()

    # Patches: open stomata within reach of each other (two cells of dilation
    # join neighbours a few cells apart), labelled as connected regions.
    is_open = j > m.Jmax / 2
    rows, cols = m.stoma_rows, m.stoma_cols
    open_map = np.zeros((m.rows, m.cols), dtype=bool)
    open_map[rows[is_open], cols[is_open]] = True
    reach = ndimage.binary_dilation(open_map, iterations=2)
    labels, patch_count = ndimage.label(reach, structure=np.ones((3, 3)))
    sizes = np.bincount(labels[rows[is_open], cols[is_open]], minlength=patch_count + 1)[1:]
    sizes = sizes[sizes > 0]
    print(f"step {m.step}: {patch_count} patches, {np.count_nonzero(is_open)} of "
          f"{m.stoma_count} stomata open, total J {total_j[-1]:.6g}")

    args.out.mkdir(parents=True, exist_ok=True)
    fig, (ax_map, ax_sizes, ax_spectrum) = plt.subplots(1, 3, figsize=(13, 4))
    ax_map.imshow(m.p, cmap="gray", origin="upper")
    ax_map.scatter(cols[~is_open], rows[~is_open], s=1, c="tab:red", label="shut")
    ax_map.scatter(cols[is_open], rows[is_open], s=1, c="tab:green", label="open")
    ax_map.set_title("p and the stomata")
    ax_map.legend(loc="upper right", markerscale=5)
    if sizes.size:
        ax_sizes.hist(sizes, bins=min(30, max(1, sizes.size)), log=True)
    ax_sizes.set_xlabel("open stomata per patch")
    ax_sizes.set_ylabel("patches")
    ax_sizes.set_title("patch sizes")
    detrended = total_j - total_j.mean()
    power = np.abs(np.fft.rfft(detrended * np.hanning(detrended.size))) ** 2
    frequency = np.fft.rfftfreq(detrended.size, d=1.0)
    ax_spectrum.loglog(frequency[1:], power[1:] + 1e-300)
    ax_spectrum.set_xlabel("frequency (1 / step)")
    ax_spectrum.set_ylabel("power")
    ax_spectrum.set_title("spectrum of total J")
    fig.tight_layout()
    fig.savefig(args.out / "patches.png", dpi=100)
    print(f"figures in {args.out}")


if __name__ == "__main__":
    main()
