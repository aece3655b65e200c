#!/usr/bin/python3
"""Synthetic CT scans of bone-density calibration phantoms, with the fit that
each should give, computed here with numpy.

Each case is a folder of 16-bit CT slices (raw = HU + 1024, rescale intercept
-1024, slices 2.5 mm apart) holding a phantom: rods of 0.9 cm radius, each of
one HU value plus a little noise, at the places where the calibration samples
them, and landmarks at the two ends. cases.tsv lists per case the pixel size
(cm), the landmarks (x, y in cm and the frame) and either the expected phantom
name with scale and offset, or "fail" (see the end of the script).

The expected fit is a least-squares line between the nominal density of each
rod (known here, as this script placed the rods) and the mean of the pixels
whose centres lie within the sample radius (cm) of the rod's centre.
"""
import os
import sys

import numpy as np
from pydicom.dataset import Dataset, FileDataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

OUT = sys.argv[1]
RNG = np.random.default_rng(1234)
ROD_RADIUS = 0.9

SOLID_WATER = [923.2, 1119.5, 1103.6, 1057, 1012.2]
SOLID_K2HPO4 = [375.8, 157.0, 58.9, -53.4, -51.8]


def side(d, k, sx, sy):
    """The unit-free side offset: at right angles to d in centimetres, never
    pointing to smaller rows; returned in pixels."""
    dc = np.array([d[0] * sx, d[1] * sy])
    nc = np.array([-dc[1], dc[0]]) / k if dc[0] > 0 else np.array([dc[1], -dc[0]]) / k
    return np.array([nc[0] / sx, nc[1] / sy])


def centres(kind, s, e, sx, sy):
    """Rod centres in pixels for ends s and e (pixels)."""
    d = e - s
    if kind == 'qrm6':
        n = side(d, 173, sx, sy)
        return [s, s + 0.2 * d + 4 * n, s + 0.4 * d + 6 * n, s + 0.6 * d + 6 * n, s + 0.8 * d + 4 * n, e]
    if kind == 'mindways':
        n = side(d, 148, sx, sy)
        return [s, s + 0.25 * d + 3 * n, s + 0.5 * d + 5 * n, s + 0.75 * d + 3 * n, e]
    if kind == 'ia':  # S, M, E, beyond E, beyond S
        return [s, (s + e) / 2, e, 1.5 * e - 0.5 * s, 1.5 * s - 0.5 * e]
    if kind == 'three':
        return [s, (s + e) / 2, e]
    return [s, e]


def write_slice(path, hu, f, sx, sy):
    ds = Dataset()
    ds.SOPClassUID = '1.2.840.10008.5.1.4.1.1.2'
    ds.SOPInstanceUID = generate_uid()
    ds.Modality = 'CT'
    ds.SeriesInstanceUID = '1.2.3.44'
    ds.Rows, ds.Columns = hu.shape
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = 'MONOCHROME2'
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 16, 15, 0
    ds.PixelSpacing = ['%g' % (sy * 10), '%g' % (sx * 10)]
    ds.ImagePositionPatient = [0, 0, 2.5 * f]
    ds.ImageOrientationPatient = [1, 0, 0, 0, 1, 0]
    ds.SliceThickness = 2.5
    ds.RescaleIntercept = -1024
    ds.RescaleSlope = 1
    ds.PixelData = (hu + 1024).astype('<u2').tobytes()
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = ds.SOPClassUID
    meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    fds = FileDataset(path, ds, file_meta=meta, preamble=b'\0' * 128)
    fds.is_little_endian, fds.is_implicit_VR = True, False
    fds.save_as(path, write_like_original=False)


def make(name, kind, hu_values, sx, sy, width, height, frames, pairs, radius):
    """pairs: {frame: (start cm, end cm)} for the landmark frames; the ends
    move linearly between them. hu_values: per rod centre, in centres() order
    (None leaves no rod there). Returns the per-rod means over the sampled
    frames."""
    folder = os.path.join(OUT, name)
    os.makedirs(folder)
    fa, fb = min(pairs), max(pairs)
    ys, xs = np.mgrid[0:height, 0:width]
    sums = np.zeros(len(hu_values))
    counts = np.zeros(len(hu_values))
    for f in range(frames):
        t = 0.0 if fb == fa else min(max((f - fa) / (fb - fa), 0.0), 1.0)
        s = (1 - t) * np.array(pairs[fa][0]) + t * np.array(pairs[fb][0])
        e = (1 - t) * np.array(pairs[fa][1]) + t * np.array(pairs[fb][1])
        s_px, e_px = s / [sx, sy], e / [sx, sy]
        hu = RNG.integers(-4, 5, size=(height, width)).astype(np.float64)
        pts = centres(kind, s_px, e_px, sx, sy)
        for c, v in zip(pts, hu_values):
            if v is not None:
                hu[((xs - c[0]) * sx) ** 2 + ((ys - c[1]) * sy) ** 2 < ROD_RADIUS ** 2] += v
        hu = np.round(hu)  # the slices hold whole numbers
        write_slice(os.path.join(folder, 'IM%04d.dcm' % (f + 1)), hu, f, sx, sy)
        if fa <= f <= fb:
            for k, c in enumerate(pts):
                mask = ((c[0] - xs) * sx) ** 2 + ((c[1] - ys) * sy) ** 2 < radius ** 2
                sums[k] += hu[mask].sum()
                counts[k] += mask.sum()
    landmarks = []
    for f in sorted(pairs):
        landmarks += [[pairs[f][0][0], pairs[f][0][1], f], [pairs[f][1][0], pairs[f][1][1], f]]
    means = np.where(counts > 0, sums / np.maximum(counts, 1), np.nan)
    return landmarks, means


def line(x, y):
    slope, intercept = np.linalg.lstsq(np.vstack([x, np.ones(len(x))]).T, np.array(y), rcond=None)[0]
    return float(slope), float(intercept)


cases = []


def case(name, kind, hu, sx, sy, w, h, frames, pairs, radius, phantom, fit):
    lm, means = make(name, kind, hu, sx, sy, w, h, frames, pairs, radius)
    entry = {'name': name, 'landmarks': lm, 'xscale': sx, 'yscale': sy}
    if fit is None:
        entry['phantom'] = 'fail'
    else:
        scale, offset = fit(means)
        entry.update(phantom=phantom, scale=scale, offset=offset)
    cases.append(entry)


# QRM-BDC 6: landmarks from the 0 end to the 800 end, 15 cm apart.
qrm6 = [0, 100, 200, 400, 600, 800]
case('qrm6', 'qrm6', [10 + 1.25 * d for d in qrm6], 0.05, 0.05, 400, 400, 2,
     {1: ((2.31, 9.13), (17.29, 9.87))}, 0.5, 'QRM-BDC 6 insert HA', lambda m: line(qrm6, m))

# Mindways Solid on pixels of 0.78125 x 0.5 mm, 10 cm apart on a slant.
solid_hu = [w - 999.6 + 1.2174 * k + 3 for w, k in zip(SOLID_WATER, SOLID_K2HPO4)]


def solid_fit(m):
    slope, intercept = line(SOLID_K2HPO4, [mi - w for mi, w in zip(m, SOLID_WATER)])
    return slope - 0.2174, intercept + 999.6


case('mindways_solid', 'mindways', solid_hu, 0.078125, 0.05, 200, 300, 2,
     {0: ((2.13, 4.37), (10.21, 10.27))}, 0.5, 'Mindways Solid K2HPO4', solid_fit)

# Mindways Liquid, compartment E (200) at the end the landmarks start from.
case('mindways_liquid', 'mindways', [245, 125, 65, 5, 20], 0.05, 0.05, 320, 320, 1,
     {0: ((2.11, 8.03), (13.07, 8.41))}, 0.5, 'Mindways Liquid K2HPO4',
     lambda m: line([200, 100, 50, 0], m[:4]))

# The class of 36 cm^2 to 64 cm^2: the QRM-BDC 3 (middle darker) and Image
# Analysis (darker end at S, its water rod beyond S).
case('qrm3', 'ia', [250, 5, 130, None, None], 0.0625, 0.0625, 192, 192, 1,
     {0: ((2.03, 5.11), (9.03, 5.47))}, 0.5, 'QRM-BDC 3 insert HA', lambda m: line([200, 0, 100], m[:3]))
case('image_analysis', 'ia', [70, 130, 250, None, 5], 0.0625, 0.0625, 256, 192, 1,
     {0: ((5.53, 5.07), (12.51, 5.63))}, 0.5, 'Image Analysis HA',
     lambda m: line([50, 100, 200, 0], [m[0], m[1], m[2], m[4]]))

# Old Image Analysis over four frames: landmarks on frames 1 and 4, the
# phantom moving between them.
case('old_ia', 'three', [5, 100, 190], 0.05, 0.05, 200, 200, 6,
     {1: ((2.07, 3.09), (7.03, 3.61)), 4: ((2.91, 4.13), (7.87, 4.43))}, 0.6, 'Old (?) Image Analysis HA',
     lambda m: line([0, 75, 150], m))

# Siemens, 3 cm long: two-point equation.
case('siemens', 'two', [260, 10], 0.05, 0.05, 128, 128, 1,
     {0: ((1.53, 2.07), (4.49, 2.57))}, 0.6, 'Siemens Osteo HA',
     lambda m: (float((max(m) - min(m)) / 200), float(min(m))))

# Exactly 14 cm apart (224 pixels of 0.625 mm): not above 196 cm^2, so the
# Mindways row applies.
case('boundary', 'mindways', [245, 125, 65, 5, 20], 0.0625, 0.0625, 288, 192, 1,
     {0: ((2.0, 6.0), (16.0, 6.0))}, 0.5, 'Mindways Liquid K2HPO4', lambda m: line([200, 100, 50, 0], m[:4]))

# One end far outside the image: its disc has no pixels.
case('outside', 'two', [260, None], 0.05, 0.05, 128, 128, 1,
     {0: ((1.53, 2.07), (-1.9, 2.4))}, 0.6, None, None)

# One line per case, fields separated by tabs: folder, phantom (or "fail"),
# scale, offset, then x y frame of each landmark.
with open(os.path.join(OUT, 'cases.tsv'), 'w') as f:
    for c in cases:
        fields = [c['name'], c['phantom'], repr(c.get('scale', 0.0)), repr(c.get('offset', 0.0))]
        fields += ['%r %r %d' % (x, y, fr) for x, y, fr in c['landmarks']]
        f.write('\t'.join(fields) + '\n')
