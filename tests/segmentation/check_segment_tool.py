#!/usr/bin/env python3
"""nv_tool segment end to end: a two-frame recording with a disc on frame 1,
segmented from a click inside it with frame gap 0; the contour's area against
the disc's pixel count, the CONT line written, and the refusals that write
nothing. Then a stack of two balls with frame gap 2 and two objects: every
second frame that cuts a ball gets its section, the clicked (smaller) ball in
the current object and the other in the next.

Usage: check_segment_tool.py NV_TOOL
"""
import os
import subprocess
import sys
import tempfile

W, H = 40, 30
CX, CY, R = 18.0, 14.0, 8.0
SCALE = 0.05  # cm per pixel


def disc(x, y):
    return (x + 0.5 - CX) ** 2 + (y + 0.5 - CY) ** 2 <= R * R


def write_recording(stem):
    frames = bytearray()
    for k in range(2):
        for y in range(H):
            for x in range(W):
                inside = k == 1 and (disc(x, y) or (32 <= x <= 36 and 3 <= y <= 8))
                frames.append(200 if inside else 20)
    name = os.path.basename(stem)
    text = (f"RES_BUF_FRAMES 2\nRES_BUF_WIDTH {W}\nRES_BUF_HEIGHT {H}\nRES_POS_REC true\n"
            f"RES_END_HEADER\nRES_VERSION 7.27\nRES_BIN_IM_FILENAME {name}.qzi\n"
            "IM 1000 0 0 0 0 0 0\nIM 1001 0 0 0.1 0 0 0\n"
            f"RES_XSCALE {SCALE}\nRES_YSCALE {SCALE}\nRES_CMAP_GREY_LO 100\nRES_CMAP_GREY_HI 255\n"
            "RES_SEGMENT_FRAME 0\nRES_JUMP_THRESH 0\nRES_SIMPLIFY_THRESH 0\n")
    with open(stem + ".hm", "w") as f:
        f.write(text)
    with open(stem + ".qzi", "wb") as f:
        f.write(frames)


# The ball stack: frame k holds slice z = k of two balls.
SW, SH, SD = 40, 24, 9
BALLS = ((28.0, 12.0, 4.0, 3.5), (10.0, 12.0, 4.0, 4.5))  # the clicked one first


def in_ball(b, x, y, z):
    cx, cy, cz, r = BALLS[b]
    return (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 + (z - cz) ** 2 <= r * r


def write_ball_stack(stem):
    frames = bytearray()
    for z in range(SD):
        for y in range(SH):
            for x in range(SW):
                frames.append(200 if in_ball(0, x, y, z) or in_ball(1, x, y, z) else 20)
    name = os.path.basename(stem)
    ims = "".join(f"IM {1000 + z} 0 0 {0.1 * z:.1f} 0 0 0\n" for z in range(SD))
    text = (f"RES_BUF_FRAMES {SD}\nRES_BUF_WIDTH {SW}\nRES_BUF_HEIGHT {SH}\nRES_POS_REC true\n"
            f"RES_END_HEADER\nRES_VERSION 7.27\nRES_BIN_IM_FILENAME {name}.qzi\n" + ims +
            f"RES_XSCALE {SCALE}\nRES_YSCALE {SCALE}\nRES_CMAP_GREY_LO 100\nRES_CMAP_GREY_HI 255\n"
            "RES_SEGMENT_FRAME 2\nRES_SEGMENT_OBJECTS 2\nRES_SEGMENT_CONNECTED false\n"
            "RES_SEGMENT_RIDGES false\nRES_SEGMENT_VALLEYS false\n"
            "RES_JUMP_THRESH 0\nRES_SIMPLIFY_THRESH 0\n")
    with open(stem + ".hm", "w") as f:
        f.write(text)
    with open(stem + ".qzi", "wb") as f:
        f.write(frames)


def check_ball_stack(tool, d, check):
    stem = os.path.join(d, "balls")
    write_ball_stack(stem)
    out = os.path.join(d, "balls_out.hm")
    p = run(tool, stem + ".hm", 4, 28, 12, out)
    check(p.returncode == 0, f"ball stack: exit status {p.returncode}: {p.stderr}")
    got = {}
    for line in p.stdout.splitlines():
        parts = line.split()
        ok = len(parts) == 9 and parts[0] == "frame" and parts[2] == "object" and parts[8] == "cm^2"
        check(ok, f"ball stack line: {line}")
        if ok:
            key = (int(parts[1]), int(parts[3]))
            check(key not in got, f"one contour per section: {line}")
            got[key] = float(parts[7])
    want = {}
    for z in range(0, SD, 2):
        for b in range(2):
            pixels = sum(in_ball(b, x, y, z) for y in range(SH) for x in range(SW))
            if pixels:
                want[(z, b)] = pixels
    check(set(got) == set(want), f"sections {sorted(got)}, want {sorted(want)}")
    for key, pixels in want.items():
        if key in got:
            # Vertices lie within half a pixel of the pixel edges.
            area = got[key] / (SCALE * SCALE)
            check(abs(area - pixels) <= 0.5 * 4 * pixels ** 0.5 + 1, f"{key}: area {area} for {pixels}")
    with open(out) as f:
        cont = sorted((int(l.split()[1]), int(l.split()[2])) for l in f if l.startswith("CONT "))
    check(cont == sorted((b, z) for z, b in want), f"ball stack CONT lines: {cont}")


def run(tool, *args):
    return subprocess.run([tool, "segment", *map(str, args)], capture_output=True, text=True, timeout=120)


def main():
    tool = sys.argv[1]
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory() as d:
        stem = os.path.join(d, "rec")
        write_recording(stem)
        out = os.path.join(d, "out.hm")

        p = run(tool, stem + ".hm", 1, 18, 14, out)
        check(p.returncode == 0, f"exit status {p.returncode}: {p.stderr}")
        lines = p.stdout.splitlines()
        check(len(lines) == 1, f"one contour line: {lines}")
        pixels = sum(disc(x, y) for y in range(H) for x in range(W))
        want = pixels * SCALE * SCALE
        if lines:
            parts = lines[0].split()
            check(parts[:3] == ["contour", "1", "area"] and parts[4] == "cm^2", f"line: {lines[0]}")
            area = float(parts[3])
            # Vertices sit within half a pixel of the pixel edges.
            perimeter = 2 * 3.1416 * R * SCALE
            check(abs(area - want) < 0.5 * SCALE * perimeter, f"area {area} for {want}")
        with open(out) as f:
            cont = [l.split() for l in f if l.startswith("CONT ")]
        check(len(cont) == 1 and cont[0][1:4] == ["0", "1", "1"], f"CONT lines: {cont}")
        check(os.path.exists(os.path.join(d, "out.qzi")), "frame file written")

        # Refusals: nothing written, an existing file left as it was.
        kept = os.path.join(d, "kept.hm")
        with open(kept, "w") as f:
            f.write("old")
        for args, code, text in (((1, 2, 2), 1, "outside the threshold band"),
                                 ((1, 40, 5), 2, "outside the 40 x 30 frame"),
                                 ((1, 5, -1), 2, "outside the 40 x 30 frame"),
                                 ((2, 18, 14), 2, "outside the frames 0 to 1"),
                                 ((0, 18, 14), 1, "outside the threshold band")):
            p = run(tool, stem + ".hm", *args, kept)
            check(p.returncode == code, f"{args}: exit status {p.returncode}, want {code}")
            check(text in p.stderr, f"{args}: message {p.stderr!r}")
            with open(kept) as f:
                check(f.read() == "old", f"{args}: output changed")
            check(not os.path.exists(os.path.join(d, "kept.qzi")), f"{args}: frame file written")
        p = run(tool, stem + ".hm", 1, "x", 14, kept)
        check(p.returncode == 2, "wrong command line")

        check_ball_stack(tool, d, check)

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
