#!/usr/bin/env python3
"""nv_tool thickness end to end: measures the tube phantom of
tests/data/make_tube_phantom.py, opened through the NIfTI reader, with the
thickness settings of a settings file, and checks what it prints and its
exit status against the phantom's known wall.

Usage: check_thickness_tool.py NV_TOOL
"""
import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PHANTOM = os.path.join(HERE, "..", "data", "make_tube_phantom.py")


def run(tool, *args):
    p = subprocess.run([tool, "thickness", *map(str, args)], capture_output=True, text=True, timeout=120)
    values = {}
    for line in p.stdout.splitlines():
        name, _, rest = line.partition(" ")
        values[name] = rest
    return p.returncode, values


def number(text):
    try:
        return float(text.split()[0])
    except (AttributeError, IndexError, ValueError):
        return math.nan


def main():
    tool = sys.argv[1]
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory() as d:
        nii = os.path.join(d, "tube.nii")
        subprocess.run([sys.executable, PHANTOM, nii, "--wall-min-mm", "1.0", "--wall-max-mm", "2.5"],
                       check=True, capture_output=True)
        ini = os.path.join(d, "cbm2.ini")
        with open(ini, "w") as f:
            f.write("RES_THICKNESS_TYPE 4\nRES_THICKNESS_GAUSS 0.04\nRES_THICKNESS_A 500\n")
        # The outer surface at 12 mm from the axis (80, 80), 48 pixels: towards
        # -x the wall is 2.5 mm, towards +y (theta 90 degrees) 1.75 mm.
        for x, y, dx, dy, wall in ((80 - 48 + 0.5, 80.5, -1, 0, 2.5), (80.5, 80 + 48 + 0.5, 0, 1, 1.75)):
            code, v = run(tool, nii, ini, 3, x, y, dx, dy, 0)
            check(code == 0, f"exit status {code} at {x}, {y}")
            check(v.get("status") in ("1", "2", "3"), f"status {v.get('status')}")
            check(v.get("valid") == "yes" and v.get("technique") == "CBM v2", f"valid, technique: {v}")
            check(v.get("in_frame") == "no" and v.get("samples") == "144", f"3D with 144 samples: {v}")
            t = number(v.get("thickness_mm"))
            check(abs(t - wall) < 0.1, f"wall {t} for {wall}")
            check(abs(number(v.get("inner_edge_mm")) - number(v.get("outer_edge_mm")) - t) < 1e-4, "edges")
            check(abs(number(v.get("outer_edge_mm")) - 6.0) < 0.1, "the outer edge a third along the line")
            check(abs(number(v.get("cortical_density")) - 1500) < 60, f"density {v.get('cortical_density')}")
            # The presets of CBM v2 clear the outer density the file gave.
            check(abs(number(v.get("outer_density"))) < 20, f"outer density {v.get('outer_density')}")
            check(abs(number(v.get("blur_sigma_mm")) - 0.4) < 0.04, f"blur {v.get('blur_sigma_mm')}")
            check("+/-" in v.get("thickness_mm", "") and "n/a" not in v.get("thickness_mm", "n/a"), "thickness error")

        # A click: the given length, the point half way along it.
        code, v = run(tool, nii, ini, 3, 80 - 48 + 0.5, 80.5, -1, 0, 0, 12)
        check(code == 0 and v.get("line_mm") == "12", f"click: {code} {v}")
        check(abs(number(v.get("outer_edge_mm")) - 6.0) < 0.15, f"click outer edge {v}")

        # Technique Offset measures nothing.
        off = os.path.join(d, "offset.ini")
        with open(off, "w") as f:
            f.write("RES_THICKNESS_TYPE 8\n")
        code, v = run(tool, nii, off, 3, 32.5, 80.5, -1, 0, 0)
        check(code == 3 and v.get("status") == "0" and v.get("sampled") == "no", f"offset: {code} {v}")

        for args, expected in (((nii, ini, 3, 1, 2, 0, 0, 0), 2),        # no direction
                               ((nii, ini, 1.5, 1, 2, 1, 0, 0), 2),      # a frame number with a fraction
                               ((nii, ini, 3, "x", 2, 1, 0, 0), 2),      # not a number
                               ((nii, ini, 3, 1, 2), 2),                 # too few arguments
                               ((os.path.join(d, "absent.nii"), ini, 3, 1, 2, 1, 0, 0), 1),
                               ((nii, os.path.join(d, "absent.ini"), 3, 1, 2, 1, 0, 0), 1)):
            code, _ = run(tool, *args)
            check(code == expected, f"{args[2:]} exit {code}, expected {expected}")

    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
