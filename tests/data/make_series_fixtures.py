#!/usr/bin/python3
"""Series of small DICOM files for the data-set loading tests.

Every image is 4 x 3 pixels, 16-bit unsigned; pixel k of the file numbered n
(frame f of a multi-frame file) holds n * 100 + f * 20 + k.

  run/IM0001.dcm .. IM0010.dcm  one numbered run; slice z = 2.5 * position[n],
                                a shuffled order; IM0004 and IM0007 belong to
                                another series
  two/a1.dcm .. a3.dcm          series 1.2.3.7 of three files
  two/scout.dcm                 a single image of another size (5 x 5)
  two/notes.txt                 not an image
  one/b1.dcm, b2.dcm, notes.txt one series and a file that is not DICOM
  mf/MF1.dcm, MF2.dcm, MF4.dcm  single-frame files; MF3.dcm holds 4 frames
"""
import os
import sys

import numpy as np
from pydicom.dataset import Dataset, FileDataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

OUT = sys.argv[1]
SHUFFLE = [5, 2, 9, 0, 7, 3, 8, 1, 6, 4]


def write(rel, number, z, series='1.2.3.5', rows=3, cols=4, frames=1):
    path = os.path.join(OUT, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    ds = Dataset()
    ds.SOPClassUID = '1.2.840.10008.5.1.4.1.1.4'
    ds.SOPInstanceUID = generate_uid()
    ds.Modality = 'MR'
    ds.SeriesInstanceUID = series
    ds.SeriesDescription = 'test ' + series
    ds.ContentTime = '1200%02d' % (number % 60)
    ds.Rows, ds.Columns = rows, cols
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = 'MONOCHROME2'
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 16, 15, 0
    ds.PixelSpacing = [0.5, 0.8]
    ds.ImagePositionPatient = [0, 0, z]
    ds.ImageOrientationPatient = [1, 0, 0, 0, 1, 0]
    ds.SliceThickness = 2.5
    if frames > 1:
        ds.NumberOfFrames = frames
        ds.GridFrameOffsetVector = [2.5 * f for f in range(frames)]
    pix = np.concatenate([number * 100 + f * 20 + np.arange(rows * cols) for f in range(frames)])
    ds.PixelData = pix.astype('<u2').tobytes()
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = ds.SOPClassUID
    meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    fds = FileDataset(path, ds, file_meta=meta, preamble=b'\0' * 128)
    fds.is_little_endian, fds.is_implicit_VR = True, False
    fds.save_as(path, write_like_original=False)


for n in range(1, 11):
    write('run/IM%04d.dcm' % n, n, 2.5 * SHUFFLE[n - 1], series='1.2.3.9' if n in (4, 7) else '1.2.3.5')
for n in range(1, 4):
    write('two/a%d.dcm' % n, n, 2.5 * n, series='1.2.3.7')
write('two/scout.dcm', 50, 0, series='1.2.3.8', rows=5, cols=5)
with open(os.path.join(OUT, 'two/notes.txt'), 'w') as f:
    f.write('not an image\n')
for n in (1, 2):
    write('one/b%d.dcm' % n, n, 2.5 * n)
with open(os.path.join(OUT, 'one/notes.txt'), 'w') as f:
    f.write('not an image\n')
for n in (1, 2, 4):
    write('mf/MF%d.dcm' % n, n, 0)
write('mf/MF3.dcm', 3, 0, frames=4)
