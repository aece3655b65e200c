#!/usr/bin/env python3
"""Brute-force line probe in numpy (Moller-Trumbore over every triangle).

Input: a text file with "V n" then n lines of x y z, "T m" then m lines of
a b c, "L k" then k lines of ax ay az bx by bz. Output: one line per probe
line with the depths (mm from A along B - A, 10 x parameter x |B - A|) of
every crossing, sorted, crossings closer than 1e-7 mm merged.

Usage: probe_reference.py IN.txt OUT.txt
"""
import sys

import numpy as np


def read(path):
    tokens = open(path).read().split()
    at = 0

    def block(tag, width, kind):
        nonlocal at
        assert tokens[at] == tag
        n = int(tokens[at + 1])
        at += 2
        values = np.array(tokens[at:at + n * width], dtype=kind).reshape(n, width)
        at += n * width
        return values

    return block("V", 3, np.float64), block("T", 3, np.int64), block("L", 6, np.float64)


def main():
    V, T, L = read(sys.argv[1])
    v0, v1, v2 = V[T[:, 0]], V[T[:, 1]], V[T[:, 2]]
    e1, e2 = v1 - v0, v2 - v0
    out = []
    for line in L:
        a, b = line[:3], line[3:]
        d = b - a
        p = np.cross(d, e2)
        det = np.einsum("ij,ij->i", e1, p)
        ok = det != 0
        inv = np.where(ok, 1.0 / np.where(ok, det, 1.0), 0.0)
        s = a - v0
        u = np.einsum("ij,ij->i", s, p) * inv
        q = np.cross(s, e1)
        v = (q @ d) * inv
        t = np.einsum("ij,ij->i", e2, q) * inv
        eps = 1e-12
        hit = ok & (u >= -eps) & (v >= -eps) & (u + v <= 1 + eps)
        depths = np.sort(t[hit] * 10.0 * np.linalg.norm(d))
        merged = []
        for x in depths:
            if not merged or abs(x - merged[-1]) >= 1e-7:
                merged.append(x)
        out.append(" ".join("%.17g" % x for x in merged))
    with open(sys.argv[2], "w") as f:
        f.write("\n".join(out) + "\n")


main()
