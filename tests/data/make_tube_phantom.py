#!/usr/bin/env python3
"""A bone-like tube phantom for the thickness measurements, written as a
16-bit NIfTI volume with nibabel.

The tube runs along z. In each slice a disc of radius R (the outer cortical
surface) holds cortex of density CORTEX outside an inner boundary at
radius R - w(theta) and marrow of density INSIDE within it; OUTSIDE fills
the rest. The wall thickness varies round the circumference,

    w(theta) = WALL_MIN + (WALL_MAX - WALL_MIN) (1 - cos theta) / 2,

theta = atan2(y - CY, x - CX), so it is WALL_MIN towards +x and WALL_MAX
towards -x. The slice is drawn on a grid SUPERSAMPLE times finer than the
pixels, blurred by a Gaussian of sigma BLUR_MM (scipy.ndimage) and read at
the pixel centres, so that each pixel holds the blurred density at its
centre; optional Gaussian noise (NOISE density units, seeded) is added
before rounding to whole numbers.

Coordinates: voxel (i, j, k) lies at (i PIXEL_MM, j PIXEL_MM, k SLICE_MM)
mm (the affine is diagonal), the tube's axis at (CX, CY) in voxel units.

Usage: make_tube_phantom.py OUT.nii [--option value ...] (see --help);
prints the parameters as one JSON line.
"""
import argparse
import json
import sys

import nibabel as nib
import numpy as np
from scipy import ndimage


def parse(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("out", help="the NIfTI file to write (.nii or .nii.gz)")
    p.add_argument("--size", type=int, default=160, help="pixels across and down")
    p.add_argument("--slices", type=int, default=8)
    p.add_argument("--pixel-mm", type=float, default=0.25)
    p.add_argument("--slice-mm", type=float, default=0.5)
    p.add_argument("--cx", type=float, default=None, help="axis, voxel units (default: the middle)")
    p.add_argument("--cy", type=float, default=None)
    p.add_argument("--outer-radius-mm", type=float, default=12.0)
    p.add_argument("--wall-min-mm", type=float, default=0.6)
    p.add_argument("--wall-max-mm", type=float, default=3.0)
    p.add_argument("--blur-mm", type=float, default=0.4, help="Gaussian sigma in the slice plane")
    p.add_argument("--outside", type=float, default=0.0)
    p.add_argument("--cortex", type=float, default=1500.0)
    p.add_argument("--inside", type=float, default=100.0)
    p.add_argument("--noise", type=float, default=0.0, help="standard deviation, density units")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--supersample", type=int, default=5, help="odd: a fine sample at each pixel centre")
    a = p.parse_args(argv)
    if a.supersample < 1 or a.supersample % 2 == 0:
        p.error("--supersample must be odd")
    if a.cx is None:
        a.cx = a.size / 2.0
    if a.cy is None:
        a.cy = a.size / 2.0
    return a


def wall_mm(a, theta):
    return a.wall_min_mm + (a.wall_max_mm - a.wall_min_mm) * (1.0 - np.cos(theta)) / 2.0


def slice_image(a):
    k = a.supersample
    n = a.size * k
    # Fine sample u lies at (u - (k - 1) / 2) / k in voxel units.
    u = (np.arange(n) - (k - 1) / 2.0) / k
    x, y = np.meshgrid(u, u, indexing="ij")  # [i, j]: x along the first axis
    dx, dy = (x - a.cx) * a.pixel_mm, (y - a.cy) * a.pixel_mm
    r = np.hypot(dx, dy)
    theta = np.arctan2(dy, dx)
    inner = a.outer_radius_mm - wall_mm(a, theta)
    fine = np.full((n, n), a.outside, dtype=np.float64)
    fine[r <= a.outer_radius_mm] = a.cortex
    fine[r <= inner] = a.inside
    blurred = ndimage.gaussian_filter(fine, sigma=a.blur_mm / a.pixel_mm * k, mode="nearest")
    c = (k - 1) // 2
    return blurred[c::k, c::k]


def main(argv):
    a = parse(argv)
    image = slice_image(a)
    volume = np.repeat(image[:, :, None], a.slices, axis=2)
    if a.noise > 0:
        volume = volume + np.random.default_rng(a.seed).normal(0.0, a.noise, volume.shape)
    data = np.clip(np.rint(volume), -32768, 32767).astype(np.int16)
    affine = np.diag([a.pixel_mm, a.pixel_mm, a.slice_mm, 1.0])
    img = nib.Nifti1Image(data, affine)
    img.header.set_xyzt_units("mm")
    img.header.set_slope_inter(1.0, 0.0)
    nib.save(img, a.out)
    params = {k: v for k, v in vars(a).items()}
    print(json.dumps(params))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
