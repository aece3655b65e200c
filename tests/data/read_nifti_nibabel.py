#!/usr/bin/env python3
"""Reads a NIfTI file with nibabel, an implementation independent of the
program's, and reports what a test needs to compare: one line
"dtype shape zooms intent" and the voxels, first axis fastest, written to
OUT_RAW as they are stored.

Usage: read_nifti_nibabel.py NIFTI OUT_RAW
"""
import sys

import nibabel as nib
import numpy as np


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    img = nib.load(argv[1])
    data = np.asanyarray(img.dataobj)
    with open(argv[2], "wb") as f:
        f.write(data.tobytes(order="F"))
    zooms = ",".join("%.4f" % z for z in img.header.get_zooms())
    intent = img.header.get_intent()[0]
    print(data.dtype, "x".join(str(n) for n in data.shape), zooms, intent)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
