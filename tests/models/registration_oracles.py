#!/usr/bin/env python3
"""Independent data for the registration tests.

  registration_oracles.py modes DIR
      writes DIR/sphere.ply (a UV sphere of radius 20 mm, 12 x 24, with two
      fitting landmarks) and DIR/sphere.ssm: the sphere as mean and two
      orthonormal modes, the first moving every x coordinate, the second
      every y coordinate, in proportion to it. DIR/target.txt holds the
      shape mean + 1.5 mode 1 - 0.7 mode 2, one vertex "x y z" a line.
"""
import sys

import numpy as np


def uv_sphere(radius, rings, segments):
    pts = [(0.0, 0.0, radius)]
    for i in range(1, rings):
        t = np.pi * i / rings
        for j in range(segments):
            p = 2 * np.pi * j / segments
            pts.append((radius * np.sin(t) * np.cos(p), radius * np.sin(t) * np.sin(p), radius * np.cos(t)))
    pts.append((0.0, 0.0, -radius))
    faces = []
    last = len(pts) - 1
    for j in range(segments):
        faces.append((0, 1 + j, 1 + (j + 1) % segments))
    for i in range(rings - 2):
        a, b = 1 + i * segments, 1 + (i + 1) * segments
        for j in range(segments):
            k = (j + 1) % segments
            faces.append((a + j, b + j, b + k))
            faces.append((a + j, b + k, a + k))
    base = 1 + (rings - 2) * segments
    for j in range(segments):
        faces.append((base + j, last, base + (j + 1) % segments))
    return np.array(pts), faces


def modes(folder):
    pts, faces = uv_sphere(20.0, 12, 24)
    with open(f'{folder}/sphere.ply', 'w') as f:
        f.write('ply\nformat ascii 1.0\ncomment FIT_MODEL_LM "north" 0\n')
        f.write(f'comment FIT_MODEL_LM "south" {len(pts) - 1}\n')
        f.write(f'element vertex {len(pts)}\nproperty float x\nproperty float y\nproperty float z\n')
        f.write(f'element face {len(faces)}\nproperty list uchar int vertex_indices\nend_header\n')
        for p in pts:
            f.write('%r %r %r\n' % tuple(float(np.float32(v)) for v in p))
        for t in faces:
            f.write('3 %d %d %d\n' % t)
    mean = pts.astype('<f4').astype(float).ravel()
    nvars = mean.size
    basis = np.zeros((nvars, 2))
    basis[0::3, 0] = mean[0::3]
    basis[1::3, 1] = mean[1::3]
    basis /= np.linalg.norm(basis, axis=0)
    basis = basis.astype('<f4')
    data = np.array([nvars, 2], '<i4').tobytes() + mean.astype('<f4').tobytes()
    data += np.array([4.0, 2.0], '<f4').tobytes() + basis.tobytes()
    with open(f'{folder}/sphere.ssm', 'wb') as f:
        f.write(data)
    target = mean.astype('<f4').astype(float) + basis.astype(float) @ np.array([1.5, -0.7])
    np.savetxt(f'{folder}/target.txt', target.reshape(-1, 3), fmt='%.12g')


if sys.argv[1] == 'modes':
    modes(sys.argv[2])
