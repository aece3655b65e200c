#!/usr/bin/env python3
"""Independent oracles for the shape model tests.

  fit_oracles.py ssm DIR NVERTS
      writes shape model files for a model of NVERTS vertices into DIR:
      good.ssm (3 modes, seeded random floats, with good.txt holding the
      mean, eigenvalues and basis as text), wrong_vars.ssm, one_mode.ssm,
      truncated.ssm (basis cut short) and huge.ssm (2^30 modes, a few bytes).
  fit_oracles.py umeyama < pairs
      reads lines "px py pz qx qy qz" and prints, for the best proper and the
      best mirrored similarity q ~ s R p + t (Umeyama's SVD solution), the line
      "s r00 r01 r02 r10 r11 r12 r20 r21 r22 tx ty tz rms".
  fit_oracles.py nearest DATA VERTICES RANGE
      DATA and VERTICES hold lines "x y z nx ny nz"; prints per vertex the
      index and squared distance of the nearest data point within RANGE whose
      normal does not face away from the vertex's (scipy cKDTree), or "-1 0".
"""
import sys

import numpy as np


def write_ssm(path, nvars, nmodes, mean, eig, basis, cut=0):
    data = np.array([nvars, nmodes], '<i4').tobytes()
    data += np.asarray(mean, '<f4').tobytes() + np.asarray(eig, '<f4').tobytes()
    data += np.asarray(basis, '<f4').tobytes()
    with open(path, 'wb') as f:
        f.write(data[:len(data) - cut])


def ssm(folder, nverts):
    rng = np.random.default_rng(11)
    nvars, nmodes = 3 * nverts, 3
    mean = rng.normal(size=nvars).astype('<f4')
    eig = rng.uniform(1, 5, size=nmodes).astype('<f4')
    basis = rng.normal(size=(nvars, nmodes)).astype('<f4')
    write_ssm(f'{folder}/good.ssm', nvars, nmodes, mean, eig, basis)
    # Extra bytes after the last row are ignored.
    with open(f'{folder}/good.ssm', 'ab') as f:
        f.write(b'\0' * 7)
    with open(f'{folder}/good.txt', 'w') as f:
        for v in np.concatenate([mean, eig, basis.ravel()]):
            f.write(repr(float(v)) + '\n')
    write_ssm(f'{folder}/wrong_vars.ssm', nvars + 3, nmodes, np.zeros(nvars + 3), eig,
              np.zeros((nvars + 3, nmodes)))
    write_ssm(f'{folder}/one_mode.ssm', nvars, 1, mean, eig[:1], basis[:, :1])
    write_ssm(f'{folder}/truncated.ssm', nvars, nmodes, mean, eig, basis, cut=5)
    with open(f'{folder}/huge.ssm', 'wb') as f:
        f.write(np.array([nvars, 1 << 30], '<i4').tobytes() + b'\0' * 64)


def umeyama(p, q, mirrored):
    mp, mq = p.mean(0), q.mean(0)
    a, b = p - mp, q - mq
    cov = b.T @ a / len(p)
    u, d, vt = np.linalg.svd(cov)
    s_fix = np.eye(3)
    det = np.linalg.det(u) * np.linalg.det(vt)
    if (det < 0) != mirrored:
        s_fix[2, 2] = -1
    r = u @ s_fix @ vt
    var = (a ** 2).sum() / len(p)
    s = np.trace(np.diag(d) @ s_fix) / var
    t = mq - s * r @ mp
    res = q - (s * (r @ p.T).T + t)
    rms = np.sqrt((res ** 2).sum() / res.size)
    return s, r, t, rms


def nearest(data_file, vertex_file, radius):
    from scipy.spatial import cKDTree
    data = np.loadtxt(data_file, ndmin=2)
    verts = np.loadtxt(vertex_file, ndmin=2)
    tree = cKDTree(data[:, :3])
    for v, near in zip(verts, tree.query_ball_point(verts[:, :3], radius)):
        best, best_d = -1, 0.0
        for j in near:
            d2 = float(((data[j, :3] - v[:3]) ** 2).sum())
            if data[j, 3:] @ v[3:] >= 0 and (best < 0 or d2 < best_d):
                best, best_d = j, d2
        print(best, repr(best_d))


def main():
    if sys.argv[1] == 'ssm':
        ssm(sys.argv[2], int(sys.argv[3]))
    elif sys.argv[1] == 'nearest':
        nearest(sys.argv[2], sys.argv[3], float(sys.argv[4]))
    else:
        pairs = np.loadtxt(sys.stdin, ndmin=2)
        for mirrored in (False, True):
            s, r, t, rms = umeyama(pairs[:, :3], pairs[:, 3:], mirrored)
            print(' '.join(repr(float(v)) for v in [s, *r.ravel(), *t, rms]))


main()
