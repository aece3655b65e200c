#!/usr/bin/python3
"""End-to-end check of `nv_tool convert` on NIfTI, Analyze, NRRD and MetaImage
volumes made by make_volume_fixtures.py: each is converted to NIfTI, which
nibabel must read back with the values and voxel positions that the
fixture's .expect file gives.

usage: check_volume_convert.py NV_TOOL
"""
import os
import subprocess
import sys
import tempfile

import nibabel as nib
import numpy as np

TOOL = sys.argv[1]
HERE = os.path.dirname(os.path.abspath(__file__))
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)
        print('FAIL:', what)


def load_expect(path):
    with open(path) as f:
        lines = f.read().split('\n')
    cols, rows, frames = (int(v) for v in lines[0].split())
    vec = lambda i: np.array([float(v) for v in lines[i].split()])
    values = vec(6).reshape(frames, rows, cols).transpose(2, 1, 0)
    return values, vec(1), vec(2), vec(3), vec(4), vec(5)


with tempfile.TemporaryDirectory() as tmp:
    fixtures = os.path.join(tmp, 'in')
    subprocess.run(['/usr/bin/python3', os.path.join(HERE, 'make_volume_fixtures.py'), fixtures], check=True)
    for source in ['n1_short.nii', 'n1_short_gz.nii.gz', 'n1_scaled.nii', 'n1_float.nii', 'n2_ushort.nii',
                   'an_uchar.hdr', 'nr_short.nrrd', 'nr_uchar.nhdr', 'mh_short.mhd', 'n1_pair.hdr',
                   'nr_inline_gz.nrrd', 'n1_int.nii', 'mh_msb.mhd', 'mh_char.mhd', 'nr_skip.nhdr',
                   'nr_skip_gz.nrrd', 'n1_metres.nii', 'n1_microns.nii']:
        stem = source.split('.')[0]
        values, spacing, pos0, col, row, step = load_expect(os.path.join(fixtures, stem + '.expect'))
        for ext in ('.nii', '.nii.gz'):
            out = os.path.join(tmp, stem + '_out' + ext)
            r = subprocess.run([TOOL, 'convert', os.path.join(fixtures, source), out], capture_output=True, text=True)
            check(r.returncode == 0, '%s -> %s: exit %d: %s' % (source, ext, r.returncode, r.stderr))
            if r.returncode != 0:
                continue
            img = nib.load(out)
            got = img.get_fdata()
            check(got.shape == values.shape, '%s%s: shape %s' % (stem, ext, got.shape))
            if got.shape != values.shape:
                continue
            # Calibrated values survive up to the float rounding of slope and intercept.
            err = np.max(np.abs(got - values) / (1e-3 * np.abs(values) + 0.01))
            check(err <= 1, '%s%s: values differ by up to %g of the tolerance' % (stem, ext, err))
            check(np.allclose(img.header.get_zooms()[:2], spacing, atol=1e-5), '%s%s: zooms' % (stem, ext))
            flip = np.array([-1.0, -1.0, 1.0])
            a = img.affine
            for k in range(values.shape[2]):
                p = flip * (a @ [0, 0, k, 1])[:3] / 10
                check(np.allclose(p, pos0 + k * step, atol=1e-4), '%s%s: frame %d at %s' % (stem, ext, k, p))
            check(np.allclose(flip * a[:3, 0] / np.linalg.norm(a[:3, 0]), col, atol=1e-4), '%s%s: column axis' % (stem, ext))
            check(np.allclose(flip * a[:3, 1] / np.linalg.norm(a[:3, 1]), row, atol=1e-4), '%s%s: row axis' % (stem, ext))

    # Refused inputs: exit 1 and one message naming the file and the reason.
    bad = os.path.join(tmp, 'bad')
    os.makedirs(bad)
    nib.save(nib.Nifti1Image(np.zeros((3, 3, 2, 2), np.int16), np.eye(4)), os.path.join(bad, 'four_d.nii'))
    nib.save(nib.AnalyzeImage(np.zeros((3, 3, 2), np.uint8), np.eye(4)), os.path.join(bad, 'plain.hdr'))
    with open(os.path.join(bad, 'huge.mhd'), 'w') as f:
        f.write('ObjectType = Image\nNDims = 3\nBinaryData = True\nCompressedData = False\n'
                'Offset = 0 0 0\nElementSpacing = 1 1 1\nDimSize = 4000 4000 4000\n'
                'ElementType = MET_SHORT\nElementDataFile = huge.raw\n')
    with open(os.path.join(bad, 'huge.raw'), 'wb') as f:
        f.write(bytes(8192))
    # A single colour image, RLE-compressed by dcmtk, without image position
    # or slice location: it loads, but forms no volume.
    from pydicom.dataset import Dataset, FileDataset, FileMetaDataset
    from pydicom.uid import ExplicitVRLittleEndian, generate_uid
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = '1.2.840.10008.5.1.4.1.1.7'
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = FileDataset(os.path.join(bad, 'sc.dcm'), {}, file_meta=meta, preamble=b'\0' * 128)
    ds.SOPClassUID, ds.SOPInstanceUID = meta.MediaStorageSOPClassUID, meta.MediaStorageSOPInstanceUID
    ds.Modality, ds.SeriesInstanceUID = 'OT', generate_uid()
    ds.Rows, ds.Columns, ds.SamplesPerPixel, ds.PlanarConfiguration = 4, 5, 3, 0
    ds.PhotometricInterpretation = 'RGB'
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 8, 8, 7, 0
    ds.PixelData = bytes(range(60))
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.save_as(os.path.join(bad, 'sc.dcm'), write_like_original=False)
    subprocess.run(['dcmcrle', os.path.join(bad, 'sc.dcm'), os.path.join(bad, 'sc_rle.dcm')], check=True)
    # (A load refusal names the input, an export refusal the output.)
    for name, named, reason in (('four_d.nii', 'four_d.nii', 'holds a volume of 4 dimensions'),
                                ('plain.hdr', 'plain.hdr', 'its extents field is 0'),
                                ('huge.mhd', 'huge.mhd', 'fewer than the 128000000000 bytes'),
                                ('sc_rle.dcm', 'refused.nii', 'no recorded positions')):
        out = os.path.join(tmp, 'refused.nii')
        r = subprocess.run([TOOL, 'convert', os.path.join(bad, name), out], capture_output=True, text=True)
        check(r.returncode == 1, '%s: exit %d' % (name, r.returncode))
        check(r.stderr.count('Warning:') == 1 and named in r.stderr and reason in r.stderr,
              '%s: message %r' % (name, r.stderr))
        check(not os.path.exists(out), '%s: no file written' % name)

print('%d failures' % len(failures))
sys.exit(1 if failures else 0)
