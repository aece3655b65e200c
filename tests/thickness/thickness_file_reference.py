#!/usr/bin/python3
"""Writes the expected bytes of a thickness value file with a header, built
with struct from the layout alone: two little-endian doubles (display scale),
the two-character unit, a zero, the note and zeros up to 256 bytes, then the
values. The 24 characters of the date are written as '?', for the test to
mask.

usage: thickness_file_reference.py OUT reversed(0|1) LO HI UNIT VERSION V1 V2 ...
"""
import struct
import sys

out, rev, lo, hi, unit, version = sys.argv[1:7]
values = [float(v) for v in sys.argv[7:]]
note = ("Reversed\n" if rev == "1" else "") + "Created by Norvelith v" + version + " on " + "?" * 24
block = unit.encode("ascii") + b"\0" + note.encode("latin-1")
assert len(block) <= 240
header = struct.pack("<dd", float(lo), float(hi)) + block + b"\0" * (240 - len(block))
assert len(header) == 256
with open(out, "wb") as f:
    f.write(header + struct.pack("<%dd" % len(values), *values))
