#!/usr/bin/python3
"""Structure sets, segmentations and label volumes over a small CT series,
for the object import tests, with what each should give in expect.txt.

The series ct/ct00.dcm .. ct05.dcm: 24 x 20 pixels of 0.5 mm, slices 2.5 mm
apart, rows along (cos 30, sin 30, 0) and columns along (-sin 30, cos 30, 0),
pixel (0, 0) of slice k at (-20, -15, 2.5 k) mm.

expect.txt, one line per contour or frame, all computed here with numpy:
  rt OBJECT FRAME CLOSED u v u v ...   a structure-set contour in pixels
  seg OBJECT FRAME COUNT ...           pixel counts of a segmentation
                                       frame's regions (8-connected)
  lab FILE OBJECT FRAME COUNT ...      the same for a label volume's slice
"""
import os
import struct
import sys

import nibabel as nib
import numpy as np
from pydicom.dataset import Dataset, FileDataset, FileMetaDataset
from pydicom.dataelem import DataElement
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, ImplicitVRLittleEndian, generate_uid
from scipy import ndimage

OUT = sys.argv[1]
W, H, F = 24, 20, 6
SP, DZ = 0.5, 2.5
A = np.radians(30)
ROW = np.array([np.cos(A), np.sin(A), 0.0])
COL = np.array([-np.sin(A), np.cos(A), 0.0])
NRM = np.cross(ROW, COL)
ORIGIN = np.array([-20.0, -15.0, 0.0])
FOR_UID = generate_uid()
expect = []


def slice_origin(k):
    return ORIGIN + DZ * k * NRM


def patient(u, v, k, off=0.0):
    """Patient mm of pixel position (u, v) of slice k (pixel centres at whole u, v)."""
    return slice_origin(k) + u * SP * ROW + v * SP * COL + off * NRM


def to_pixel(p, k):
    d = np.asarray(p) - slice_origin(k)
    return d @ ROW / SP + 0.5, d @ COL / SP + 0.5


def save(ds, name, implicit=False, preamble=True):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = ds.SOPClassUID
    meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
    meta.TransferSyntaxUID = ImplicitVRLittleEndian if implicit else ExplicitVRLittleEndian
    path = os.path.join(OUT, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    fds = FileDataset(path, ds, file_meta=meta, preamble=b'\0' * 128)
    fds.is_little_endian, fds.is_implicit_VR = True, implicit
    fds.save_as(path, write_like_original=False)
    if not preamble:
        data = open(path, 'rb').read()
        open(path, 'wb').write(data[132:])


def base(modality, sop_class):
    ds = Dataset()
    ds.SOPClassUID = sop_class
    ds.SOPInstanceUID = generate_uid()
    ds.Modality = modality
    ds.FrameOfReferenceUID = FOR_UID
    ds.SeriesInstanceUID = generate_uid()
    return ds


# ---- the CT series ----
CT_SERIES = generate_uid()
for k in range(F):
    ds = base('CT', '1.2.840.10008.5.1.4.1.1.2')
    ds.SeriesInstanceUID = CT_SERIES
    ds.Rows, ds.Columns = H, W
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = 'MONOCHROME2'
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 16, 15, 0
    ds.PixelSpacing = [SP, SP]
    ds.SliceThickness = DZ
    ds.ImagePositionPatient = [float(x) for x in slice_origin(k)]
    ds.ImageOrientationPatient = [float(x) for x in np.concatenate([ROW, COL])]
    ds.RescaleIntercept, ds.RescaleSlope = -1024, 1
    ds.PixelData = (np.arange(W * H) * 7 + k * 100).astype('<u2').tobytes()
    save(ds, 'ct/ct%02d.dcm' % k)


# ---- structure sets ----
def contour_item(points, kind='CLOSED_PLANAR', count=None):
    c = Dataset()
    c.ContourGeometricType = kind
    c.NumberOfContourPoints = len(points) if count is None else count
    c.ContourData = [float('%.6f' % x) for p in points for x in p]
    return c


def structure_set(rois, name, implicit=False, preamble=True, undefined=False):
    """rois: (number, name, colour or None, [contour items])."""
    ds = base('RTSTRUCT', '1.2.840.10008.5.1.4.1.1.481.3')
    ds.StructureSetLabel = 'test'
    ss = Sequence()
    for number, label, _, _ in rois:
        item = Dataset()
        item.ROINumber = number
        item.ReferencedFrameOfReferenceUID = FOR_UID
        item.ROIName = label
        ss.append(item)
    ds.StructureSetROISequence = ss
    rc = Sequence()
    for number, _, colour, contours in rois:
        item = Dataset()
        if colour is not None:
            item.ROIDisplayColor = list(colour)
        item.ContourSequence = Sequence(contours)
        item.ReferencedROINumber = number
        rc.append(item)
    ds.ROIContourSequence = rc
    if undefined:
        for kw in ('StructureSetROISequence', 'ROIContourSequence'):
            ds[kw].is_undefined_length = True
        for item in ds.ROIContourSequence:
            item['ContourSequence'].is_undefined_length = True
    save(ds, name, implicit, preamble)


square = [(4, 3), (10, 3), (10, 9), (4, 9)]
triangle = [(12, 2), (18, 2), (15, 8)]
open_line = [(2, 14), (8, 16), (14, 14)]
edge_ok = [(-1, 5), (6, 5), (6, H)]
edge_out = [(-1.01, 5), (6, 5), (6, 10)]
half = 0.5 * SP          # 0.50 px off the plane, in mm
beyond = 0.51 * SP       # 0.51 px
rois = [
    (7, 'Liver', (255, 128, 0), [
        contour_item([patient(u, v, 2) for u, v in square]),
        contour_item([patient(u, v, 3) for u, v in open_line], 'OPEN_PLANAR'),
        contour_item([patient(5, 5, 3)], 'POINT'),
    ]),
    (3, 'Kidney  ', None, [
        contour_item([patient(u, v, 4, half if i == 0 else 0) for i, (u, v) in enumerate(triangle)]),
        contour_item([patient(u, v, 1, beyond if i == 0 else 0) for i, (u, v) in enumerate(triangle)]),
    ]),
    (9, 'Empty', (1, 2, 3), []),
    (4, 'Edge', (0, 0, 255), [
        contour_item([patient(u, v, 0) for u, v in edge_ok]),
        contour_item([patient(u, v, 5) for u, v in edge_out]),
    ]),
]
# Placed contours: ROI index, slice, closed, the points as written.
placed = [(0, 2, 1, [patient(u, v, 2) for u, v in square]),
          (0, 3, 0, [patient(u, v, 3) for u, v in open_line]),
          (1, 4, 1, [patient(u, v, 4, half if i == 0 else 0) for i, (u, v) in enumerate(triangle)]),
          (3, 0, 1, [patient(u, v, 0) for u, v in edge_ok]),
          (3, 5, 1, [patient(u, v, 5) for u, v in edge_out])]
for roi, k, closed, pts in placed:
    uv = []
    for p in pts:
        # The point as the file stores it (6 decimals), projected on its slice.
        u, v = to_pixel(np.round(np.asarray(p), 6), k)
        uv += ['%.6f' % u, '%.6f' % v]
    expect.append('rt %d %d %d %s' % (roi, k, closed, ' '.join(uv)))
structure_set(rois, 'rt.dcm')
structure_set(rois, 'rt_implicit_undefined.dcm', implicit=True, undefined=True)
structure_set(rois, 'rt_no_preamble.dcm', preamble=False)
ds = base('RTSTRUCT', '1.2.840.10008.5.1.4.1.1.481.3')
ds.StructureSetROISequence = Sequence([Dataset()])
ds.StructureSetROISequence[0].ROINumber = 1
ds.StructureSetROISequence[0].ROIName = 'Orphan'
ds.ROIContourSequence = Sequence([Dataset()])
ds.ROIContourSequence[0].ContourSequence = Sequence([contour_item([patient(u, v, 2) for u, v in square])])
ds.ROIContourSequence[0].ReferencedROINumber = 99
save(ds, 'rt_unreferenced.dcm')
tiny = [(1, 1), (3, 1), (2, 3)]
for n in (30, 31, 201):
    structure_set([(i + 1, 'R%d' % i, None, [contour_item([patient(u, v, i % F) for u, v in tiny])])
                   for i in range(n)], 'rt%d.dcm' % n)


# ---- segmentations ----
def mask(rects):
    m = np.zeros((H, W), np.uint8)
    for c0, r0, c1, r1 in rects:
        m[r0:r1 + 1, c0:c1 + 1] = 1
    return m


def counts(m):
    lab, n = ndimage.label(m, structure=np.ones((3, 3)))
    return sorted(int((lab == i).sum()) for i in range(1, n + 1))


seg_frames = [
    # segment, slice, in-plane shift (pixels along the rows), mask
    (2, 1, 0.0, mask([(3, 2, 7, 5), (14, 10, 16, 12)])),
    (1, 3, 0.0, mask([(5, 5, 12, 7), (5, 8, 7, 14)])),
    (1, 4, 0.5, mask([(2, 2, 6, 6)])),
    (5, 2, 0.0, mask([(9, 9, 13, 13)])),
]


def segmentation(name, bits=1, row=ROW, frames=seg_frames):
    ds = base('SEG', '1.2.840.10008.5.1.4.1.1.66.4')
    ds.Rows, ds.Columns = H, W
    ds.NumberOfFrames = len(frames)
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = 'MONOCHROME2'
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = bits, bits, bits - 1, 0
    ds.SegmentationType = 'BINARY' if bits == 1 else 'FRACTIONAL'
    segs = Sequence()
    for number, label in ((1, 'Bone'), (2, 'Air')):
        s = Dataset()
        s.SegmentNumber = number
        s.SegmentLabel = label
        s.SegmentAlgorithmType = 'MANUAL'
        segs.append(s)
    ds.SegmentSequence = segs
    shared = Dataset()
    if row is not None:
        orient = Dataset()
        orient.ImageOrientationPatient = [float(x) for x in np.concatenate([row, COL])]
        shared.PlaneOrientationSequence = Sequence([orient])
    measures = Dataset()
    measures.PixelSpacing = [SP, SP]
    measures.SliceThickness = DZ
    shared.PixelMeasuresSequence = Sequence([measures])
    ds.SharedFunctionalGroupsSequence = Sequence([shared])
    per = Sequence()
    for number, k, shift, _ in frames:
        g = Dataset()
        pos = Dataset()
        pos.ImagePositionPatient = [float(x) for x in patient(shift, 0, k)]
        g.PlanePositionSequence = Sequence([pos])
        ident = Dataset()
        ident.ReferencedSegmentNumber = number
        g.SegmentIdentificationSequence = Sequence([ident])
        per.append(g)
    ds.PerFrameFunctionalGroupsSequence = per
    stack = np.concatenate([m.ravel() for _, _, _, m in frames])
    data = np.packbits(stack, bitorder='little').tobytes() if bits == 1 else (stack * 255).astype(np.uint8).tobytes()
    if len(data) % 2:
        data += b'\0'
    ds.add(DataElement(0x7FE00010, 'OB', data))
    save(ds, name)


segmentation('seg.dcm')
segmentation('seg_reversed.dcm', row=-ROW)
segmentation('seg_fractional.dcm', bits=8)
segmentation('seg_no_orientation.dcm', row=None)
for number, k, shift, m in seg_frames:
    if shift == 0 and number in (1, 2):
        expect.append('seg %d %d %s' % (number - 1, k, ' '.join(map(str, counts(m)))))


# ---- label volumes ----
labels = np.zeros((F, H, W), np.int32)   # slice, row, column
labels[1, 3:9, 4:10] = 1
labels[1, 3:9, 10:14] = 2                # touches label 1
labels[2, 10:16, 3:8] = 1
labels[2, 12:14, 15:19] = 1
labels[3, 4:12, 6:16] = 2
labels[3, 6:9, 9:12] = 0                 # a hole in label 2

flip = np.diag([-1.0, -1.0, 1.0])       # patient (LPS) to NIfTI world (RAS)
affine = np.eye(4)
affine[:3, 0] = flip @ ROW * SP
affine[:3, 1] = flip @ COL * SP
affine[:3, 2] = flip @ NRM * DZ
affine[:3, 3] = flip @ ORIGIN


def nifti(name, values, dtype, a=affine):
    img = nib.Nifti1Image(np.transpose(values, (2, 1, 0)).astype(dtype), a)
    img.set_qform(a, code=1)
    img.set_sform(a, code=1)
    img.header['scl_slope'] = 1
    img.header['scl_inter'] = 0
    nib.save(img, os.path.join(OUT, name))


nifti('lab_u8.nii.gz', labels, np.uint8)
nifti('lab_i16.nii', labels, np.int16)
# Slices 0.0002 of a slice spacing short of the frames, as single-precision
# geometry leaves them.
near = affine.copy()
near[:3, 3] -= flip @ NRM * (0.0002 * DZ)
nifti('lab_near.nii', labels, np.int16, near)
floats = labels.astype(np.float32)
floats[1, 4, 5] = 1.4                    # rounds to 1
floats[2, 0, 0] = 0.4                    # rounds to 0
nifti('lab_f32.nii', floats, np.float32)
for k in range(F):
    for lab in (1, 2):
        m = labels[k] == lab
        if m.any():
            expect.append('lab %d %d %s' % (lab - 1, k, ' '.join(map(str, counts(m)))))

# An Analyze pair of one label whose slices each have a gap of 6 bytes
# before them (a negative vox_offset), slices along z from the origin.
ana = np.zeros((F, H, W), np.int16)
ana[2, 5:10, 5:12] = 1
ana[4, 2:4, 2:20] = 1
hdr = bytearray(348)
struct.pack_into('<i', hdr, 0, 348)
struct.pack_into('<i', hdr, 32, 16384)
struct.pack_into('<8h', hdr, 40, 3, W, H, F, 1, 0, 0, 0)
struct.pack_into('<hh', hdr, 70, 4, 16)
struct.pack_into('<8f', hdr, 76, 0, SP, SP, DZ, 0, 0, 0, 0)
struct.pack_into('<f', hdr, 108, -6.0)
open(os.path.join(OUT, 'ana.hdr'), 'wb').write(bytes(hdr))
with open(os.path.join(OUT, 'ana.img'), 'wb') as f:
    for k in range(F):
        f.write(b'\x55' * 6)
        f.write(ana[k].astype('<i2').tobytes())
for k in range(F):
    if ana[k].any():
        expect.append('ana 0 %d %s' % (k, ' '.join(map(str, counts(ana[k] == 1)))))

open(os.path.join(OUT, 'expect.txt'), 'w').write('\n'.join(expect) + '\n')
