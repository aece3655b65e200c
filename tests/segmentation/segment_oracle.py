#!/usr/bin/env python3
"""Reference masks for the segmentation tests, computed with scipy.ndimage.

Usage: segment_oracle.py DIR

DIR/cases.txt holds one case a line: NAME MODE LO HI SEED_X SEED_Y. The frame
is DIR/NAME.pgm (binary PGM); the reference is written to DIR/NAME.out.pgm.
The band is LO <= v <= HI, or v < HI or v > LO when HI < LO. Modes:
  component4, component8  the band's component holding the seed
  threshold               the band
  body, holes             binary_fill_holes of the 4-connected component, and
                          the cavity alone
  distance                2 + taxicab distance to the 4-connected component,
                          capped at 245, 2 on the component (0 elsewhere than
                          the component's box widened by 2)
"""
import sys

import numpy as np
from scipy import ndimage


def read_pgm(path):
    with open(path, "rb") as f:
        data = f.read()
    parts = data.split(maxsplit=4)
    assert parts[0] == b"P5"
    w, h = int(parts[1]), int(parts[2])
    return np.frombuffer(parts[4][: w * h], dtype=np.uint8).reshape(h, w)


def write_pgm(path, a):
    h, w = a.shape
    with open(path, "wb") as f:
        f.write(b"P5\n%d %d\n255\n" % (w, h))
        f.write(np.ascontiguousarray(a, dtype=np.uint8).tobytes())


def component(band, sx, sy, eight):
    structure = np.ones((3, 3), bool) if eight else None
    labels, _ = ndimage.label(band, structure=structure)
    return labels == labels[sy, sx] if band[sy, sx] else np.zeros_like(band)


def main(directory):
    with open(directory + "/cases.txt") as f:
        for line in f:
            if not line.strip():
                continue
            name, mode, lo, hi, sx, sy = line.split()
            lo, hi, sx, sy = int(lo), int(hi), int(sx), int(sy)
            img = read_pgm(f"{directory}/{name}.pgm").astype(int)
            band = (img >= lo) & (img <= hi) if lo <= hi else (img < hi) | (img > lo)
            if mode == "threshold":
                out = band
            elif mode in ("component4", "component8"):
                out = component(band, sx, sy, mode == "component8")
            elif mode in ("body", "holes"):
                region = component(band, sx, sy, False)
                filled = ndimage.binary_fill_holes(region)
                out = filled if mode == "body" else filled & ~region
            elif mode == "distance":
                region = component(band, sx, sy, False)
                ys, xs = np.nonzero(region)
                h, w = region.shape
                y0, y1 = max(0, ys.min() - 2), min(h - 1, ys.max() + 2)
                x0, x1 = max(0, xs.min() - 2), min(w - 1, xs.max() + 2)
                d = ndimage.distance_transform_cdt(~region, metric="taxicab")
                box = np.zeros_like(d)
                box[y0 : y1 + 1, x0 : x1 + 1] = np.minimum(2 + d, 245)[y0 : y1 + 1, x0 : x1 + 1]
                write_pgm(f"{directory}/{name}.out.pgm", box)
                continue
            else:
                raise SystemExit("unknown mode " + mode)
            write_pgm(f"{directory}/{name}.out.pgm", out.astype(np.uint8))


if __name__ == "__main__":
    main(sys.argv[1])
