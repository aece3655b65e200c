#!/usr/bin/python3
"""Small volumes for the NIfTI, Analyze, NRRD and MetaImage reader tests.

NIfTI-1, NIfTI-2 and Analyze files are written by nibabel; NRRD and MetaImage
headers are written here by hand. Beside each volume NAME.expect holds what a
reader must give, worked out here with numpy from the volume and its affine:

  columns rows frames
  pixel spacing x y (mm)
  position of frame 0's pixel (0, 0), patient coordinates, cm
  unit column direction
  unit row direction
  step from one frame's position to the next, cm
  the calibrated values, first axis fastest

Patient coordinates have x and y of the opposite sign to NIfTI's world
coordinates; NRRD positions are taken as they stand; Analyze files and
MetaImage orientations carry no rotation.

usage: make_volume_fixtures.py OUT_DIR
"""
import gzip
import os
import sys

import nibabel as nib
import numpy as np

OUT = sys.argv[1]
COLS, ROWS, FRAMES = 5, 4, 3
I, J, K = np.meshgrid(np.arange(COLS), np.arange(ROWS), np.arange(FRAMES), indexing='ij')


def pattern(lo, hi):
    """Values spread over lo..hi with zero corners, indexed [i, j, k]."""
    v = (I * 37 + J * 101 + K * 211) % (hi - lo + 1) + lo
    for i in (0, COLS - 1):
        for j in (0, ROWS - 1):
            v[i, j, :] = 0
    return v


def expect(name, values, spacing, pos0, col, row, step):
    unit = lambda v: np.asarray(v, float) / np.linalg.norm(v)
    lines = ['%d %d %d' % (COLS, ROWS, FRAMES), '%r %r' % tuple(float(s) for s in spacing)]
    for v in (pos0, unit(col), unit(row), step):
        lines.append(' '.join(repr(float(x)) for x in v))
    flat = np.asarray(values, float).transpose(2, 1, 0).ravel()
    lines.append(' '.join(repr(float(x)) for x in flat))
    with open(os.path.join(OUT, name + '.expect'), 'w') as f:
        f.write('\n'.join(lines) + '\n')


def rotation(deg_z, deg_x):
    a, b = np.radians(deg_z), np.radians(deg_x)
    rz = np.array([[np.cos(a), -np.sin(a), 0], [np.sin(a), np.cos(a), 0], [0, 0, 1]])
    rx = np.array([[1, 0, 0], [0, np.cos(b), -np.sin(b)], [0, np.sin(b), np.cos(b)]])
    return rz @ rx


def affine(rot, zooms, origin):
    a = np.eye(4)
    a[:3, :3] = rot @ np.diag(zooms)
    a[:3, 3] = origin
    return a


def nifti_expect(name, path, zooms):
    img = nib.load(path)
    a = img.affine
    flip = np.array([-1.0, -1.0, 1.0])
    expect(name, img.get_fdata(), zooms[:2], flip * a[:3, 3] / 10, flip * a[:3, 0], flip * a[:3, 1],
           flip * a[:3, 2] / 10)


def write_nifti(name, cls, data, zooms, rot, origin, qcode, scode, dtype=None, ext='.nii'):
    a = affine(rot, zooms, origin)
    img = cls(data, a)
    if dtype is not None:
        img.set_data_dtype(dtype)
    img.set_qform(a, code=qcode)
    img.set_sform(a, code=scode)
    path = os.path.join(OUT, name + ext)
    nib.save(img, path)
    nifti_expect(name, path, zooms)


os.makedirs(OUT, exist_ok=True)

# Signed 16-bit MR-like data with a zero background, oblique, by qform and sform.
mr = pattern(-1000, 1500).astype(np.int16)
write_nifti('n1_short', nib.Nifti1Image, mr, (0.8, 0.9, 2.5), rotation(30, 20), (12.5, -40.0, 7.0), 1, 1)
write_nifti('n1_short_gz', nib.Nifti1Image, mr, (0.8, 0.9, 2.5), rotation(30, 20), (12.5, -40.0, 7.0),
            1, 1, ext='.nii.gz')
# Scaled: nibabel picks slope and intercept to store these values as int16.
write_nifti('n1_scaled', nib.Nifti1Image, pattern(-3000, 9000).astype(np.float64) * 0.5,
            (1.0, 1.25, 3.0), rotation(-15, 0), (0.0, 5.0, -20.0), 1, 1, dtype=np.int16)
# Float samples placed by the sform alone.
write_nifti('n1_float', nib.Nifti1Image, pattern(-2000, 2000).astype(np.float32), (0.5, 0.5, 1.5),
            rotation(0, -30), (-3.0, 2.0, 1.0), 0, 1)
# Signed 32-bit samples within the 16-bit range.
write_nifti('n1_int', nib.Nifti1Image, pattern(-32768, 32767).astype(np.int32), (0.6, 0.6, 1.0),
            rotation(90, 0), (1.0, 1.0, 1.0), 1, 1)
# A NIfTI-1 header with its data in the ".img" file beside it.
write_nifti('n1_pair', nib.Nifti1Pair, mr, (1.1, 0.9, 2.0), rotation(-60, 5), (4.0, 3.0, 2.0), 1, 0,
            ext='.hdr')
# NIfTI-2, unsigned 16-bit.
write_nifti('n2_ushort', nib.Nifti2Image, pattern(0, 60000).astype(np.uint16), (0.7, 0.7, 2.0),
            rotation(45, 10), (8.0, 9.0, 10.0), 1, 1)

# Analyze 7.5 pair of 8-bit samples; the header keeps no rotation nor origin.
an = pattern(0, 255).astype(np.uint8)
img = nib.AnalyzeImage(an, np.diag([0.9, 0.6, 4.0, 1.0]))
img.header['extents'] = 16384
nib.save(img, os.path.join(OUT, 'an_uchar.hdr'))
expect('an_uchar', an, (0.9, 0.6), (0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 0.4))

# NRRD: signed 16-bit in one file with CR LF line ends and oblique directions.
rot = rotation(20, 35)
dirs = rot @ np.diag([0.75, 0.8, 2.2])
origin = np.array([-30.0, 12.0, 55.5])
head = ['NRRD0004', '# made by hand', 'type: short', 'dimension: 3', 'space: left-posterior-superior',
        'sizes: %d %d %d' % (COLS, ROWS, FRAMES), 'endian: little', 'encoding: raw',
        'space origin: (%r,%r,%r)' % tuple(origin),
        'space directions: ' + ' '.join('(%r,%r,%r)' % tuple(dirs[:, c]) for c in range(3))]
with open(os.path.join(OUT, 'nr_short.nrrd'), 'wb') as f:
    f.write(('\r\n'.join(head) + '\r\n\r\n').encode())
    f.write(mr.transpose(2, 1, 0).astype('<i2').tobytes())
expect('nr_short', mr, (0.75, 0.8), origin / 10, dirs[:, 0], dirs[:, 1], dirs[:, 2] / 10)

# NRRD: 8-bit, detached gzip data, spacings and no directions, LF line ends.
head = ['NRRD0005', 'type: uint8', 'dimension: 3', 'space: scanner-xyz',
        'sizes: (%d, %d, %d)' % (COLS, ROWS, FRAMES), 'encoding: gzip', 'spacings: 0.6 0.7 1.8',
        'space origin: (1,2,3)', 'data file: ./nr_uchar.raw.gz']
with open(os.path.join(OUT, 'nr_uchar.nhdr'), 'w') as f:
    f.write('\n'.join(head) + '\n\n')
with gzip.open(os.path.join(OUT, 'nr_uchar.raw.gz'), 'wb') as f:
    f.write(an.transpose(2, 1, 0).tobytes())
expect('nr_uchar', an, (0.6, 0.7), (0.1, 0.2, 0.3), (1, 0, 0), (0, 1, 0), (0, 0, 0.18))

# NRRD: unsigned 16-bit, gzip data right after the header in the same file.
us = pattern(0, 65535).astype(np.uint16)
head = ['NRRD0004', 'type: unsigned short', 'dimension: 3', 'space: LPS', 'sizes: %d %d %d' % (COLS, ROWS, FRAMES),
        'encoding: gz', 'space origin: (0.5,-0.5,10)', 'spacings: 0.4 0.3 5',
        'space directions: (0,0.4,0) (0.3,0,0) (0,0,-5)']
with open(os.path.join(OUT, 'nr_inline_gz.nrrd'), 'wb') as f:
    f.write(('\n'.join(head) + '\n\n').encode())
    f.write(gzip.compress(us.transpose(2, 1, 0).astype('<u2').tobytes()))
expect('nr_inline_gz', us, (0.4, 0.3), (0.05, -0.05, 1.0), (0, 1, 0), (1, 0, 0), (0, 0, -0.5))

# MetaImage: signed 16-bit, keys in an unusual order, the first two axes
# swapped by the TransformMatrix (one axis direction after another).
head = ['ElementDataFile = mh_short.raw', 'DimSize   =   %d %d %d' % (COLS, ROWS, FRAMES),
        'ObjectType = Image', 'NDims = 3', 'TransformMatrix = 0 1 0 1 0 0 0 0 1',
        'ElementSpacing = 0.5 0.55 3', 'Offset = -10 20.5 -7', 'BinaryData = True',
        'CompressedData = False', 'ElementType = MET_SHORT', '']
with open(os.path.join(OUT, 'mh_short.mhd'), 'w') as f:
    f.write('\r\n'.join(head))
with open(os.path.join(OUT, 'mh_short.raw'), 'wb') as f:
    f.write(mr.transpose(2, 1, 0).astype('<i2').tobytes())
expect('mh_short', mr, (0.5, 0.55), (-1.0, 2.05, -0.7), (0, 1, 0), (1, 0, 0), (0, 0, 0.3))

# MetaImage: big-endian signed 16-bit behind a 7-byte header, rotated axes.
rot = rotation(25, -40)
head = ['ObjectType = Image', 'NDims = 3', 'BinaryData = True', 'BinaryDataByteOrderMSB = True',
        'CompressedData = False', 'TransformMatrix = ' + ' '.join(repr(float(v)) for v in rot.T.ravel()),
        'Offset = 4 -5 6', 'ElementSpacing = 0.7 0.8 2.5', 'DimSize = %d %d %d' % (COLS, ROWS, FRAMES),
        'HeaderSize = 7', 'ElementType = MET_SHORT', 'ElementDataFile = mh_msb.raw']
with open(os.path.join(OUT, 'mh_msb.mhd'), 'w') as f:
    f.write('\n'.join(head) + '\n')
with open(os.path.join(OUT, 'mh_msb.raw'), 'wb') as f:
    f.write(b'skip me' + mr.transpose(2, 1, 0).astype('>i2').tobytes())
expect('mh_msb', mr, (0.7, 0.8), (0.4, -0.5, 0.6), rot[:, 0], rot[:, 1], rot[:, 2] * 0.25)

# MetaImage: signed 8-bit samples, -128 to 127.
sc = pattern(-128, 127).astype(np.int8)
head = ['ObjectType = Image', 'NDims = 3', 'BinaryData = True', 'CompressedData = False',
        'Offset = 0 0 0', 'ElementSpacing = 1 1 1', 'DimSize = %d %d %d' % (COLS, ROWS, FRAMES),
        'ElementType = MET_CHAR', 'ElementDataFile = mh_char.raw']
with open(os.path.join(OUT, 'mh_char.mhd'), 'w') as f:
    f.write('\n'.join(head) + '\n')
with open(os.path.join(OUT, 'mh_char.raw'), 'wb') as f:
    f.write(sc.transpose(2, 1, 0).tobytes())
expect('mh_char', sc, (1, 1), (0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 0.1))

# NRRD: data file with two text lines and then 5 bytes before the samples;
# and gzip data whose decompressed stream starts with 3 bytes to skip.
head = ['NRRD0004', 'type: short', 'dimension: 3', 'sizes: %d %d %d' % (COLS, ROWS, FRAMES),
        'encoding: raw', 'spacings: 1 1 2', 'space origin: (0,0,0)', 'line skip: 2', 'byte skip: 5',
        'data file: nr_skip.raw']
with open(os.path.join(OUT, 'nr_skip.nhdr'), 'w') as f:
    f.write('\n'.join(head) + '\n\n')
with open(os.path.join(OUT, 'nr_skip.raw'), 'wb') as f:
    f.write(b'first line\nsecond line\n12345' + mr.transpose(2, 1, 0).astype('<i2').tobytes())
expect('nr_skip', mr, (1, 1), (0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 0.2))
head = ['NRRD0004', 'type: ushort', 'dimension: 3', 'sizes: %d %d %d' % (COLS, ROWS, FRAMES),
        'encoding: gzip', 'spacings: 1 1 2', 'space origin: (0,0,0)', 'byte skip: 3']
with open(os.path.join(OUT, 'nr_skip_gz.nrrd'), 'wb') as f:
    f.write(('\n'.join(head) + '\n\n').encode())
    f.write(gzip.compress(b'abc' + us.transpose(2, 1, 0).astype('<u2').tobytes()))
expect('nr_skip_gz', us, (1, 1), (0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 0.2))

# NIfTI with spatial units of metres and of micrometres (xyzt_units 1 and 3,
# each with seconds): sizes and positions converted to millimetres here.
for name, unit, mm in (('n1_metres', 'meter', 1000.0), ('n1_microns', 'micron', 0.001)):
    zooms_mm, origin_mm = np.array([0.8, 0.9, 2.5]), np.array([12.5, -40.0, 7.0])
    a = affine(rotation(30, 20), zooms_mm / mm, origin_mm / mm)
    img = nib.Nifti1Image(mr, a)
    img.set_qform(a, code=1)
    img.set_sform(a, code=1)
    img.header.set_xyzt_units(unit, 'sec')
    nib.save(img, os.path.join(OUT, name + '.nii'))
    b = nib.load(os.path.join(OUT, name + '.nii')).affine * mm
    flip = np.array([-1.0, -1.0, 1.0])
    expect(name, mr, zooms_mm[:2], flip * b[:3, 3] / 10, flip * b[:3, 0], flip * b[:3, 1], flip * b[:3, 2] / 10)
