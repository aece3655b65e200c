#!/usr/bin/python3
"""DICOM files in every transfer syntax the readers take, for the parser tests.

The images start as numpy arrays written by pydicom; dcmtk (dcmconv,
dcmcjpeg, dcmcrle) and gdcm (gdcmconv) re-encode them. For each file NAME.dcm
the expected stored values go to NAME.INDEX.expect: little-endian uint16 raw values
for 16-bit data (signed samples offset by 32768), or uint8 display bytes for
8-bit data, computed here from the arrays. manifest.txt lists
"NAME index bits" per file (index: the frame read within a multi-frame file).
Files meant to be refused have no .expect and bits 0.
"""
import os
import subprocess
import sys

import numpy as np
from pydicom.dataset import Dataset, FileDataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, ImplicitVRLittleEndian, generate_uid

OUT = sys.argv[1]
rng = np.random.default_rng(7)
manifest = []


def path(name):
    return os.path.join(OUT, name)


def base(rows, cols, bits, signed=False, spp=1, modality='CT', frames=1):
    ds = Dataset()
    ds.SOPClassUID = '1.2.840.10008.5.1.4.1.1.2'
    ds.SOPInstanceUID = generate_uid()
    ds.Modality = modality
    ds.PatientID = '1'
    ds.StudyInstanceUID = '1.2.3.4'
    ds.SeriesInstanceUID = '1.2.3.4.5'
    ds.Rows, ds.Columns = rows, cols
    ds.SamplesPerPixel = spp
    ds.PhotometricInterpretation = 'MONOCHROME2' if spp == 1 else 'RGB'
    if spp == 3:
        ds.PlanarConfiguration = 0
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = bits, bits, bits - 1
    ds.PixelRepresentation = 1 if signed else 0
    if frames > 1:
        ds.NumberOfFrames = frames
    ds.PixelSpacing = [0.5, 0.8]
    ds.ImagePositionPatient = [-10, 20, 30]
    ds.ImageOrientationPatient = [1, 0, 0, 0, 1, 0]
    return ds


def save(ds, name, preamble=True, syntax=ExplicitVRLittleEndian):
    if preamble:
        meta = FileMetaDataset()
        meta.MediaStorageSOPClassUID = ds.SOPClassUID
        meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
        meta.TransferSyntaxUID = syntax
        fds = FileDataset(path(name), ds, file_meta=meta, preamble=b'\0' * 128)
        fds.is_little_endian = True
        fds.is_implicit_VR = syntax == ImplicitVRLittleEndian
        fds.save_as(path(name), write_like_original=False)
    else:
        ds.is_little_endian = True
        ds.is_implicit_VR = syntax == ImplicitVRLittleEndian
        ds.save_as(path(name), write_like_original=True)


def expect(name, values, bits, index=0):
    if bits == 16:
        np.asarray(values).astype('<u2').tofile(path(f'{name}.{index}.expect'))
    else:
        np.asarray(values).astype(np.uint8).tofile(path(f'{name}.{index}.expect'))
    manifest.append(f'{name} {index} {bits}')


def refuse(name, index=0):
    manifest.append(f'{name} {index} 0')


def tool(*args):
    subprocess.run(list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# 16-bit unsigned CT in the uncompressed syntaxes, with and without preamble.
u16 = rng.integers(0, 4096, size=(7, 10)).astype(np.uint16)
u16[0, 0] = 4095
ds = base(7, 10, 16)
ds.RescaleIntercept, ds.RescaleSlope = -1024, 1
ds.PixelData = u16.tobytes()
save(ds, 'u16_explicit.dcm')
expect('u16_explicit.dcm', u16, 16)
tool('dcmconv', '+ti', path('u16_explicit.dcm'), path('u16_implicit.dcm'))
expect('u16_implicit.dcm', u16, 16)
tool('dcmconv', '+tb', path('u16_explicit.dcm'), path('u16_big.dcm'))
expect('u16_big.dcm', u16, 16)
save(ds, 'u16_bare_implicit.dcm', preamble=False, syntax=ImplicitVRLittleEndian)
expect('u16_bare_implicit.dcm', u16, 16)
save(ds, 'u16_bare_explicit.dcm', preamble=False)
expect('u16_bare_explicit.dcm', u16, 16)
tool('dcmcjpeg', '+e1', path('u16_explicit.dcm'), path('u16_lossless.dcm'))
expect('u16_lossless.dcm', u16, 16)
tool('dcmcjpeg', '+el', '+sv', '7', path('u16_explicit.dcm'), path('u16_lossless_sv7.dcm'))
expect('u16_lossless_sv7.dcm', u16, 16)
# A point transform of 2: dcmtk's own decompression gives the expected values.
tool('dcmcjpeg', '+el', '+pt', '2', path('u16_explicit.dcm'), path('u16_lossless_pt2.dcm'))
tool('dcmdjpeg', path('u16_lossless_pt2.dcm'), path('u16_pt2_dec.dcm'))
import pydicom
expect('u16_lossless_pt2.dcm', pydicom.dcmread(path('u16_pt2_dec.dcm')).pixel_array, 16)
os.remove(path('u16_pt2_dec.dcm'))
tool('gdcmconv', '--j2k', path('u16_explicit.dcm'), path('u16_j2k.dcm'))
expect('u16_j2k.dcm', u16, 16)
# JPEG-LS and 12-bit extended JPEG are not among the formats read.
tool('dcmcjpls', path('u16_explicit.dcm'), path('u16_jpegls.dcm'))
refuse('u16_jpegls.dcm')
tool('dcmcjpeg', '+ee', path('u16_explicit.dcm'), path('u16_extended12.dcm'))
refuse('u16_extended12.dcm')
# 16-bit RLE is not among the formats read.
tool('dcmcrle', path('u16_explicit.dcm'), path('u16_rle.dcm'))
refuse('u16_rle.dcm')

# 16-bit signed: stored offset by 32768.
s16 = rng.integers(-2000, 2000, size=(6, 9)).astype(np.int16)
s16[0, 1] = -32768
s16[1, 0] = 32767
ds = base(6, 9, 16, signed=True)
ds.RescaleIntercept, ds.RescaleSlope = -1024, 1
ds.PixelData = s16.tobytes()
save(ds, 's16_explicit.dcm')
stored = (s16.astype(np.int32) + 32768).astype(np.uint16)
expect('s16_explicit.dcm', stored, 16)
tool('dcmconv', '+tb', path('s16_explicit.dcm'), path('s16_big.dcm'))
expect('s16_big.dcm', stored, 16)
tool('dcmcjpeg', '+e1', path('s16_explicit.dcm'), path('s16_lossless.dcm'))
expect('s16_lossless.dcm', stored, 16)

# 8-bit grey and colour.
u8 = rng.integers(0, 256, size=(8, 12)).astype(np.uint8)
ds = base(8, 12, 8, modality='MR')
ds.PixelData = u8.tobytes()
save(ds, 'u8_explicit.dcm')
expect('u8_explicit.dcm', u8, 8)
tool('dcmcrle', path('u8_explicit.dcm'), path('u8_rle.dcm'))
expect('u8_rle.dcm', u8, 8)
tool('dcmcjpeg', '+e1', path('u8_explicit.dcm'), path('u8_lossless.dcm'))
expect('u8_lossless.dcm', u8, 8)
# Baseline JPEG is lossy: dcmtk's own decoder gives the expected values.
smooth = (np.add.outer(np.arange(16) * 9, np.arange(24) * 5) % 256).astype(np.uint8)
ds = base(16, 24, 8, modality='MR')
ds.PixelData = smooth.tobytes()
save(ds, 'u8_smooth.dcm')
tool('dcmcjpeg', '+eb', path('u8_smooth.dcm'), path('u8_baseline.dcm'))
tool('dcmdjpeg', path('u8_baseline.dcm'), path('u8_baseline_dec.dcm'))
import pydicom
expect('u8_baseline.dcm', pydicom.dcmread(path('u8_baseline_dec.dcm')).pixel_array, 8)

rgb = rng.integers(0, 256, size=(5, 6, 3)).astype(np.uint8)
rgb[0, 0] = (30, 60, 91)
ds = base(5, 6, 8, spp=3, modality='OT')
ds.PixelData = rgb.tobytes()
save(ds, 'rgb_explicit.dcm')
grey = rgb.astype(np.int32).sum(axis=2) // 3
expect('rgb_explicit.dcm', grey, 8)
tool('dcmcrle', path('rgb_explicit.dcm'), path('rgb_rle.dcm'))
expect('rgb_rle.dcm', grey, 8)
tool('dcmcjpeg', '+e1', path('rgb_explicit.dcm'), path('rgb_lossless.dcm'))
expect('rgb_lossless.dcm', grey, 8)

s8 = np.array([[-1, -128, 0, 127], [5, -5, 100, -100]], dtype=np.int8)
ds = base(2, 4, 8, signed=True, modality='MR')
ds.PixelData = s8.tobytes()
save(ds, 's8_explicit.dcm')
expect('s8_explicit.dcm', np.maximum(s8.astype(np.int32), -127) + 127, 8)

# JPEG 2000 through gdcm, whose encoder needs images of some size.
j8 = rng.integers(0, 256, size=(32, 32)).astype(np.uint8)
ds = base(32, 32, 8, modality='MR')
ds.PixelData = j8.tobytes()
save(ds, 'j2k_src8.dcm')
tool('gdcmconv', '--j2k', path('j2k_src8.dcm'), path('u8_j2k.dcm'))
expect('u8_j2k.dcm', j8, 8)
j16 = rng.integers(-3000, 3000, size=(32, 32)).astype(np.int16)
ds = base(32, 32, 16, signed=True)
ds.RescaleIntercept, ds.RescaleSlope = -1024, 1
ds.PixelData = j16.tobytes()
save(ds, 'j2k_src16.dcm')
tool('gdcmconv', '--j2k', path('j2k_src16.dcm'), path('s16_j2k.dcm'))
expect('s16_j2k.dcm', (j16.astype(np.int32) + 32768).astype(np.uint16), 16)
for name in ('j2k_src8.dcm', 'j2k_src16.dcm'):
    os.remove(path(name))

# Multi-frame, uncompressed and one fragment per frame.
mf = rng.integers(0, 60000, size=(4, 5, 6)).astype(np.uint16)
ds = base(5, 6, 16, modality='MR', frames=4)
ds.PixelData = mf.tobytes()
save(ds, 'mf_explicit.dcm')
expect('mf_explicit.dcm', mf[2], 16, index=2)
refuse('mf_explicit.dcm', index=4)
tool('dcmcjpeg', '+e1', path('mf_explicit.dcm'), path('mf_lossless.dcm'))
expect('mf_lossless.dcm', mf[1], 16, index=1)
expect('mf_lossless.dcm', mf[3], 16, index=3)
tool('dcmcrle', path('mf_explicit.dcm'), path('mf_rle16.dcm'))
refuse('mf_rle16.dcm', index=1)

# 32-bit samples are not read.
ds = base(2, 2, 32, modality='MR')
ds.BitsStored, ds.HighBit = 32, 31
ds.PixelData = np.arange(4, dtype=np.uint32).tobytes()
save(ds, 'u32.dcm')
refuse('u32.dcm')

# Pixel data shorter than one frame.
ds = base(7, 10, 16)
ds.PixelData = u16.tobytes()[:100]
save(ds, 'short_pixels.dcm')
refuse('short_pixels.dcm')

# Sizes that no frame buffer can take: no rows, and 65535 x 65535 pixels.
for name, rows, cols in (('no_rows.dcm', 0, 10), ('huge.dcm', 65535, 65535)):
    ds = base(7, 10, 16)
    ds.Rows, ds.Columns = rows, cols
    ds.PixelData = u16.tobytes()
    save(ds, name)
    refuse(name)

# Deflated files are refused rather than read as raw elements.
tool('dcmconv', '+td', path('u16_explicit.dcm'), path('deflated.dcm'))
refuse('deflated.dcm')

for name in ('u8_smooth.dcm', 'u8_baseline_dec.dcm'):
    os.remove(path(name))
with open(path('manifest.txt'), 'w') as f:
    f.write('\n'.join(manifest) + '\n')

# ---- files for the geometry, calibration and series tests (not in the manifest) ----
ct = np.full((4, 5), 1500, dtype=np.uint16)
ct[0, 0] = ct[0, 4] = ct[3, 0] = ct[3, 4] = 63536
ct[1, 1] = 63536
ds = base(4, 5, 16)
ds.RescaleIntercept, ds.RescaleSlope = -1024, 1
ds.PixelData = ct.tobytes()
save(ds, 'ct_corners.dcm')

pad = np.full((4, 5), 100, dtype=np.int16)
ds = base(4, 5, 16, signed=True)
ds.RescaleIntercept, ds.RescaleSlope = -1024, 1
ds.PixelPaddingValue = -2000
ds['PixelPaddingValue'].VR = 'SS'
ds.PixelData = pad.tobytes()
save(ds, 'ct_padding_value.dcm')

ds = base(3, 4, 16, modality='RTDOSE', frames=5)
del ds.ImageOrientationPatient
ds.ImageOrientationPatient = [0.8660254, 0.5, 0, -0.5, 0.8660254, 0]
ds.DoseGridScaling = 0.001
ds.DoseUnits = 'GY'
ds.GridFrameOffsetVector = [0, 2.5, 5, 7.5, 10]
ds.PixelData = np.arange(60, dtype=np.uint16).tobytes()
save(ds, 'dose.dcm')

ds = base(3, 4, 16, modality='SEG')
ds.PixelData = np.zeros(12, dtype=np.uint16).tobytes()
save(ds, 'seg.dcm')

ds = base(3, 4, 16, modality='MR')
del ds.ImagePositionPatient
del ds.ImageOrientationPatient
ds.SliceLocation = 12.5
ds.WindowCenter = [40, 400]
ds.WindowWidth = 350
ds.PixelData = np.zeros(12, dtype=np.uint16).tobytes()
save(ds, 'slice_location.dcm')

ds = base(3, 4, 16, modality='MR')
ds.SeriesInstanceUID = '1.2.3.4.6'
ds.PixelData = np.zeros(12, dtype=np.uint16).tobytes()
save(ds, 'other_series.dcm')

# A sequence item holding elements the parser reads (an icon image with its
# own size) must not change the main image's values.
ds = base(3, 4, 16, modality='MR')
icon = Dataset()
icon.Rows, icon.Columns = 1, 1
icon.ImagePositionPatient = [99, 99, 99]
icon.SamplesPerPixel = 1
icon.BitsAllocated = 8
ds.IconImageSequence = [icon]
ds.PixelData = np.arange(12, dtype=np.uint16).tobytes()
save(ds, 'nested_undefined.dcm')
tool('dcmconv', '-e', '+ti', path('nested_undefined.dcm'), path('nested_implicit.dcm'))

# ---- calibrated values, spacing and position from every place the parser
# takes them (calibrated.txt: "NAME index"; NAME.INDEX.cal: column and row
# spacing in mm, the frame's position in mm, then the calibrated values
# row by row, worked out here from the arrays and the values written) ----
calibrated = []


def expect_cal(name, values, spacing, position, index=0):
    with open(path(f'{name}.{index}.cal'), 'w') as f:
        f.write('%r %r\n' % (float(spacing[1]), float(spacing[0])))
        f.write(' '.join(repr(float(v)) for v in position) + '\n')
        f.write(' '.join(repr(float(v)) for v in np.asarray(values, float).ravel()) + '\n')
    calibrated.append(f'{name} {index}')


# Rescale slope and intercept on unsigned and signed samples.
v = rng.integers(0, 3000, size=(4, 6)).astype(np.uint16)
ds = base(4, 6, 16)
ds.RescaleIntercept, ds.RescaleSlope = -100, 0.5
ds.PixelData = v.tobytes()
save(ds, 'rescaled_ct.dcm')
expect_cal('rescaled_ct.dcm', 0.5 * v.astype(float) - 100, (0.5, 0.8), (-10, 20, 30))
w = rng.integers(-3000, 3000, size=(4, 6)).astype(np.int16)
ds = base(4, 6, 16, signed=True, modality='PT')
ds.RescaleIntercept, ds.RescaleSlope = 10, 2.5
ds.PixelData = w.tobytes()
save(ds, 'rescaled_signed.dcm')
expect_cal('rescaled_signed.dcm', 2.5 * w.astype(float) + 10, (0.5, 0.8), (-10, 20, 30))

# Elements whose explicit VR carries a 32-bit length (each VR that has one),
# and an element of unknown VR, before the image.
ds = base(4, 6, 16, modality='MR')
ds.PixelData = v.tobytes()
ds.add_new(0x00090010, 'LO', 'NORVELITH TEST')
for k, (vr, value) in enumerate([('OB', b'\x01\x02'), ('OW', b'\x01\x02\x03\x04'), ('OD', b'\0' * 16),
                                 ('OF', b'\0' * 8), ('OL', b'\0' * 8), ('OV', b'\0' * 16),
                                 ('SV', [-5, 7]), ('UV', [5, 7]), ('UC', 'long text ' * 3),
                                 ('UR', 'http://example.invalid/a'), ('UT', 'text ' * 9)]):
    ds.add_new(0x00091010 + k, vr, value)
save(ds, 'long_vrs.dcm')
# UN: a private element of VR UN with its 32-bit length. Taken with a 16-bit
# length (0) its length bytes would be read as a tag and its value as a VR
# of 32-bit length announcing 2 GB, and the file would fail.
with open(path('long_vrs.dcm'), 'rb') as f:
    whole = f.read()
at = whole.index(b'\x09\x00\x1a\x10UT')  # the UN element follows the UT one
at += 12 + int.from_bytes(whole[at + 8:at + 12], 'little')
un_value = b'OB\0\0\xff\xff\xff\x7f\x28\x00\x10\x00US\x02\x00\x63\x00'
un = b'\x09\x00\x30\x10UN\0\0' + len(un_value).to_bytes(4, 'little') + un_value
with open(path('long_vrs.dcm'), 'wb') as f:
    f.write(whole[:at] + un + whole[at:])
expect_cal('long_vrs.dcm', v, (0.5, 0.8), (-10, 20, 30))


def enhanced(name, modality, frames, spacing, shared_rescale=None, per_frame_rescale=None,
             with_measures=True):
    """An enhanced multi-frame image: spacing, rescale and plane geometry only
    in the functional groups, none of them at the top level."""
    ds = base(5, 4, 16, modality=modality, frames=len(frames))
    ds.SOPClassUID = '1.2.840.10008.5.1.4.1.1.2.1' if modality == 'CT' else '1.2.840.10008.5.1.4.1.1.4.1'
    for k in ('PixelSpacing', 'ImagePositionPatient', 'ImageOrientationPatient'):
        delattr(ds, k)
    shared = Dataset()
    if with_measures:
        pm = Dataset()
        pm.PixelSpacing = list(spacing)
        pm.SliceThickness = 2.0
        shared.PixelMeasuresSequence = [pm]
    po = Dataset()
    po.ImageOrientationPatient = [1, 0, 0, 0, 1, 0]
    shared.PlaneOrientationSequence = [po]
    if shared_rescale:
        pv = Dataset()
        pv.RescaleIntercept, pv.RescaleSlope = shared_rescale
        pv.RescaleType = 'HU' if modality == 'CT' else 'US'
        shared.PixelValueTransformationSequence = [pv]
    ds.SharedFunctionalGroupsSequence = [shared]
    per = []
    for k in range(len(frames)):
        item = Dataset()
        pp = Dataset()
        pp.ImagePositionPatient = [5.0, -7.0, 11.0 + 2 * k]
        item.PlanePositionSequence = [pp]
        if per_frame_rescale:
            pv = Dataset()
            pv.RescaleIntercept, pv.RescaleSlope = per_frame_rescale[k]
            pv.RescaleType = 'US'
            item.PixelValueTransformationSequence = [pv]
        per.append(item)
    ds.PerFrameFunctionalGroupsSequence = per
    ds.PixelData = np.stack(frames).astype(np.uint16).tobytes()
    save(ds, name)


ef = [rng.integers(0, 4000, size=(5, 4)) for _ in range(3)]
enhanced('enhanced_ct.dcm', 'CT', ef, (0.7, 0.6), shared_rescale=(-1024, 2))
expect_cal('enhanced_ct.dcm', 2.0 * ef[1] - 1024, (0.7, 0.6), (5, -7, 13), index=1)
# The same with every sequence and item of explicit length.
tool('dcmconv', '+e', path('enhanced_ct.dcm'), path('enhanced_ct_lengths.dcm'))
expect_cal('enhanced_ct_lengths.dcm', 2.0 * ef[2] - 1024, (0.7, 0.6), (5, -7, 15), index=2)
enhanced('enhanced_mr.dcm', 'MR', ef, (1.25, 0.9), per_frame_rescale=[(3, 1.5)] * 3)
expect_cal('enhanced_mr.dcm', 1.5 * ef[0] + 3, (1.25, 0.9), (5, -7, 11), index=0)
enhanced('enhanced_mr_plain.dcm', 'MR', ef, (1.25, 0.9))
expect_cal('enhanced_mr_plain.dcm', ef[2], (1.25, 0.9), (5, -7, 15), index=2)
# Refused: what one data set cannot hold, or a calibration not given.
enhanced('enhanced_no_measures.dcm', 'CT', ef, (0.7, 0.6), shared_rescale=(-1024, 2), with_measures=False)
enhanced('enhanced_ct_no_rescale.dcm', 'CT', ef, (0.7, 0.6))
enhanced('enhanced_mixed_rescale.dcm', 'MR', ef, (1.25, 0.9), per_frame_rescale=[(0, 1), (0, 2), (0, 1)])
with open(path('calibrated.txt'), 'w') as f:
    f.write('\n'.join(calibrated) + '\n')
