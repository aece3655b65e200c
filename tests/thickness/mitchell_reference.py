#!/usr/bin/env python3
"""Reference values of the thickness engine's cubic sampling, computed with
numpy: the separable 4 x 4 Mitchell-Netravali convolution (B = C = 1/3) with
the border rules of the engine (column -1 repeats column 0 at the left edge,
column +2 repeats column +1 near the right edge, rows likewise; positions
with ix or iy negative, ix > W - 2 or iy > H - 2 give the no-value level).

Usage: mitchell_reference.py OUTDIR

Writes to OUTDIR:
  image.txt    "W H SLOPE INTERCEPT NOVALUE", then W x H random 16-bit values
               row after row
  queries.txt  one query a line: "BITS IX IY FX FY EXPECTED" (BITS 16 samples
               the values, 8 their low bytes)
  line.txt     one in-frame line: "X Y DX DY L E XSCALE YSCALE N" and then the
               N expected profile samples
"""
import os
import sys

import numpy as np

W, H = 37, 29
SLOPE, INTERCEPT, NOVALUE = 0.75, -1024.0, -50000.0


def mitchell(x):
    x = abs(x)
    if x < 1.0:
        return (7.0 / 6.0) * x ** 3 - 2.0 * x ** 2 + 8.0 / 9.0
    if x < 2.0:
        return -(7.0 / 18.0) * x ** 3 + 2.0 * x ** 2 - (10.0 / 3.0) * x + 16.0 / 9.0
    return 0.0


def sample(img, ix, iy, fx, fy):
    h, w = img.shape
    if ix < 0 or iy < 0 or ix > w - 2 or iy > h - 2:
        return NOVALUE
    cols = [ix - 1 if ix > 0 else ix, ix, ix + 1, ix + 2 if ix <= w - 3 else ix + 1]
    rows = [iy - 1 if iy > 0 else iy, iy, iy + 1, iy + 2 if iy <= h - 3 else iy + 1]
    wx = np.array([mitchell(1 + fx), mitchell(fx), mitchell(1 - fx), mitchell(2 - fx)])
    wy = np.array([mitchell(1 + fy), mitchell(fy), mitchell(1 - fy), mitchell(2 - fy)])
    block = img[np.ix_(rows, cols)].astype(np.float64)
    return float(wy @ block @ wx) * SLOPE + INTERCEPT


def main():
    out = sys.argv[1]
    rng = np.random.default_rng(20240322)
    img16 = rng.integers(0, 65536, size=(H, W), dtype=np.uint16)
    img8 = (img16 & 0xFF).astype(np.uint8)
    with open(os.path.join(out, "image.txt"), "w") as f:
        f.write(f"{W} {H} {SLOPE!r} {INTERCEPT!r} {NOVALUE!r}\n")
        f.write(" ".join(str(int(v)) for v in img16.ravel()) + "\n")

    queries = []
    # Every column and row position near the borders, and random ones inside.
    for ix in range(-2, W + 1):
        for iy in (-1, 0, 1, H // 2, H - 3, H - 2, H - 1):
            queries.append((ix, iy, rng.random(), rng.random()))
    for iy in range(-2, H + 1):
        queries.append((W - 2, iy, rng.random(), rng.random()))
    queries += [(W - 2, H - 2, 0.0, 0.0), (0, 0, 0.0, 0.0), (0, 0, 0.999, 0.5)]
    for _ in range(400):
        queries.append((int(rng.integers(0, W - 1)), int(rng.integers(0, H - 1)), rng.random(), rng.random()))
    with open(os.path.join(out, "queries.txt"), "w") as f:
        for ix, iy, fx, fy in queries:
            f.write(f"16 {ix} {iy} {fx!r} {fy!r} {sample(img16, ix, iy, fx, fy)!r}\n")
            f.write(f"8 {ix} {iy} {fx!r} {fy!r} {sample(img8, ix, iy, fx, fy)!r}\n")

    # One line within a frame: start S = P + E L q, end P - (1 - E) L q in
    # pixels (q the unit in-plane direction), sample k at t = k / (N - 1),
    # position S + t (end - S) - 0.5 split into whole and fraction.
    px, py, dx, dy, L, E, xs, ys, N = 17.3, 11.8, 0.6, -0.8, 0.5, 1.0 / 3.0, 0.025, 0.02, 60
    qx, qy = dx / np.hypot(dx, dy), dy / np.hypot(dx, dy)
    sx, sy = px + E * L * qx / xs, py + E * L * qy / ys
    ex, ey = px - (1 - E) * L * qx / xs, py - (1 - E) * L * qy / ys
    with open(os.path.join(out, "line.txt"), "w") as f:
        f.write(f"{px!r} {py!r} {dx!r} {dy!r} {L!r} {E!r} {xs!r} {ys!r} {N}\n")
        for k in range(N):
            t = k / (N - 1)
            x = sx + t * (ex - sx) - 0.5
            y = sy + t * (ey - sy) - 0.5
            ix, iy = int(np.floor(x)), int(np.floor(y))
            f.write(f"{max(sample(img16, ix, iy, x - ix, y - iy), NOVALUE)!r}\n")


if __name__ == "__main__":
    main()
