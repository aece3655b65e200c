#!/usr/bin/env python3
"""Reference colour tables and frame mappings of the display colour map.

Written from the description of the colour map, independently of the C++
code, as direct per-value and per-pixel computations (no tables of derived
colours, no separable passes). Standard library only. Single-precision steps
are emulated by rounding each operation to float32 (exact for + - * / of
float32 operands computed in double).

    python3 cmap_oracle.py OUTDIR   writes tables.txt, frames.txt, tf.txt
"""
import math
import random
import struct
import sys


def f32(x):
    return struct.unpack('f', struct.pack('f', x))[0]


# ---- settings -----------------------------------------------------------------

class Settings:
    def __init__(self, doppler=0, binary=0, volume=0, labels=0, lo=0, hi=0, anti=0,
                 rlo=0, rhi=0, blo=0, bhi=0, pixels=0, background='#808080', rows=None):
        self.doppler, self.binary, self.volume, self.labels = doppler, binary, volume, labels
        self.lo, self.hi, self.anti = lo, hi, anti
        self.rlo, self.rhi, self.blo, self.bhi = rlo, rhi, blo, bhi
        self.pixels, self.background = pixels, background
        # volume rows: (enabled, value, r, g, b, opacity, roughness, metallic, anisotropy)
        self.rows = rows or []

    def line(self):
        return ' '.join(str(v) for v in (
            self.doppler, self.binary, self.volume, self.labels, self.lo, self.hi, self.anti,
            self.rlo, self.rhi, self.blo, self.bhi, self.pixels)) + ' ' + self.background

    def rows_lines(self):
        return ['row ' + ' '.join(str(v) for v in r) for r in self.rows]


# ---- Doppler palette ------------------------------------------------------------

def doppler_colour(i):
    def r16(x):
        return int(math.floor(x + 0.5))
    if i <= 127:
        c = r16(65535 * i / 127)
        rgb16 = (c, c, c)
    else:
        k = i - 128 if i <= 191 else i - 192
        grow = min(65535, r16(65535 * (k + 22.5) / 43))
        late = max(0, r16(65535 * (k - 20) / 43))
        rgb16 = (0, late, grow) if i <= 191 else (grow, late, 0)
    return tuple(c // 257 for c in rgb16)


def doppler_class(v):
    return 0 if v <= 127 else (1 if v <= 191 else 2)


# ---- volume transfer function -----------------------------------------------------

def transfer_function(rows, p1, p2, material=False):
    out = [[0.0] * 4 for _ in range(256)]
    mat = [[0.0] * 3 for _ in range(256)]
    points = {}
    for k, r in enumerate(rows):
        en, v = r[0], r[1]
        if en and 0 <= v <= 255 and v not in points:
            points[v] = k
    keys = sorted(points)
    for v in keys:
        en, value, red, green, blue, opacity, rough, metal, aniso = rows[points[v]]
        out[v] = [f32(red / 255.0), f32(green / 255.0), f32(blue / 255.0), f32(opacity / 255.0)]
        mat[v] = [f32(rough / 255.0), f32(metal / 255.0), f32(aniso / 255.0)]
    if not keys:
        out[0], out[255] = [0.0] * 4, [1.0] * 4
        mat[0], mat[255] = [0.5, 0.0, 0.0], [0.5, 0.0, 0.0]
        knots = [0, 255]
    else:
        out[0], mat[0] = list(out[keys[0]]), list(mat[keys[0]])
        out[255], mat[255] = list(out[keys[-1]]), list(mat[keys[-1]])
        knots = sorted(set([0] + keys + [255]))
    for a, b in zip(knots, knots[1:]):
        for i in range(a + 1, b):
            # a + f (b - a): a constant stretch stays exactly constant
            f = f32((i - a) / (b - a))
            out[i] = [f32(out[a][c] + f32(f * f32(out[b][c] - out[a][c]))) for c in range(4)]
            mat[i] = [f32(mat[a][c] + f32(f * f32(mat[b][c] - mat[a][c]))) for c in range(3)]
    out[0][3] = out[1][3] = 0.0
    for i in range(2, 256):
        out[i][3] = f32(1.0 - math.pow(1.0 - math.pow(out[i][3], p1), p2))
    return out, (mat if material else None)


# ---- tables ---------------------------------------------------------------------------

LABEL_SCALE = (1.0, 0.4, 0.7, 0.7, 0.4)
LABEL_OFFSET = (0.0, 0.6, 0.0, 0.3, 0.0)
LABEL_HUE = ((1.0, 1.0, 0.2), (0.2, 1.0, 0.0), (0.1, 0.7, 1.0),
             (0.4, 0.3, 1.0), (0.9, 0.1, 0.2), (1.0, 0.5, 0.0))


def in_band(v, lo, hi):
    return lo <= v <= hi or (hi < lo and (v < hi or v > lo))


def tables(s):
    """(band, not, colours, gradient range) for 256 values."""
    band, nots, colours = [0] * 256, [0] * 256, []
    for v in range(256):
        if s.doppler:
            colours.append(doppler_colour(v))
            if s.binary:
                if v <= 127:
                    lo, hi = s.lo, s.hi
                elif v <= 191:
                    lo, hi = s.blo + 128, s.bhi + 128
                else:
                    lo, hi = s.rlo + 192, s.rhi + 192
                band[v] = int(in_band(v, lo, hi))
        elif s.binary:
            colours.append((v, v, v))
            lo, hi, anti = s.lo, s.hi, s.anti
            if lo == 0 and hi == 0:
                continue
            if lo <= hi:
                band[v] = int(lo <= v <= hi)
                if not band[v]:
                    nots[v] = int((anti >= hi and v > anti) or (anti <= lo and v < anti))
            else:
                band[v] = int(v < hi or v > lo)
                if not band[v]:
                    nots[v] = int((hi == 0 and anti <= lo and v < anti) or
                                  (lo == 255 and anti >= hi and v > anti))
        elif s.labels:
            if v == 0:
                colours.append((0, 0, 0))
            else:
                k = v - 1
                h, sh = k % 6, (k // 6) % 5
                colours.append(tuple(int(200.0 * (LABEL_SCALE[sh] * LABEL_HUE[h][c] + LABEL_OFFSET[sh]))
                                     for c in range(3)))
        elif s.volume:
            tf, _ = transfer_function(s.rows, 1.0, 1.0)
            colours.append(tuple(int(f32(tf[v][c] * 255.0)) for c in range(3)))
        else:
            colours.append((v, v, v))
    rng = 0
    if s.binary and not s.doppler and s.lo > 0 and s.hi > 0:
        rng = (s.hi - s.lo) ** 2
        if s.hi < s.lo:
            rng = -rng
    return band, nots, colours, rng


def shown(v, highlighted, band, nots, colours):
    r, g, b = colours[v]
    if nots[v]:
        return (int((0.6 * r + 102) * 0.8), 0, int(0.6 * b + 102))
    if highlighted:
        return (int(0.6 * r + 102), int((0.6 * g + 102) * 0.2), int(0.6 * b + 102))
    return (r, g, b)


def minmod(d1, d2):
    if d1 * d2 < 0:
        return 0
    return d2 if abs(d2) < abs(d1) else d1


def trunc_div4(x):
    return x // 4  # x is a sum of squares: never negative


def highlighted_frame(img, w, h, x, y, band, rng):
    v = img[y][x]
    if rng == 0:
        return bool(band[v])
    if rng > 0 and not band[v]:
        return False
    if rng < 0 and band[v]:
        return True
    g = 0
    if 0 < x < w - 1 and 0 < y < h - 1:
        col = lambda dx: img[y - 1][x + dx] + 2 * img[y][x + dx] + img[y + 1][x + dx]
        row = lambda dy: img[y + dy][x - 1] + 2 * img[y + dy][x] + img[y + dy][x + 1]
        gx = minmod(col(0) - col(-1), col(1) - col(0))
        gy = minmod(row(0) - row(-1), row(1) - row(0))
        g = trunc_div4(gx * gx + gy * gy)
    return g <= rng if rng > 0 else g > -rng


def map_rgb(img, w, h, s, step, ow, oh):
    band, nots, colours, rng = tables(s)
    out = []
    for r in range(oh):
        for c in range(ow):
            x, y = c * step, r * step
            v = img[y][x]
            out.extend(shown(v, (not nots[v]) and highlighted_frame(img, w, h, x, y, band, rng),
                             band, nots, colours))
    return out


# ---- frame resampling ------------------------------------------------------------------------

def kernel_coeffs(B, C):
    near = [f32(f32((12 - 9 * B - 6 * C) / 6) * 256), f32(f32((-18 + 12 * B + 6 * C) / 6) * 256),
            f32(f32(f32((6 - 2 * B) / 6) * 256) + 0.5)]
    far = [f32(f32((-B - 6 * C) / 6) * 256), f32(f32((6 * B + 30 * C) / 6) * 256),
           f32(f32((-12 * B - 48 * C) / 6) * 256), f32(f32(f32((8 * B + 24 * C) / 6) * 256) + 0.5)]
    return near, far


def cubic_weight(coeffs, t):
    near, far = coeffs
    t = abs(f32(t))
    if t < 1:
        k = f32(f32(f32(f32(near[0] * t) + near[1]) * t) * t)
        k = f32(k + near[2])
    elif t < 2:
        k = f32(f32(f32(f32(f32(far[0] * t) + far[1]) * t) + far[2]) * t)
        k = f32(k + far[3])
    else:
        return 0
    return math.floor(k)


def weights(u, last, kind, coeffs):
    p = math.floor(u)
    f = u - p
    cl = lambda i: min(last, max(0, i))
    taps = (cl(p - 1), cl(p), cl(p + 1), cl(p + 2))
    if kind == 'cubic':
        w = [cubic_weight(coeffs, 1.0 + f), cubic_weight(coeffs, f),
             cubic_weight(coeffs, 1.0 - f), cubic_weight(coeffs, 2.0 - f)]
        rest = 256 - sum(w)
        if w[1] > w[2]:
            w[1] += rest
        else:
            w[2] += rest
        return taps, w
    wb = math.floor((1.0 - f) * 256.0 + 0.5)
    if kind == 'nearest':
        wb = 256 if wb > 127 else 0
    return taps, [0, wb, 256 - wb, 0]


def orr(x, y):
    return x if x != 0 else y


def combine(vals, w, kind, masked, doppler):
    """Weighted sum of four taps in units of 1/256 (value units for Doppler)."""
    a, b, c, d = vals
    wa, wb, wc, wd = w
    if kind == 'cubic':
        if not masked:
            return wa * a + wb * b + wc * c + wd * d
        if b and c:
            return wa * orr(a, b) + wb * b + wc * c + wd * orr(d, c)
        if b:
            return wa * orr(a, b) + (wb + wc) * b + wd * orr(d, b) if wb >= wc else 0
        if c and wc >= wb:
            return (wb + wc) * c + wd * orr(d, c) + wa * orr(a, c)
        return 0
    if masked and (b == 0 or c == 0):
        wb = 256 if wb > 127 else 0
        wc = 256 - wb
    if doppler:
        if doppler_class(b) == doppler_class(c):
            return ((b * wb * 256 + c * wc * 256 + 32768) >> 16) & 255
        return b if wb > wc else c
    return wb * b + wc * c


def map_frame(img, w, h, s, ow, oh, x0, y0, zx, zy, masked, opacity):
    """Returns the RGBA bytes, or None when nothing is written."""
    x0, y0, zx, zy = f32(x0), f32(y0), f32(zx), f32(zy)
    if y0 > h - 0.5 or x0 > w - 0.5:
        return None
    bottom_up = zy < 0
    zy = abs(zy)
    band, nots, colours, rng = tables(s)
    kind = 'cubic' if zx >= 2 and not s.doppler else 'linear'
    if s.pixels or s.labels:
        kind = 'nearest'
    if masked or s.volume:
        B, C = 1.0, 0.0
    elif zx >= 4:
        B = C = 1.0 / 3.0
    else:
        B, C = (zx - 2.0) / 6.0, (4.0 - zx) / 4.0 + (zx - 2.0) / 6.0
    coeffs = kernel_coeffs(B, C)
    doppler = bool(s.doppler) and kind != 'cubic'
    bg = (int(s.background[1:3], 16), int(s.background[3:5], 16), int(s.background[5:7], 16))
    alpha = int(255.0 * opacity)
    r0 = max(0, math.floor(y0) - 3)
    n = min(math.floor(oh / zy) + 6, h - r0)

    def horizontal(row, t):
        u = (t + 0.5) / zx + x0 - 0.5  # the centre of output pixel t
        if u < -0.5 or u > w - 0.5:
            return 0
        taps, wt = weights(u, w - 1, kind, coeffs)
        line = img[r0 + row]
        return combine([line[i] for i in taps], wt, kind, masked, doppler)

    values = [[-1] * ow for _ in range(oh)]
    for srow in range(oh):
        u = (srow + 0.5) / zy + y0 - r0 - 0.5
        if u < -0.5 or u >= n - 0.5:
            continue
        taps, wt = weights(u, n - 1, kind, coeffs)
        y = oh - 1 - srow if bottom_up else srow
        for x in range(ow):
            sm = combine([horizontal(k, x) for k in taps], wt, kind, masked, doppler)
            if doppler:
                v = sm
            elif kind == 'cubic':
                v = min(255, max(0, sm >> 16))
            else:
                v = sm >> 16
            values[y][x] = -1 if masked and v == 0 else v

    sx = max(1, math.floor(zx + 0.5))
    sy = max(1, math.floor(zy + 0.5))

    def nb(x, y):
        v = values[y][x]
        return -1 if v < 0 or v > 255 else v

    def highlighted(x, y):
        v = values[y][x]
        if rng == 0:
            return bool(band[v])
        if rng > 0 and not band[v]:
            return False
        if rng < 0 and band[v]:
            return True
        g = 0
        if sx <= x < ow - sx and sy <= y < oh - sy:
            col = lambda dx: nb(x + dx * sx, y - sy) + 2 * nb(x + dx * sx, y) + nb(x + dx * sx, y + sy)
            row = lambda dy: nb(x - sx, y + dy * sy) + 2 * nb(x, y + dy * sy) + nb(x + sx, y + dy * sy)
            mx = minmod(col(0) - col(-1), col(1) - col(0))
            my = minmod(row(0) - row(-1), row(1) - row(0))
            gx = int(f32(f32(float(mx) * f32(zx / float(sx))) + 0.5))
            gy = int(f32(f32(float(my) * f32(zy / float(sy))) + 0.5))
            g = (gx * gx + gy * gy) // 4
        return g <= rng if rng > 0 else g > -rng

    out = []
    for y in range(oh):
        for x in range(ow):
            v = values[y][x]
            if v < 0 or v > 255:
                out.extend(bg + (0,))
            else:
                out.extend(shown(v, (not nots[v]) and highlighted(x, y), band, nots, colours) + (alpha,))
    return out


# ---- cases ------------------------------------------------------------------------------------

VOLUME_ROWS = [
    (1, 200, 250, 20, 10, 240, 10, 20, 30),
    (1, 50, 30, 180, 90, 128, 200, 100, 0),
    (1, 50, 255, 255, 255, 255, 0, 0, 0),
    (0, 120, 1, 2, 3, 4, 5, 6, 7),
    (1, 300, 9, 9, 9, 9, 9, 9, 9),
]

TABLE_CASES = [
    ('grey', Settings()),
    ('thresholds_50_100_150', Settings(binary=1, lo=50, hi=100, anti=150)),
    ('thresholds_not_below', Settings(binary=1, lo=120, hi=200, anti=60)),
    ('thresholds_inverted', Settings(binary=1, lo=100, hi=50, anti=70)),
    ('thresholds_inverted_hi0_not', Settings(binary=1, lo=180, hi=0, anti=90)),
    ('thresholds_inverted_lo255_not', Settings(binary=1, lo=255, hi=40, anti=200)),
    ('thresholds_zero_lo', Settings(binary=1, lo=0, hi=80, anti=0)),
    ('thresholds_all_zero', Settings(binary=1)),
    ('doppler', Settings(doppler=1)),
    ('doppler_thresholds_zero', Settings(doppler=1, binary=1)),
    ('doppler_thresholds', Settings(doppler=1, binary=1, lo=10, hi=90, rlo=5, rhi=40, blo=50, bhi=20)),
    ('labels', Settings(labels=1)),
    ('labels_under_thresholds', Settings(labels=1, binary=1, lo=30, hi=60, anti=100)),
    ('volume', Settings(volume=1, rows=VOLUME_ROWS)),
    ('volume_no_rows', Settings(volume=1, rows=[(0, 10, 1, 1, 1, 1, 1, 1, 1)])),
    ('volume_one_row', Settings(volume=1, rows=[(1, 100, 10, 200, 30, 99, 0, 0, 0)])),
]


def random_frame(rng, w, h, kind):
    if kind == 'masked':
        # Patches of data on an empty ground, with some sharp edges.
        img = [[0] * w for _ in range(h)]
        for y in range(h):
            for x in range(w):
                if (x - w * 0.45) ** 2 + (y - h * 0.5) ** 2 < (min(w, h) * 0.4) ** 2 or x == w - 1:
                    img[y][x] = rng.randint(1, 255)
        return img
    if kind == 'smooth':
        return [[int(127 + 120 * math.sin(x * 0.7 + y * 0.3) * math.cos(y * 0.45)) for x in range(w)]
                for y in range(h)]
    return [[rng.randint(0, 255) for _ in range(w)] for _ in range(h)]


def frame_cases():
    rng = random.Random(19)
    cases = []
    zooms = [0.5, 1.0, 1.5, 2.0, 3.0, 4.0, 7.3]
    for z in zooms:
        for masked in (0, 1):
            w, h = 13, 11
            img = random_frame(rng, w, h, 'masked' if masked else 'random')
            # The whole frame and a margin, at most 48 pixels a side.
            ow, oh = min(48, int(w * z) + 5), min(48, int(h * z) + 4)
            cases.append(('zoom%g_%s' % (z, 'masked' if masked else 'plain'), Settings(),
                          img, ow, oh, -0.75, -1.25, z, -z, masked, 1.0))
            cases.append(('zoom%g_%s_topdown_offset' % (z, 'masked' if masked else 'plain'), Settings(),
                          img, max(4, int(w * z * 0.6)), max(4, int(h * z * 0.6)), 2.5, 3.25, z, z,
                          masked, 0.5))
    img = random_frame(rng, 12, 10, 'random')
    for z in (1.0, 2.0, 3.0):
        cases.append(('doppler_zoom%g' % z, Settings(doppler=1), img, int(12 * z) + 3, int(10 * z) + 3,
                      -0.5, -0.5, z, -z, 0, 1.0))
        cases.append(('doppler_masked_zoom%g' % z, Settings(doppler=1, binary=1, lo=10, hi=90, rlo=5,
                                                            rhi=40, blo=50, bhi=20),
                      random_frame(rng, 12, 10, 'masked'), int(12 * z) + 3, int(10 * z) + 3,
                      0.0, 0.0, z, -z, 1, 1.0))
    for z in (1.0, 2.0, 3.0, 7.3):
        cases.append(('pixels_zoom%g' % z, Settings(pixels=1, background='#102030'), img,
                      min(48, int(12 * z) + 2), min(48, int(10 * z) + 2), -0.5, 0.5, z, -z, 0, 1.0))
    cases.append(('labels_zoom3', Settings(labels=1), random_frame(rng, 9, 8, 'masked'), 30, 27,
                  0.0, 0.0, 3.0, -3.0, 1, 1.0))
    smooth = random_frame(rng, 16, 14, 'smooth')
    for z in (1.0, 2.0, 2.6, 4.0):
        cases.append(('thresholds_zoom%g' % z, Settings(binary=1, lo=60, hi=180, anti=220), smooth,
                      int(16 * z), int(14 * z), 0.0, 0.0, z, -z, 0, 1.0))
        cases.append(('inverted_zoom%g' % z, Settings(binary=1, lo=170, hi=90, anti=120), smooth,
                      int(16 * z), int(14 * z), 0.25, -0.5, z, z, 0, 1.0))
    cases.append(('volume_zoom2.5', Settings(volume=1, rows=VOLUME_ROWS), smooth, 40, 35,
                  0.0, 0.0, 2.5, -2.5, 0, 1.0))
    cases.append(('anisotropic_zoom', Settings(), smooth, 30, 20, 1.0, 1.0, 2.0, -1.5, 0, 1.0))
    cases.append(('origin_out_of_range', Settings(), smooth, 8, 8, 15.6, 0.0, 1.0, 1.0, 0, 1.0))
    return cases


# ---- material swatch --------------------------------------------------------------------------

def swatch(w, h, colour, metallic, roughness, anisotropy):
    """(rgb bytes, alpha bytes) of the shaded sphere, rows from the top."""
    clamp = lambda v: min(1.0, max(0.0, v))
    m, q, a = clamp(metallic), clamp(roughness), clamp(anisotropy)
    diff_c = [c * (1.0 - 0.4 * m) for c in colour]
    spec_c = [(c * m + (1.0 - m) * 94.828125) * 2.0 * (1.0 - q) * (1.0 - q) for c in colour]
    n = 2.0 / ((0.2 + 0.6 * q) * (0.2 + 0.6 * q))
    s3, s2 = 1.0 / math.sqrt(3.0), 1.0 / math.sqrt(2.0)
    L, V, A = (s3, s3, s3), (0.0, 0.0, 1.0), (0.0, s2, s2)
    dot = lambda u, v: u[0] * v[0] + u[1] * v[1] + u[2] * v[2]
    cross = lambda u, v: (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
    R = min(w, h) / 2.0
    cx, cy = (w - 1) / 2.0, (h - 1) / 2.0
    rgb, alpha = [], []
    for row in range(h):
        for col in range(w):
            dx, dy = col - cx, cy - row
            d = math.sqrt(dx * dx + dy * dy)
            if d >= R:
                rgb += [0, 0, 0]
                alpha.append(0)
                continue
            N = (dx / R, dy / R, math.sqrt(1.0 - d * d / (R * R)))
            diffuse = 0.15 + 0.4675 * max(0.0, dot(N, L)) + 0.3825 * max(0.0, N[2])
            B = cross(N, A)
            W = cross(cross(B, V), B)
            wl = math.sqrt(dot(W, W))
            Np = tuple((1.0 - a) * N[i] + a * W[i] / wl for i in range(3)) if wl > 0 else N
            b1 = 2.0 * dot(Np, L) * Np[2] - L[2]
            b2 = 2.0 * Np[2] * Np[2] - 1.0
            spec = 0.4675 * (b1 ** n if b1 >= 0 else 0.0) + 0.3825 * (b2 ** n if b2 >= 0 else 0.0)
            for c in range(3):
                rgb.append(int(min(255.0, spec_c[c] * spec + diff_c[c] * diffuse) + 0.5))
            alpha.append(255 if R - d >= 1.0 else int(255.0 * (R - d) + 0.5))
    return rgb, alpha


def hexbytes(values):
    return ''.join('%02x' % v for v in values)


def self_check():
    """The worked examples of the description, before anything is written."""
    _, _, colours, _ = tables(Settings(labels=1))
    assert colours[15] == (13, 97, 140) and colours[1] == (200, 200, 40), colours[15]
    _, _, colours, _ = tables(Settings(doppler=1))
    for v, rgb in ((128, (0, 0, 133)), (149, (0, 5, 255)), (191, (0, 255, 255)),
                   (192, (133, 0, 0)), (255, (255, 255, 0)), (126, (252,) * 3), (127, (255,) * 3)):
        assert colours[v] == rgb, (v, colours[v])
    band, nots, _, rng = tables(Settings(binary=1, lo=50, hi=100, anti=150))
    assert band[50] and band[100] and not band[120] and not nots[120] and nots[151] and rng == 2500
    band, _, _, rng = tables(Settings(binary=1, lo=100, hi=50))
    assert band[40] and band[120] and not band[60] and rng == -2500
    band, _, _, _ = tables(Settings(doppler=1, binary=1))
    assert [v for v in range(256) if band[v]] == [0, 128, 192]
    tf, _ = transfer_function([(1, 200, 250, 20, 10, 240, 0, 0, 0), (1, 50, 30, 180, 90, 128, 0, 0, 0),
                               (1, 50, 255, 255, 255, 255, 0, 0, 0)], 1.0, 1.0)
    assert all(tf[i][:3] == tf[50][:3] for i in range(51)) and tf[0][3] == tf[1][3] == 0.0
    _, _, colours, _ = tables(Settings(volume=1, rows=VOLUME_ROWS))
    assert set(colours[:51]) == {(30, 180, 90)} and set(colours[200:]) == {(250, 20, 10)}
    rgb, alpha = swatch(1, 1, (255, 255, 255), 0.0, 1.0, 0.0)
    assert alpha == [128]
    rgb, alpha = swatch(9, 9, (255, 255, 255), 0.0, 1.0, 0.0)
    assert rgb[3 * 40:3 * 41] == [205] * 3 and alpha[0] == 0
    coeffs = kernel_coeffs(0.0, 0.5)  # Catmull-Rom: 0, 256, 0, 0 at f = 0
    assert [cubic_weight(coeffs, t) for t in (1.0, 0.0, 1.0, 2.0)] == [0, 256, 0, 0]


def main(outdir):
    self_check()
    with open(outdir + '/tables.txt', 'w') as f:
        for name, s in TABLE_CASES:
            band, nots, colours, rng = tables(s)
            f.write('case %s %s\n' % (name, s.line()))
            for r in s.rows_lines():
                f.write(r + '\n')
            f.write('range %d\n' % rng)
            f.write('band %s\n' % hexbytes(band))
            f.write('not %s\n' % hexbytes(nots))
            f.write('rgb %s\n' % hexbytes([c for rgb in colours for c in rgb]))
            f.write('end\n')

    with open(outdir + '/frames.txt', 'w') as f:
        for name, s, img, ow, oh, x0, y0, zx, zy, masked, op in frame_cases():
            h, w = len(img), len(img[0])
            out = map_frame(img, w, h, s, ow, oh, x0, y0, zx, zy, masked, op)
            f.write('case %s %s\n' % (name, s.line()))
            for r in s.rows_lines():
                f.write(r + '\n')
            f.write('frame %d %d %s\n' % (w, h, hexbytes([v for line in img for v in line])))
            f.write('params %d %d %r %r %r %r %d %r\n' % (ow, oh, f32(x0), f32(y0), f32(zx), f32(zy),
                                                        masked, op))
            f.write('expect %s\n' % ('none' if out is None else hexbytes(out)))
            f.write('end\n')
        # Exported frames: every pixel through the map at step 1 and 2.
        rng = random.Random(7)
        smooth = random_frame(rng, 16, 14, 'smooth')
        noisy = random_frame(rng, 9, 7, 'random')
        for name, s, img, step in (
                ('rgb_thresholds', Settings(binary=1, lo=60, hi=180, anti=220), smooth, 1),
                ('rgb_inverted_step2', Settings(binary=1, lo=170, hi=90, anti=120), smooth, 2),
                ('rgb_labels', Settings(labels=1), noisy, 1),
                ('rgb_doppler_thresholds', Settings(doppler=1, binary=1, lo=10, hi=90, rlo=5, rhi=40,
                                                    blo=50, bhi=20), noisy, 1)):
            h, w = len(img), len(img[0])
            ow, oh = (w - 1) // step + 1, (h - 1) // step + 1
            f.write('rgbcase %s %s\n' % (name, s.line()))
            f.write('frame %d %d %s\n' % (w, h, hexbytes([v for line in img for v in line])))
            f.write('params %d %d %d\n' % (ow, oh, step))
            f.write('expect %s\n' % hexbytes(map_rgb(img, w, h, s, step, ow, oh)))
            f.write('end\n')

    with open(outdir + '/swatch.txt', 'w') as f:
        for name, w, h, colour, m, q, a in (
                ('copper_9x9', 9, 9, (200, 120, 40), 0.5, 0.3, 0.6),
                ('white_plastic_7x5', 7, 5, (255, 255, 255), 0.0, 0.2, 0.0),
                ('brushed_metal_12x12', 12, 12, (180, 190, 200), 1.0, 0.1, 1.0),
                ('clamped_6x8', 6, 8, (20, 200, 90), -0.5, 1.5, 2.0)):
            rgb, alpha = swatch(w, h, colour, m, q, a)
            f.write('case %s\n' % name)
            f.write('params %d %d %d %d %d %r %r %r\n' % ((w, h) + colour + (m, q, a)))
            f.write('rgb %s\n' % hexbytes(rgb))
            f.write('alpha %s\n' % hexbytes(alpha))
            f.write('end\n')

    with open(outdir + '/tf.txt', 'w') as f:
        for name, rows, p1, p2 in (('three_rows', VOLUME_ROWS, 1.0, 1.0),
                                   ('three_rows_exponents', VOLUME_ROWS, 2.0 ** ((40 - 25) / 25), 3.0),
                                   ('no_rows', [], 1.0, 1.0)):
            p1, p2 = f32(p1), f32(p2)  # the function takes single-precision exponents
            out, mat = transfer_function(rows, p1, p2, material=True)
            f.write('case %s %r %r\n' % (name, p1, p2))
            for r in rows:
                f.write('row ' + ' '.join(str(v) for v in r) + '\n')
            f.write('tf %s\n' % ' '.join(struct.pack('>f', v).hex() for e in out for v in e))
            f.write('mat %s\n' % ' '.join(struct.pack('>f', v).hex() for e in mat for v in e))
            f.write('end\n')


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else '.')
