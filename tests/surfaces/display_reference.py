#!/usr/bin/env python3
"""Reference for the per-vertex display data of thickness results, in numpy.

Reads a JSON case (mesh, the kind's value and error arrays, optional
multiplier and offsets, the rejected vertices, the scale and the smoothing
settings) and writes a JSON result: colour indices, displayed values and,
when smoothing runs, the smoothed values, offsets and errors.

The smoothing is written independently of the program: every pass is a
Jacobi step over scatter-added sums (numpy.add.at), and the fill phase
updates the vertices that have no weight yet, whatever their order.

Usage: display_reference.py IN.json OUT.json
"""
import json
import sys

import numpy as np

NO_VALUE = 1e10


def colour(x):
    x = np.asarray(x, dtype=np.float64)
    c = np.floor(x).astype(np.int64)  # x > 1 here, so floor truncates
    c = np.where(x > 255.0, 255, c)
    c = np.where(x > 1.0, c, 1)
    return c


def main(argv):
    case = json.load(open(argv[1]))
    tri = np.array(case["triangles"], dtype=np.int64).reshape(-1, 3)
    types = np.array(case["types"], dtype=np.int64)
    n = len(types)
    value = np.array(case["value"], dtype=np.float64)
    error = np.array(case["error"], dtype=np.float64)
    mult = np.array(case["multiplier"], dtype=np.float64) if case.get("multiplier") else np.ones(n)
    offsets = np.array(case["offsets"], dtype=np.float64) if case.get("offsets") else None
    rejected = np.array(case["rejected"], dtype=bool)
    c, b = case["c"], case["b"]
    zero_missing = case["zero_missing"]
    S = case["smooth"]
    F = 100 - case["fill"]

    missing = (error == NO_VALUE) | rejected | (zero_missing & (value == 0.0))
    x = (value - b) * mult
    col = np.where(missing, 0, colour(x * c))
    shown = np.where(missing, 0.0, x + b)
    out = {"colour": col.tolist(), "shown": shown.tolist()}
    if S < 1:
        out["errors"] = np.where(rejected, NO_VALUE, error).tolist()
        json.dump(out, open(argv[2], "w"))
        return

    keep = ~(rejected | (error == NO_VALUE))
    v = np.where(keep, x, 0.0)
    w = np.where(keep, 1.0 / np.where(keep, error, 1.0) ** 2, 0.0)
    use_offsets = offsets is not None
    off = np.where(keep, offsets, 0.0) if use_offsets else np.zeros(n)

    # Every ordered pair (a, b) of a triangle's corners.
    pa = np.concatenate([tri[:, i] for i in range(3) for j in range(3) if i != j])
    pb = np.concatenate([tri[:, j] for i in range(3) for j in range(3) if i != j])

    def one_pass(update):
        nonlocal v, w, off, col, shown
        vs, ws, os_ = 2 * w * v, 2 * w.copy(), 2 * w * off
        wb = w[pb]
        have = wb != 0.0
        np.add.at(vs, pa, np.where(have, wb * v[pb], 0.0))
        np.add.at(ws, pa, np.where(have, wb, 0.0))
        np.add.at(os_, pa, np.where(have, wb * off[pb], 0.0))
        valid = np.zeros(n, dtype=np.int64)
        absent = np.zeros(n, dtype=np.int64)
        if F >= 1:
            np.add.at(valid, pa, have.astype(np.int64))
        np.add.at(absent, pa, (~have).astype(np.int64))
        total = valid + absent
        pct = np.where((F < 1) | (total == 0), 100, (valid * 100) // np.maximum(total, 1))
        dup = types == 2
        empty = ws == 0.0
        drop = ~dup & ~empty & (pct < F)
        take = ~dup & ~empty & ~drop
        u_take = update & take
        u_drop = update & drop
        shown = np.where(update, 0.0, shown)
        col = np.where(update & (dup | empty | drop), 0, col)
        safe = np.where(ws == 0.0, 1.0, ws)
        nv, nw, no = vs / safe, ws / 2.0, os_ / safe
        v = np.where(u_take, nv, np.where(u_drop, 0.0, v))
        off = np.where(u_take, no, np.where(u_drop, 0.0, off))
        w = np.where(u_take, nw, np.where(u_drop, 0.0, w))
        shown = np.where(u_take, v + b, shown)
        col = np.where(u_take, colour(v * c), col)

    previous = None
    while True:
        holes = w == 0.0
        if not holes.any():
            break
        one_pass(holes)
        z = int(np.count_nonzero(w[holes] == 0.0))
        if z == 0 or z == previous:
            break
        previous = z
    for _ in range(1, S):
        one_pass(np.ones(n, dtype=bool))

    out["colour"] = col.tolist()
    out["shown"] = shown.tolist()
    out["values"] = v.tolist()
    out["offsets"] = off.tolist() if use_offsets else []
    out["errors"] = np.where(w > 1e-20, 1.0 / np.sqrt(np.where(w > 1e-20, w, 1.0)), NO_VALUE).tolist()
    json.dump(out, open(argv[2], "w"))


if __name__ == "__main__":
    main(sys.argv)
