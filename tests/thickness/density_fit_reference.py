#!/usr/bin/env python3
"""Reference for the cortical density fit over a mass histogram, with
scipy.optimize.leastsq (MINPACK's lmdif, forward differences).

Model of bin i (cortical mass 150 i): mean density = D erf(x / 2) + c with
x = 150 i / (sqrt 2 D f), erf read from a table of erf(0.01 k), k < 300, to
six decimals, with linear interpolation; residuals weighted by the bin's
weight, and three soft bounds keeping D in (0, 5000) and f above 0. Four
rounds; after each of the first three, the bins whose residual (per unit
weight) exceeds half the largest are left out.

Usage: density_fit_reference.py IN.json OUT.json, IN holding S, W, bins.
"""
import json
import math
import sys

import numpy as np
from scipy.optimize import leastsq

TABLE = np.round(np.array([math.erf(0.01 * k) for k in range(300)]) * 1e6) / 1e6


def lookup(x):
    j = x / 0.02
    if not j >= 0.0:
        return 0.0
    if j >= 299.0:
        return 1.0
    k = int(j)
    f = j - k
    return TABLE[k] * (1 - f) + TABLE[k + 1] * f


def main(argv):
    case = json.load(open(argv[1]))
    S = np.array(case["S"], dtype=float)
    W0 = np.array(case["W"], dtype=float)
    bins = case["bins"]
    W = W0[:bins].copy()

    def residual(p):
        D, c, f = p
        r = np.zeros(bins + 3)
        bad = D <= 0 or f <= 0
        for i in range(bins):
            if W[i] == 0:
                continue
            m = S[i] / W[i]
            x = 1000.0 * i if bad else 150.0 * i / (math.sqrt(2.0) * D * f)
            E = 0.0 if i == 0 else lookup(x)
            r[i] = (m - E * (c if bad else D) - c) * W[i]
        r[bins] = 10.0 ** min(-D, 200.0)
        r[bins + 1] = 10.0 ** min(D - 5000.0, 200.0)
        r[bins + 2] = 10.0 ** min(-10.0 * f, 200.0)
        return r

    p = np.array([1400.0, 0.0, 1.0])
    for rnd in range(4):
        p, cov, info, msg, status = leastsq(residual, p, ftol=1e-8, xtol=1e-8, full_output=True)
        fvec = info["fvec"]
        if rnd == 3:
            break
        r = np.zeros(bins)
        for i in range(bins):
            if S[i] > 0 and W0[i] != 0:
                r[i] = fvec[i] / W0[i]
        largest = np.max(np.abs(r))
        W[np.abs(r) > largest / 2] = 0.0
    dof = bins + 3 - 3
    s2 = float(np.sum(fvec ** 2)) / dof
    var = np.diag(cov) * s2 if cov is not None else [0, 0, 0]
    out = {"D": p[0], "c": p[1], "f": p[2], "status": int(status),
           "var": [float(v) for v in var], "rejected": [int(w == 0 and W0[i] != 0) for i, w in enumerate(W)]}
    json.dump(out, open(argv[2], "w"))


if __name__ == "__main__":
    main(sys.argv)
