#!/usr/bin/env python3
"""nv_tool correct end to end: two-frame recordings whose second frame's
content moved by a known number of pixels, corrected and written; the
printed movements and positions and the IM lines of the written file against
the known shift; identical frames in a pressure run; and the runs that are not
valid, which write nothing.

Usage: check_correct_tool.py NV_TOOL
"""
import math
import os
import subprocess
import sys
import tempfile

W, H = 256, 200
SCALE = 0.05  # cm per pixel


def texture(x, y):
    # Broad waves (a score rising all the way to the true shift) and finer
    # detail, each along one axis.
    t = 2 * math.pi
    return (128 + 55 * math.sin(t * x / 102.5 + 0.3) + 55 * math.sin(t * y / 74.5 + 1.1)
            + 4 * math.sin(t * x * 15 / 205 + 0.7) + 4 * math.sin(t * y * 18 / 149 + 0.4))


def frame(h, sx, sy):
    # The content moved by (-sx, -sy): the probe moved by (sx, sy) pixels.
    return bytes(max(1, min(255, round(texture(c + sx, r + sy)))) for r in range(h) for c in range(W))


def write_recording(stem, h, shifts):
    name = os.path.basename(stem)
    lines = [f"RES_BUF_FRAMES {len(shifts)}", f"RES_BUF_WIDTH {W}", f"RES_BUF_HEIGHT {h}", "RES_POS_REC true",
             "RES_END_HEADER", "RES_VERSION 7.27", f"RES_BIN_IM_FILENAME {name}.qzi"]
    lines += [f"IM {1000 + k} 0 0 {0.1 * k:.1f} 0 0 0" for k in range(len(shifts))]
    lines += [f"RES_XSCALE {SCALE}", f"RES_YSCALE {SCALE}"]
    with open(stem + ".hm", "w") as f:
        f.write("\n".join(lines) + "\n")
    with open(stem + ".qzi", "wb") as f:
        for sx, sy in shifts:
            f.write(frame(h, sx, sy))


def run(tool, *args):
    return subprocess.run([tool, "correct", *map(str, args)], capture_output=True, text=True, timeout=300)


def im_lines(path):
    with open(path) as f:
        return [[float(v) for v in l.split()[2:]] for l in f if l.startswith("IM ")]


def main():
    tool = sys.argv[1]
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory() as d:
        # Frame 1 moved by (3, -2) pixels: corrected by 0.15 and -0.10 cm;
        # two frames leave the drift fit nothing to fit.
        stem = os.path.join(d, "rec")
        write_recording(stem, H, [(0, 0), (3, -2)])
        out = os.path.join(d, "out.hm")
        p = run(tool, stem + ".hm", "positions", out)
        check(p.returncode == 0, f"positions: exit status {p.returncode}: {p.stderr}")
        lines = dict((l.split()[0], l.split()[1:]) for l in p.stdout.splitlines() if l.startswith(("p ", "q ")))
        move = math.hypot(3, -2) * SCALE * 10  # mm
        for key in ("p", "q"):
            check(key in lines and abs(float(lines[key][0]) - move) < 0.05 and lines[key][1] == "mm",
                  f"{key}: {lines.get(key)} for {move:.3f} mm")
        frames = [l.split() for l in p.stdout.splitlines() if l.startswith("frame ")]
        check(len(frames) == 2, f"frame lines: {frames}")
        if os.path.exists(out):
            im = im_lines(out)
            check(len(im) == 2, f"IM lines: {im}")
            if len(im) == 2:
                check(all(abs(v) < 1e-6 for v in im[0]), f"frame 0 moved: {im[0]}")
                want = [3 * SCALE, -2 * SCALE, 0.1, 0, 0, 0]
                check(all(abs(a - b) < 0.005 for a, b in zip(im[1], want)), f"frame 1: {im[1]} for {want}")
                if len(frames) == 2:
                    check(all(abs(float(a) - b) < 1e-5 for a, b in zip(frames[1][2:], im[1])),
                          f"printed {frames[1]} written {im[1]}")
            with open(out) as f:
                check("RES_CORRECTED_POS true" in f.read(), "corrected-positions flag written")
            check(os.path.exists(os.path.join(d, "out.qzi")), "frame file written")

        # Pressure on identical frames: nothing moves, the pixels stay.
        same = os.path.join(d, "same")
        write_recording(same, H, [(0, 0), (0, 0)])
        out2 = os.path.join(d, "same_out.hm")
        p = run(tool, same + ".hm", "pressure", out2)
        check(p.returncode == 0, f"pressure: exit status {p.returncode}: {p.stderr}")
        check("p 0.000 mm" in p.stdout and "q 0.000 mm" in p.stdout, f"pressure movements: {p.stdout}")
        if os.path.exists(out2):
            check([v[:3] for v in im_lines(out2)] == [[0, 0, 0], [0, 0, 0.1]], f"IM lines {im_lines(out2)}")
            with open(same + ".qzi", "rb") as a, open(os.path.join(d, "same_out.qzi"), "rb") as b:
                check(a.read() == b.read(), "pressure-corrected identical frames changed")

        # Runs that are not valid write nothing.
        kept = os.path.join(d, "kept.hm")
        with open(kept, "w") as f:
            f.write("old")
        short = os.path.join(d, "short")
        write_recording(short, 30, [(0, 0), (1, 0)])
        far = os.path.join(d, "far")
        write_recording(far, H, [(0, 0), (10, 0)])
        single = os.path.join(d, "single")
        write_recording(single, H, [(0, 0)])
        for src, mode, text in ((short, "positions", "at least 40"),
                                (far, "positions", "unreliable"),
                                (single, "pressure", "at least two frames")):
            p = run(tool, src + ".hm", mode, kept)
            check(p.returncode == 4, f"{src}: exit status {p.returncode}, want 4")
            check(text in p.stderr, f"{src}: message {p.stderr!r}")
            with open(kept) as f:
                check(f.read() == "old", f"{src}: output changed")
            check(not os.path.exists(os.path.join(d, "kept.qzi")), f"{src}: frame file written")
        p = run(tool, stem + ".hm", "sideways", kept)
        check(p.returncode == 2, "wrong command line")

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
