#!/usr/bin/python3
"""PLY files written here by hand for the PLY reader's tests.

py_ascii.ply, py_le.ply and py_be.ply hold the same header and values in the
three formats: comments (one empty, one with quotes), an obj_info line, an
element "vertex" with one property of every type (the binary files name the
types by their aliases), an element "extra" that the tests do not ask for
(with a list), and an element "face" whose list is called "vertex_index".
py.expect lists, in reading order, what the reader must hand the callbacks
of "vertex" and "face":

  comment TEXT
  obj_info TEXT
  value ELEMENT PROPERTY INSTANCE INDEX VALUE   (INDEX -1: the list's length)

usage: make_ply_fixtures.py OUT_DIR
"""
import os
import struct
import sys

OUT = sys.argv[1]

COMMENTS = ["first comment", "", 'LANDMARK "tip of \'x\'" 1.5 -2 3 0 0 1']
OBJ_INFO = ["made by hand"]
# name, struct code, type name, alias
VERTEX = [("a", "b", "char", "int8"), ("b", "B", "uchar", "uint8"),
          ("c", "h", "short", "int16"), ("d", "H", "ushort", "uint16"),
          ("e", "i", "int", "int32"), ("f", "I", "uint", "uint32"),
          ("x", "f", "float", "float32"), ("y", "d", "double", "float64")]


def as_float(v):
    return struct.unpack("<f", struct.pack("<f", v))[0]


VERTICES = [
    [-128, 255, -32768, 65535, -2147483648, 4294967295, as_float(0.1), 1.0 / 3.0],
    [127, 0, 32767, 0, 2147483647, 0, as_float(-2.5e10), -1e-300],
    [0, 7, -1, 1234, -5, 99, as_float(3.0), 2.0 ** 60],
    [-1, 128, 5, 6, 7, 8, as_float(-0.0), 0.5],
]
EXTRA = [(1.25, [1, 2, 3, 4]), (-2.0, [])]
FACES = [[0, 1, 2], [3, 2, 1, 0]]


def header(fmt, alias):
    lines = ["ply", "format %s 1.0" % fmt]
    lines += ["comment " + c if c else "comment" for c in COMMENTS]
    lines += ["obj_info " + o for o in OBJ_INFO]
    lines.append("element vertex %d" % len(VERTICES))
    for name, _, t, a in VERTEX:
        lines.append("property %s %s" % (a if alias else t, name))
    lines += ["element extra %d" % len(EXTRA), "property float q",
              "property list uchar int stuff"]
    lines += ["element face %d" % len(FACES),
              "property list %s %s vertex_index" % (("uint8", "int32") if alias else ("uchar", "int"))]
    lines.append("end_header")
    return ("\n".join(lines) + "\n").encode()


def write_binary(path, order, alias):
    data = bytearray(header("binary_little_endian" if order == "<" else "binary_big_endian", alias))
    for v in VERTICES:
        for (name, code, _, _), value in zip(VERTEX, v):
            data += struct.pack(order + code, value)
    for q, stuff in EXTRA:
        data += struct.pack(order + "f", q) + struct.pack(order + "B", len(stuff))
        for s in stuff:
            data += struct.pack(order + "i", s)
    for f in FACES:
        data += struct.pack(order + "B", len(f))
        for i in f:
            data += struct.pack(order + "i", i)
    with open(os.path.join(OUT, path), "wb") as out:
        out.write(data)


def write_ascii(path):
    text = header("ascii", False).decode()
    for v in VERTICES:
        text += " ".join(repr(x) for x in v) + "\n"
    for q, stuff in EXTRA:
        text += "%r %d %s\n" % (q, len(stuff), " ".join(str(s) for s in stuff))
    for f in FACES:
        text += "%d %s\r\n" % (len(f), "  ".join(str(i) for i in f))  # odd spacing and line ends
    with open(os.path.join(OUT, path), "w", newline="") as out:
        out.write(text)


write_ascii("py_ascii.ply")
write_binary("py_le.ply", "<", False)
write_binary("py_be.ply", ">", True)

with open(os.path.join(OUT, "py.expect"), "w") as out:
    for c in COMMENTS:
        out.write("comment %s\n" % c)
    for o in OBJ_INFO:
        out.write("obj_info %s\n" % o)
    for i, v in enumerate(VERTICES):
        for (name, _, _, _), value in zip(VERTEX, v):
            out.write("value vertex %s %d 0 %r\n" % (name, i, float(value)))
    for i, f in enumerate(FACES):
        out.write("value face vertex_index %d -1 %d\n" % (i, len(f)))
        for k, idx in enumerate(f):
            out.write("value face vertex_index %d %d %d\n" % (i, k, idx))
