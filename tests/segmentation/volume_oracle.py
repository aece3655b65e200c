#!/usr/bin/env python3
"""Reference volumes for the volume segmentation tests, computed with scipy.ndimage.

Usage: volume_oracle.py DIR

DIR/cases.txt holds one case a line: NAME MODE W H D [X0 X1 Y0 Y1 Z0 Z1].
DIR/NAME.raw holds W*H*D bytes, x fastest, non-zero for object voxels; the
reference is written to DIR/NAME.out.raw. Modes:
  distance  uint8: 2 + taxicab distance to the object, capped at 245, inside
            the inclusive box X0..Z1, 0 elsewhere
  body      uint8: binary_fill_holes of the object (cavities 6-connected)
  holes     uint8: the filled cavities alone
  faces     int32: connected pieces, face neighbours
  planar    int32: connected pieces, faces plus diagonals within a slice
"""
import sys

import numpy as np
from scipy import ndimage


def main(directory):
    with open(directory + "/cases.txt") as f:
        for line in f:
            if not line.strip():
                continue
            fields = line.split()
            name, mode = fields[0], fields[1]
            w, h, d = (int(v) for v in fields[2:5])
            raw = np.fromfile(f"{directory}/{name}.raw", dtype=np.uint8)
            obj = raw.reshape(d, h, w) != 0
            if mode == "distance":
                x0, x1, y0, y1, z0, z1 = (int(v) for v in fields[5:11])
                dist = ndimage.distance_transform_cdt(~obj, metric="taxicab")
                out = np.zeros(obj.shape, np.uint8)
                box = (slice(z0, z1 + 1), slice(y0, y1 + 1), slice(x0, x1 + 1))
                out[box] = np.minimum(2 + dist, 245)[box]
            elif mode in ("body", "holes"):
                filled = ndimage.binary_fill_holes(obj)
                out = (filled if mode == "body" else filled & ~obj).astype(np.uint8)
            elif mode in ("faces", "planar"):
                structure = ndimage.generate_binary_structure(3, 1)
                if mode == "planar":
                    structure[1] = True  # the slice's own 3 x 3 neighbourhood
                out, _ = ndimage.label(obj, structure=structure)
                out = out.astype(np.int32)
            else:
                raise SystemExit("unknown mode " + mode)
            np.ascontiguousarray(out).tofile(f"{directory}/{name}.out.raw")


if __name__ == "__main__":
    main(sys.argv[1])
