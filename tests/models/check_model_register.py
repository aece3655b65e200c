#!/usr/bin/env python3
"""nv_tool model registration end to end: data points from the circles of
a sphere 1.1 times the model's size and moved by (1, 0.5, 0) mm, drawn as
object 3 on seven frames; five similarity iterations lower the residual,
the registration found matches numpy's scale and shift, and the fitted
surface mapped into object 7 is saved with its contours and the two
"fitted" landmarks at the moved poles.

Usage: check_model_register.py NV_TOOL
"""
import os
import re
import subprocess
import sys
import tempfile

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    tool = sys.argv[1]
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory() as d:
        subprocess.run([sys.executable, os.path.join(HERE, "registration_oracles.py"), "modes", d], check=True)
        os.remove(os.path.join(d, "sphere.ssm"))
        w = h = 600
        frames = [(k - 3) * 0.4 for k in range(7)]  # cm
        centre = np.array([0.1, 0.05, 0.0])  # cm
        radius = 2.2  # cm
        lines = [f"RES_BUF_FRAMES {len(frames)}", f"RES_BUF_WIDTH {w}", f"RES_BUF_HEIGHT {h}", "RES_POS_REC true",
                 "RES_END_HEADER", "RES_VERSION 7.27", "RES_BIN_IM_FILENAME data.qzi"]
        lines += [f"IM {1000 + k} 0 0 {z!r} 0 0 0" for k, z in enumerate(frames)]
        for k, z in enumerate(frames):
            r = np.sqrt(radius ** 2 - z ** 2) / 0.01
            t = np.linspace(0, 2 * np.pi, 90, endpoint=False)
            pts = np.stack([centre[0] / 0.01 + r * np.cos(t), centre[1] / 0.01 + r * np.sin(t)], 1)
            lines.append(f"CONT 3 {k} 1 " + " ".join(f"{v:.3f}" for v in pts.ravel()))
        with open(os.path.join(d, "data.hm"), "w") as f:
            f.write("\n".join(lines) + "\n")
        with open(os.path.join(d, "data.qzi"), "wb") as f:
            f.write(bytes(w * h * len(frames)))
        out = os.path.join(d, "fitted.hm")
        run = subprocess.run([tool, "model", os.path.join(d, "sphere.ply"), os.path.join(d, "data.hm"), "--points", "3",
                              "--side", "both", "--iterate", "5", "ssm", "0", "--map", "7", out],
                             capture_output=True, text=True, timeout=300)
        check(run.returncode == 0, f"exit {run.returncode}: {run.stderr}")
        res = [float(m) for m in re.findall(r"^iteration \d+ residual (\S+)", run.stdout, re.M)]
        check(len(res) == 5, f"five residuals: {run.stdout}")
        check(all(b <= a + 1e-9 for a, b in zip(res, res[1:])), f"residuals fall: {res}")
        check(res and res[-1] < res[0], f"residuals lowered: {res}")
        reg = re.search(r"^registration (.*)$", run.stdout, re.M)
        check(reg is not None, "registration printed")
        if reg:
            v = np.array([float(x) for x in reg.group(1).split()])
            lin, shift = v.reshape(3, 4)[:, :3], v.reshape(3, 4)[:, 3]
            check(abs(np.cbrt(np.linalg.det(lin)) - 1.1) < 0.01, f"scale {np.cbrt(np.linalg.det(lin))}")
            check(np.linalg.norm(shift - 10 * centre) < 0.3, f"shift {shift}")
        if os.path.exists(out):
            with open(out) as f:
                text = f.read()
            conts = [l.split() for l in text.splitlines() if l.startswith("CONT 7 ")]
            check(len({c[2] for c in conts}) == len(frames), f"contours on every frame: {len(conts)}")
            marks = [l for l in text.splitlines() if "fitted north" in l or "fitted south" in l]
            check(len(marks) == 2, f"fitted landmarks: {marks}")
        else:
            failures.append("no file saved")
    for f in failures:
        print("FAIL:", f)
    sys.exit(1 if failures else 0)


main()
