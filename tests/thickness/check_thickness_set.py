#!/usr/bin/python3
"""Reads a saved thickness set with numpy: the stub's "_thick_dat.bin"
(256-byte header), "_thick_err.bin" and the PLY copy of the surface, whose
k-th vertex belongs to the k-th value. For the tube phantom (axis along z
at (CX, CY) mm, wall WMIN towards +x to WMAX towards -x) prints the mean of
the measured thicknesses, the mean of the phantom's wall at the same
vertices, and the counts.

usage: check_thickness_set.py STUB CX CY WMIN WMAX
"""
import math
import sys

import numpy as np

stub = sys.argv[1]
cx, cy, ex, ey, wmin, wmax, zlo, zhi = map(float, sys.argv[2:10])
raw = open(stub + "_thick_dat.bin", "rb").read()
thick = np.frombuffer(raw[256:], dtype="<f8")
err = np.fromfile(stub + "_thick_err.bin", dtype="<f8")

types = {"float": "f4", "float32": "f4", "double": "f8", "float64": "f8", "uchar": "u1",
         "uint8": "u1", "char": "i1", "int8": "i1", "short": "i2", "int16": "i2", "ushort": "u2",
         "uint16": "u2", "int": "i4", "int32": "i4", "uint": "u4", "uint32": "u4"}
data = open(stub + ".ply", "rb").read()
end = data.index(b"end_header\n") + len(b"end_header\n")
header = data[:end].decode("latin-1").splitlines()
assert "format binary_little_endian 1.0" in header, header[:3]
fields, count, in_vertex = [], 0, False
for line in header:
    w = line.split()
    if w[:2] == ["element", "vertex"]:
        count, in_vertex = int(w[2]), True
    elif w and w[0] == "element":
        in_vertex = False
    elif in_vertex and w[0] == "property":
        assert w[1] != "list"
        fields.append((w[2], "<" + types[w[1]]))
vertices = np.frombuffer(data, dtype=np.dtype(fields), count=count, offset=end)
assert count == len(thick) == len(err), (count, len(thick), len(err))
inside = (vertices["z"] >= zlo) & (vertices["z"] <= zhi) & (np.abs(vertices["nz"]) < 0.2)
ok = (err < 1e9) & inside
dx, dy = vertices["x"] - cx, vertices["y"] - cy
cos = (dx * ex + dy * ey) / np.hypot(dx, dy) / math.hypot(ex, ey)
wall = wmin + (wmax - wmin) * (1 - cos) / 2
print("count %d wall %d wall_measured %d" % (count, int(inside.sum()), int(ok.sum())))
print("mean_measured %.6f" % thick[ok].mean())
print("mean_phantom %.6f" % wall[ok].mean())
