#!/usr/bin/env python3
"""nv_tool model end to end: a model with four named corners loads and is
listed; fitted to the landmarks of a data file placed by a known similarity
(scale 1.7), its plain registration and residual match numpy's SVD solution;
a model whose file is refused exits 1 with the page's message.

Usage: check_model_tool.py NV_TOOL
"""
import os
import subprocess
import sys
import tempfile

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
VERTS = np.array([[(i & 1) * 10 + 0.7 * i, (i >> 1 & 1) * 10 - 0.3 * i * i, (i >> 2 & 1) * 10]
                  for i in range(8)], float)
NAMED = {"apex": 6, "base": 0, "left side": 3, "right": 5}


def umeyama(p, q):
    mp, mq = p.mean(0), q.mean(0)
    a, b = p - mp, q - mq
    u, d, vt = np.linalg.svd(b.T @ a / len(p))
    fix = np.eye(3)
    if np.linalg.det(u) * np.linalg.det(vt) < 0:
        fix[2, 2] = -1
    r = u @ fix @ vt
    s = np.trace(np.diag(d) @ fix) / ((a ** 2).sum() / len(p))
    t = mq - s * r @ mp
    res = q - (s * (r @ p.T).T + t)
    return s * r, t, np.sqrt((res ** 2).sum() / len(p))


def main():
    tool = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as d:
        ply = ["ply", "format ascii 1.0"]
        ply += [f'comment FIT_MODEL_LM "{n}" {v}' for n, v in NAMED.items()]
        ply += ["element vertex 8", "property double x", "property double y", "property double z",
                "element face 2", "property list uchar int vertex_indices", "end_header"]
        ply += [" ".join(repr(float(c)) for c in v) for v in VERTS]
        ply += ["3 0 1 2", "3 1 3 2"]
        model = os.path.join(d, "model.ply")
        with open(model, "w") as f:
            f.write("\n".join(ply) + "\n")

        theta = np.radians(35)
        rot = np.array([[np.cos(theta), -np.sin(theta), 0], [np.sin(theta), np.cos(theta), 0], [0, 0, 1]])
        rng = np.random.default_rng(2)
        p = np.array([VERTS[v] for v in NAMED.values()])
        q = 1.7 * (rot @ p.T).T + np.array([12.0, -4.0, 30.0]) + rng.normal(scale=0.05, size=p.shape)
        stem = os.path.join(d, "data")
        with open(stem + ".qzi", "wb") as f:
            f.write(bytes(2 * 4 * 3))
        lines = ["RES_BUF_FRAMES 2", "RES_BUF_WIDTH 4", "RES_BUF_HEIGHT 3", "RES_POS_REC true",
                 "RES_END_HEADER", "RES_VERSION 7.27", "RES_BIN_IM_FILENAME data.qzi",
                 "IM 1000 0 0 0 0 0 0", "IM 1001 0 0 0.1 0 0 0"]
        # Landmarks are stored in centimetres: a tenth of the model's millimetres.
        lines += [f"LANDMARK {x / 10!r} {y / 10!r} {z / 10!r} {n}" for n, (x, y, z) in zip(NAMED, q)]
        with open(stem + ".hm", "w") as f:
            f.write("\n".join(lines) + "\n")

        run = subprocess.run([tool, "model", model], capture_output=True, text=True)
        out = run.stdout.splitlines()
        for want in ["vertices 8", "triangles 2", "modes 0", 'landmark "left side" vertex 3']:
            if want not in out:
                failures.append(f"listing lacks {want!r}: {out}")
        if run.returncode != 0:
            failures.append(f"load exit {run.returncode}: {run.stderr}")

        run = subprocess.run([tool, "model", model, stem + ".hm"], capture_output=True, text=True)
        if run.returncode != 0:
            failures.append(f"fit exit {run.returncode}: {run.stderr}")
        regs = [l.split() for l in run.stdout.splitlines() if l.startswith("registration")]
        rms = [float(l.split()[2]) for l in run.stdout.splitlines() if l.startswith("residual rms")]
        if len(regs) != 2 or regs[0][1] != "mirrored" or regs[1][1] == "mirrored" or len(rms) != 2:
            failures.append(f"two fits, mirrored then plain, expected: {run.stdout}")
        else:
            m = np.array([float(v) for v in regs[1][1:]]).reshape(3, 4)
            sr, t, want_rms = umeyama(p, q)
            if not np.allclose(m[:, :3], sr, atol=1e-5 * 1.7) or not np.allclose(m[:, 3], t, atol=1e-4):
                failures.append(f"registration {m} against {sr} {t}")
            if abs(rms[1] - want_rms) > 1e-6 * want_rms:
                failures.append(f"residual {rms[1]} against {want_rms}")
            if not rms[0] > 10 * want_rms:
                failures.append(f"the mirrored fit cannot meet a proper similarity: {rms[0]}")

        # Sub-structures: the model's own shape (the node source) and a copy
        # twice its size about vertex 0, interpolated into objects 3 and 4.
        def sub_ply(points, name):
            lines = ["ply", "format ascii 1.0", "element vertex 8", "property double x", "property double y",
                     "property double z", "element face 2", "property list uchar int vertex_indices", "end_header"]
            lines += [" ".join(repr(float(c)) for c in v) for v in points]
            with open(os.path.join(d, name), "w") as f:
                f.write("\n".join(lines + ["3 0 1 2", "3 1 3 2"]) + "\n")
        big = VERTS[0] + 2 * (VERTS - VERTS[0])
        sub_ply(big, "big.ply")
        sub_ply(VERTS, "own.ply")
        with_subs = os.path.join(d, "with_subs.ply")
        with open(with_subs, "w") as f:
            f.write("\n".join(ply[:2] + ['comment FIT_MODEL_MS "big" big.ply', 'comment FIT_MODEL_MS "own" own.ply']
                              + ply[2:]) + "\n")
        out_hm = os.path.join(d, "out.hm")
        run = subprocess.run([tool, "model", with_subs, stem + ".hm", "--substructures", "3", out_hm],
                             capture_output=True, text=True)
        listed = [l for l in run.stdout.splitlines() if l.startswith("substructure")]
        if run.returncode != 0 or listed != ['substructure "big" vertices 8 triangles 2',
                                             'substructure "own" vertices 8 triangles 2']:
            failures.append(f"substructures: exit {run.returncode}, {listed}, {run.stderr!r}")
        else:
            with open(out_hm) as f:
                objects = [l.split() for l in f if l.startswith("OBJECT ")]
            named = {int(o[1]): " ".join(o[10:]) for o in objects}
            if named.get(3) != "interpolated big" or named.get(4) != "interpolated own":
                failures.append(f"objects 3 and 4 named {named}")
            if any(int(o[1]) in (3, 4) and float(o[6]) != 0.5 for o in objects):
                failures.append(f"interpolated objects are half opaque: {objects}")
        run = subprocess.run([tool, "model", with_subs, stem + ".hm", "--substructures", "199", out_hm],
                             capture_output=True, text=True)
        if run.returncode != 1 or "do not fit" not in run.stderr:
            failures.append(f"objects past 199: exit {run.returncode}, {run.stderr!r}")

        bad = os.path.join(d, "bad.ply")
        with open(bad, "w") as f:
            f.write("\n".join(ply[:2] + ply[6:]) + "\n")  # no landmark comments
        run = subprocess.run([tool, "model", bad], capture_output=True, text=True)
        if run.returncode != 1 or "Could not parse ply file" not in run.stderr \
                or "Insufficient model fitting landmarks" not in run.stderr:
            failures.append(f"refused model: exit {run.returncode}, {run.stderr!r}")

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


sys.exit(main())
