#!/usr/bin/env python3
"""nv_tool refobj end to end: a sphere VTK wrote as PLY and as VRML lists its
counts and bounds as numpy finds them, also moved by a ".mtx" file beside it
(both formats find theirs by the extension); comment landmarks and curves are
listed in centimetres, unmoved; a refused file exits 1 with a message.

Usage: check_refobj_tool.py NV_TOOL
"""
import os
import subprocess
import sys
import tempfile

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))


def run(tool, path):
    r = subprocess.run([tool, "refobj", path], capture_output=True, text=True)
    return r.returncode, r.stdout, r.stderr


def parse(out):
    lines = out.splitlines()
    d = {}
    for l in lines:
        w = l.split()
        if w[0] in ("points", "normals", "triangles"):
            d[w[0]] = int(w[1])
        elif w[0] == "bounds":
            d["bounds"] = np.array(list(map(float, w[1:])))
    d["lines"] = lines
    return d


def main():
    tool = sys.argv[1]
    failures = []

    def check(cond, what):
        if not cond:
            failures.append(what)

    with tempfile.TemporaryDirectory() as d:
        subprocess.run(["/usr/bin/python3", os.path.join(HERE, "reference_oracles.py"), "vtk", d], check=True)
        with open(os.path.join(d, "sphere.txt")) as f:
            words = f.read().split()
        n = int(words[1])
        pts = np.array(words[2:2 + 3 * n], float).reshape(n, 3)
        m = int(words[3 + 3 * n])

        def bounds(p):
            return np.array([p[:, 0].min(), p[:, 0].max(), p[:, 1].min(), p[:, 1].max(), p[:, 2].min(), p[:, 2].max()])

        # A rotation of 30 degrees about x with scale 2 and a translation.
        c, s = np.cos(np.radians(30)), np.sin(np.radians(30))
        mtx = np.array([[2, 0, 0, 1.5], [0, 2 * c, -2 * s, -3], [0, 2 * s, 2 * c, 7], [0, 0, 0, 1]])
        moved = (mtx[:3, :3] @ pts.T).T + mtx[:3, 3]
        for name in ("sphere.ply", "sphere.wrl"):
            for with_mtx in (False, True):
                mtx_path = os.path.join(d, "sphere.mtx")
                if with_mtx:
                    with open(mtx_path, "w") as f:
                        f.write("# moved\n" + "\n".join(" ".join(repr(v) for v in row) for row in mtx) + "\n")
                elif os.path.exists(mtx_path):
                    os.remove(mtx_path)
                code, out, err = run(tool, os.path.join(d, name))
                what = name + (" with mtx" if with_mtx else "")
                check(code == 0, what + ": exit %d %s" % (code, err))
                if code:
                    continue
                r = parse(out)
                check(r["points"] == n and r["triangles"] == m and r["normals"] == (n if name.endswith(".wrl") else 0),
                      what + ": counts " + out)
                want = bounds(moved if with_mtx else pts)
                check(np.allclose(r["bounds"], want, rtol=0, atol=1e-5), what + ": bounds %s vs %s" % (r["bounds"], want))

        marked = os.path.join(d, "marked.ply")
        with open(marked, "w") as f:
            f.write("ply\nformat ascii 1.0\n"
                    "comment LANDMARK \"tip\" 10 20 30 0 0 1\n"
                    "comment CLOSED_LANDCURVE \"rim\" 2\ncomment 1 2 3 0 0 1\ncomment 4 5 6 0 0 1\n"
                    "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                    "element face 1\nproperty list uchar int vertex_index\nend_header\n"
                    "0 0 0\n10 0 0\n0 10 0\n3 0 1 2\n")
        with open(os.path.join(d, "marked.mtx"), "w") as f:
            f.write("1 0 0 100\n0 1 0 0\n0 0 1 0\n0 0 0 1\n")
        code, out, err = run(tool, marked)
        r = parse(out)
        check(code == 0 and r["lines"][3] == "bounds 100 110 0 10 0 0", "marked: " + out + err)
        check('landmark "tip" 1 2 3' in r["lines"], "marked landmark: " + out)
        check('curve "rim" closed 2' in r["lines"], "marked curve: " + out)

        empty = os.path.join(d, "empty.ply")
        with open(empty, "w") as f:
            f.write("ply\nformat ascii 1.0\nelement vertex 0\nproperty float x\nproperty float y\n"
                    "property float z\nend_header\n")
        code, out, err = run(tool, empty)
        check(code == 1 and "No triangles found in file" in err and out == "", "empty: %d %s %s" % (code, out, err))
        code, out, err = run(tool, os.path.join(d, "absent.wrl"))
        check(code == 1 and "could not be read" in err, "absent: %d %s" % (code, err))

    for f in failures:
        print("FAIL:", f)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
