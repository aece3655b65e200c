#!/usr/bin/python3
"""End-to-end check of `nv_tool convert`: DICOM series written by pydicom
(slices shuffled, non-square pixels, oblique planes, 16-bit signed and
unsigned, with and without rescale) are converted to NIfTI and NRRD, and the
results are read back by nibabel and by the NRRD reader below, which must
give the calibrated values and the geometry the series was made with.

usage: check_convert.py NV_TOOL
"""
import gzip
import os
import subprocess
import sys
import tempfile

import nibabel as nib
import numpy as np
from pydicom.dataset import Dataset, FileDataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

TOOL = sys.argv[1]
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)
        print('FAIL:', what)


def write_series(folder, vol, signed, rescale, spacing, row, col, origin, step, order, gaps=None):
    os.makedirs(folder)
    normal = np.cross(row, col)
    for fi, k in enumerate(order):
        ds = Dataset()
        ds.SOPClassUID = '1.2.840.10008.5.1.4.1.1.2'
        ds.SOPInstanceUID = generate_uid()
        ds.Modality = 'CT'
        ds.SeriesInstanceUID = '1.2.826.0.1.3680043.99.1'
        ds.Rows, ds.Columns = vol.shape[1], vol.shape[2]
        ds.SamplesPerPixel = 1
        ds.PhotometricInterpretation = 'MONOCHROME2'
        ds.BitsAllocated, ds.BitsStored, ds.HighBit = 16, 16, 15
        ds.PixelRepresentation = 1 if signed else 0
        ds.PixelSpacing = list(spacing)
        ds.ImageOrientationPatient = [float(v) for v in list(row) + list(col)]
        z = step * k + (gaps[k] if gaps else 0)
        ds.ImagePositionPatient = [float(v) for v in origin + z * normal]
        if rescale:
            ds.RescaleSlope, ds.RescaleIntercept = rescale
        ds.PixelData = vol[k].astype('<i2' if signed else '<u2').tobytes()
        meta = FileMetaDataset()
        meta.MediaStorageSOPClassUID = ds.SOPClassUID
        meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
        meta.TransferSyntaxUID = ExplicitVRLittleEndian
        f = FileDataset(folder, ds, file_meta=meta, preamble=b'\0' * 128)
        f.is_little_endian, f.is_implicit_VR = True, False
        f.save_as(os.path.join(folder, 'slice%02d.dcm' % (fi + 1)), write_like_original=False)


def read_nrrd(path):
    data = open(path, 'rb').read()
    end = data.index(b'\r\n\r\n') + 4
    fields = {}
    for line in data[:end].decode().split('\r\n')[1:]:
        if line and not line.startswith('#'):
            key, value = line.split(': ', 1)
            fields[key] = value
    dtype = {'short': '<i2', 'ushort': '<u2', 'uchar': 'u1', 'float': '<f4'}[fields['type']]
    if fields['encoding'] == 'gz':
        payload = gzip.open(os.path.join(os.path.dirname(path), fields['data file'])).read()
    else:
        payload = data[end:]
    sizes = [int(s) for s in fields['sizes'].split()]
    values = np.frombuffer(payload, dtype=dtype).reshape(sizes[2], sizes[1], sizes[0])
    dirs = [np.array([float(v) for v in d.strip('()').split(',')]) for d in fields['space directions'].split()]
    origin = np.array([float(v) for v in fields['space origin'].strip('()').split(',')])
    return values, dirs, origin


def lps_of(origin, row, col, spacing, step):
    normal = np.cross(row, col)
    return lambda i, j, k: origin + i * spacing[1] * row + j * spacing[0] * col + k * step * normal


rng = np.random.default_rng(11)
th = np.radians(25)
oblique_row = np.array([np.cos(th), np.sin(th), 0.0])
c = np.array([0.0, np.cos(0.4), np.sin(0.4)])
c -= oblique_row * np.dot(oblique_row, c)
oblique_col = c / np.linalg.norm(c)
axial_row, axial_col = np.array([1.0, 0, 0]), np.array([0, 1.0, 0])

cases = [
    # name, signed, rescale (slope, intercept) or None, raw range, row, col
    ('signed_ct', True, (1, -1024), (-2000, 3000), oblique_row, oblique_col),
    ('unsigned_ct', False, (1, -1024), (0, 4095), axial_row, axial_col),
    ('unsigned_plain', False, None, (0, 65535), oblique_row, oblique_col),
    ('signed_plain', True, None, (-32768, 32767), axial_row, axial_col),
    ('scaled', False, (0.5, -100.25), (0, 3000), oblique_row, oblique_col),
]
with tempfile.TemporaryDirectory() as tmp:
    for name, signed, rescale, (lo, hi), row, col in cases:
        n, rows, cols = 5, 4, 6
        raw = rng.integers(lo, hi + 1, size=(n, rows, cols))
        raw[0, 0, 0], raw[1, 0, 0] = lo, hi
        # A CT file without rescale elements is calibrated with intercept -1000.
        slope, inter = rescale if rescale else (1, -1000)
        values = raw * slope + inter
        spacing, step, origin = (0.9, 0.7), 2.5, np.array([-40.0, 25.0, 10.0])
        folder = os.path.join(tmp, name)
        write_series(folder, raw, signed, rescale, spacing, row, col, origin, step, [3, 0, 4, 1, 2])
        world = lps_of(origin, row, col, spacing, step)
        for ext in ('.nii', '.nii.gz', '.nrrd', '.nhdr'):
            out = os.path.join(tmp, name + ext)
            r = subprocess.run([TOOL, 'convert', folder, out], capture_output=True, text=True)
            check(r.returncode == 0, f'{name}{ext}: exit {r.returncode}: {r.stderr}')
            if r.returncode:
                continue
            # Slice files 1 and 2 lie at k = 3 and 0: the frames run against the normal.
            expected = values[::-1]
            kmap = lambda k: n - 1 - k
            if ext.startswith('.nii'):
                img = nib.load(out)
                got = img.get_fdata()
                check(np.allclose(got, np.transpose(expected, (2, 1, 0)), atol=1e-3), f'{name}{ext}: values')
                check(np.allclose(img.header.get_zooms(), (0.7, 0.9, 2.5), atol=1e-4), f'{name}{ext}: spacing {img.header.get_zooms()}')
                for ijk in [(0, 0, 0), (5, 3, 4), (2, 1, 3)]:
                    ras = img.affine @ np.array([*ijk, 1.0])
                    check(np.allclose(ras[:3] * [-1, -1, 1], world(ijk[0], ijk[1], kmap(ijk[2])), atol=1e-3),
                          f'{name}{ext}: position of voxel {ijk}')
                # Signed data whose intercept is not the plain offset (-32768
                # x slope; none here) keep their unsigned raw values,
                # calibrated by scl_inter.
                check(img.header.get_data_dtype() == np.uint16, f'{name}{ext}: type {img.header.get_data_dtype()}')
            else:
                # NRRD holds raw - o (o: the offset of signed data, or the
                # whole part of a negative intercept), held within 16 bits;
                # what calibration it cannot carry, the tool names.
                stored = raw + 32768 if signed else raw
                hum, hub = slope, inter - 32768 * slope if signed else inter
                o = 32768 if hub == -32768 * hum else int(-hub) if hub < 0 else 0
                written = np.clip(stored - o, -32768, 32767) if o else stored
                res_slope, res_inter = hum, hub + hum * o
                got, dirs, org = read_nrrd(out)
                check(np.array_equal(got, written[::-1]), f'{name}{ext}: values')
                kept = (stored - o >= -32768) & (stored - o <= 32767)
                check(np.allclose((res_slope * written + res_inter)[kept], values[kept], atol=1e-6),
                      f'{name}{ext}: calibration of the written values')
                left_out = 'NRRD cannot carry the calibration' in r.stderr
                check(left_out == ((res_slope, res_inter) != (1, 0)), f'{name}{ext}: warning {r.stderr}')
                check(('outside the range of signed 16-bit values' in r.stderr) == (not kept.all()),
                      f'{name}{ext}: clamping {r.stderr}')
                for ijk in [(0, 0, 0), (5, 3, 4)]:
                    pos = org + ijk[0] * dirs[0] + ijk[1] * dirs[1] + ijk[2] * dirs[2]
                    check(np.allclose(pos, world(ijk[0], ijk[1], kmap(ijk[2])), atol=1e-3),
                          f'{name}{ext}: position of voxel {ijk}')
                if ext == '.nhdr':
                    check(os.path.exists(os.path.join(tmp, name + '.raw.gz')), f'{name}: data file')

    # Uneven spacing: refused with the message, nothing written.
    raw = rng.integers(0, 100, size=(3, 4, 6))
    folder = os.path.join(tmp, 'uneven')
    write_series(folder, raw, False, None, (1, 1), axial_row, axial_col, np.zeros(3), 2.0, [0, 1, 2], gaps=[0, 0, 1.5])
    out = os.path.join(tmp, 'uneven.nii')
    r = subprocess.run([TOOL, 'convert', folder, out], capture_output=True, text=True)
    check(r.returncode == 1 and 'Only regular data arrays can be saved in this format.' in r.stderr,
          f'uneven: exit {r.returncode}: {r.stderr}')
    check(not os.path.exists(out), 'uneven: no file')
    # Missing input and a wrong output name.
    r = subprocess.run([TOOL, 'convert', os.path.join(tmp, 'missing'), out], capture_output=True, text=True)
    check(r.returncode == 1 and 'missing' in r.stderr and not os.path.exists(out), f'missing: {r.returncode} {r.stderr}')
    r = subprocess.run([TOOL, 'convert', folder, os.path.join(tmp, 'x.png')], capture_output=True, text=True)
    check(r.returncode == 2, f'wrong extension: {r.returncode}')
    # An existing output survives a failed conversion untouched.
    with open(out, 'wb') as f:
        f.write(b'keep')
    subprocess.run([TOOL, 'convert', folder, out], capture_output=True)
    check(open(out, 'rb').read() == b'keep', 'failed conversion left the old file')

sys.exit(1 if failures else 0)
