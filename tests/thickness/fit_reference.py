#!/usr/bin/env python3
"""An independent numpy re-implementation of the cortical model fit for a
profile without gaps or transition, solved with scipy.optimize.leastsq (the
same MINPACK lmdif, with ftol = xtol = 1e-8, gtol = 0 and at most 200 (n + 1)
evaluations).

Usage: fit_reference.py CASE.json OUT.txt

The case gives the profile and what is held: N, L, E, profile, no_value,
box (half-width of the slab in samples, 0 in 3D), smooth (the residual
averaging half-width), c, d, e (a number when held, null when free), and a
test point: weights_centre and x_test (sigma, then the free densities c, d,
e, then x0 and x1).

Writes three lines: "residual" and the residual vector at the test point
with the weights centred on weights_centre; "x" and the fitted parameters
after the sequence (a fit with the weights centred on the point, then one
with them centred on the fitted x0); "thickness_error" and two standard
errors of x1 - x0 in cm, from the covariance under independent noise of equal
spread on the profile samples.
"""
import json
import sys

import numpy as np
from scipy.optimize import leastsq


def weights(N, a):
    a = min(max(a, 1.0), N - 2.0)
    k = np.arange(N, dtype=np.float64)
    u = (k + a) / (N - 1)
    v = (k - a) / (N - 1)
    return u / (19.0 * (N - 1) / a * v * v + u)


def edge_table(N, sigma, box):
    """The edge response on 2N samples, the edge at N; None for a blur
    below 0.02 samples, which counts as none."""
    if sigma < 0.02:
        return None
    M = 2 * N
    i = np.arange(M, dtype=np.float64)
    B = 1.0 if box != 0 else 0.5
    K = np.exp(-((i - N - B) ** 2) / (2.0 * sigma * sigma))
    if box != 0:
        a = abs(box)
        Kat = lambda y: np.interp(y, i, K)  # ends held beyond the table
        S = np.cumsum(np.cumsum(Kat(i + a) - Kat(i - a)))
    else:
        S = np.cumsum(K) - K[0] + K[1]
    return S / S[-1]


def edge(S, x, N, box):
    if S is None:  # a unit step, or a ramp over the box
        if box != 0:
            return min(1.0, max(0.0, (x - N) / (2.0 * abs(box)) + 0.5))
        return 0.0 if x < N else 1.0
    if x < 0:
        return 0.0
    if x >= len(S) - 1:
        return 1.0
    i = int(x)
    return S[i] + (x - i) * (S[i + 1] - S[i])


class Model:
    def __init__(self, case):
        self.N = case["N"]
        self.p = np.array(case["profile"], dtype=np.float64)
        self.nv = case["no_value"]
        self.box = case["box"]
        self.smooth = case["smooth"]
        self.held = {k: case[k] for k in ("c", "d", "e")}
        self.free = [k for k in ("c", "d", "e") if self.held[k] is None]
        self.w = None

    def unpack(self, x):
        v = {"sigma": x[0]}
        for j, k in enumerate(self.free):
            v[k] = x[1 + j]
        for k in ("c", "d", "e"):
            if k not in v:
                v[k] = self.held[k]
        v["x0"], v["x1"] = x[1 + len(self.free)], x[2 + len(self.free)]
        return v

    def profile_residuals(self, x):
        v = self.unpack(x)
        N = self.N
        S = edge_table(N, abs(v["sigma"]), self.box)
        F = np.zeros(N)
        for i in range(N):
            if self.p[i] > self.nv:
                F[i] = (self.p[i] - v["c"] - (v["d"] - v["c"]) * edge(S, i + N - v["x0"], N, self.box)
                        - (v["e"] - v["d"]) * edge(S, i + N - v["x1"], N, self.box))
        return F, v

    def rows(self, F):
        N, n = self.N, self.smooth
        if n < 1:
            return self.w * F
        idx = np.clip(np.arange(-n, N + n), 0, N - 1)
        padded = F[idx]
        sums = np.array([padded[j:j + 2 * n + 1].sum() for j in range(N)])
        return self.w / (2 * n + 1) * sums

    def residuals(self, x):
        F, v = self.profile_residuals(x)
        cap = lambda t: 10.0 ** min(t, 100.0)
        bounds = [cap(v["c"] - v["d"]), cap(v["e"] - v["d"]), cap(100.0 * (v["x0"] - v["x1"])),
                  cap(100.0 * (v["sigma"] - self.N / 4.0)), cap(100.0 * (1.0 - v["sigma"]))]
        return np.concatenate([self.rows(F), bounds])

    def noise_matrix(self):
        """B: d residual / d profile sample."""
        N, n = self.N, self.smooth
        B = np.zeros((N + 5, N))
        for j in range(N):
            if n < 1:
                B[j, j] = self.w[j]
            else:
                for k in range(j - n, j + n + 1):
                    B[j, min(max(k, 0), N - 1)] += self.w[j] / (2 * n + 1)
        return B


def main():
    case = json.load(open(sys.argv[1]))
    model = Model(case)
    N, L, E = case["N"], case["L"], case["E"]
    s = (N - 1) / L

    model.w = weights(N, case["weights_centre"])
    residual = model.residuals(np.array(case["x_test"], dtype=np.float64))

    present = model.p[model.p > model.nv]
    x = [1.0] + [present.min() if k in ("c", "e") else present.max() for k in model.free]
    x += [(N - 1) / 6.0, 5.0 * (N - 1) / 6.0]
    x = np.array(x, dtype=np.float64)
    n = len(x)
    model.w = weights(N, (N - 1) * E)
    kw = dict(ftol=1e-8, xtol=1e-8, gtol=0.0, maxfev=200 * (n + 1), full_output=True)
    x, cov_x, info, msg, ier = leastsq(model.residuals, x, **kw)
    assert 1 <= ier <= 3, msg
    model.w = weights(N, x[-2])
    x, cov_x, info, msg, ier = leastsq(model.residuals, x, **kw)
    assert 1 <= ier <= 3, msg

    # Covariance under sample noise: (J'J)^-1 J'B B'J (J'J)^-1 s^2, J by
    # forward differences, s^2 from the unweighted profile residuals.
    r0 = model.residuals(x)
    J = np.zeros((len(r0), n))
    h0 = np.sqrt(np.finfo(float).eps)
    for j in range(n):
        h = h0 * abs(x[j]) if x[j] != 0 else h0
        xp = x.copy()
        xp[j] += h
        J[:, j] = (model.residuals(xp) - r0) / h
    F, _ = model.profile_residuals(x)
    mask = model.p > model.nv
    s2 = (F[mask] ** 2).sum() / (mask.sum() - n)
    G = J.T @ model.noise_matrix()
    meat = G[:, mask] @ G[:, mask].T
    cov = s2 * cov_x @ meat @ cov_x
    i0, i1 = n - 2, n - 1
    vt = cov[i0, i0] + cov[i1, i1] - 2 * cov[i0, i1]

    with open(sys.argv[2], "w") as f:
        f.write("residual " + " ".join(repr(float(v)) for v in residual) + "\n")
        f.write("x " + " ".join(repr(float(v)) for v in x) + "\n")
        f.write(f"thickness_error {2.0 * np.sqrt(vt) / s!r}\n")


if __name__ == "__main__":
    main()
