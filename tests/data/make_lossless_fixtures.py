#!/usr/bin/python3
"""Lossless JPEG codestreams with known samples, for the decoder tests.

Two sources: dcmtk's dcmcjpeg (every predictor at 8 and 16 bits, and RGB),
and a small encoder of our own for the precisions and restart intervals that
dcmcjpeg cannot produce. Each stream of our encoder is first decoded with
dcmtk's dcmdjpeg and must give back its samples exactly, so the fixtures do
not rest on this encoder alone.

Writes into OUTDIR: NAME.jpg (the codestream), NAME.raw (the expected samples,
little-endian uint16, interleaved by component) and manifest.txt with one line
"NAME width height components precision" per stream.
"""
import os
import subprocess
import sys

import numpy as np
import pydicom
from pydicom.dataset import FileDataset, FileMetaDataset
from pydicom.encaps import encapsulate, generate_pixel_data_frame
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

OUT = sys.argv[1]
rng = np.random.default_rng(20261211)
manifest = []


def dataset(path, rows, cols, spp, bits_alloc, bits_stored, pixel_bytes, syntax=ExplicitVRLittleEndian):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = '1.2.840.10008.5.1.4.1.1.7'
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = syntax
    ds = FileDataset(path, {}, file_meta=meta, preamble=b'\0' * 128)
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.Modality = 'OT'
    ds.PatientID = '1'
    ds.StudyInstanceUID = generate_uid()
    ds.SeriesInstanceUID = generate_uid()
    ds.Rows, ds.Columns = rows, cols
    ds.SamplesPerPixel = spp
    ds.PhotometricInterpretation = 'MONOCHROME2' if spp == 1 else 'RGB'
    if spp == 3:
        ds.PlanarConfiguration = 0
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = bits_alloc, bits_stored, bits_stored - 1
    ds.PixelRepresentation = 0
    ds.PixelData = pixel_bytes
    ds.is_little_endian, ds.is_implicit_VR = True, False
    if syntax != ExplicitVRLittleEndian:
        ds['PixelData'].is_undefined_length = True
        ds['PixelData'].VR = 'OB'
    ds.save_as(path, write_like_original=False)


def record(name, samples, cols, rows, comps, precision, stream):
    with open(os.path.join(OUT, name + '.jpg'), 'wb') as f:
        f.write(stream)
    samples.astype('<u2').tofile(os.path.join(OUT, name + '.raw'))
    manifest.append(f'{name} {cols} {rows} {comps} {precision}')


def random_image(rows, cols, comps, precision):
    # Smooth ramps plus noise, so that predictors see both small and large differences.
    y, x = np.mgrid[0:rows, 0:cols]
    top = 2 ** precision
    base = (x * 7 + y * 3) * top // (7 * cols + 3 * rows + 1)
    img = np.stack([(base + rng.integers(-3, 4, size=(rows, cols)) + c * 5) % top for c in range(comps)], axis=-1)
    img[0, 0, 0] = top - 1
    img[rows - 1, cols - 1, 0] = 0
    return img.astype(np.int64)


# ---- our encoder ----

def huffman_table(lengths):
    """BITS and HUFFVAL of a canonical table giving symbol s the code length lengths[s]."""
    order = sorted(range(len(lengths)), key=lambda s: (lengths[s], s))
    bits = [0] * 17
    for s in order:
        bits[lengths[s]] += 1
    codes, code, prev = {}, 0, lengths[order[0]]
    for s in order:
        code <<= lengths[s] - prev
        prev = lengths[s]
        codes[s] = (code, lengths[s])
        code += 1
    return bits[1:], order, codes


class BitWriter:
    def __init__(self):
        self.out, self.acc, self.n = bytearray(), 0, 0

    def put(self, value, n):
        for i in range(n - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)
                self.acc, self.n = 0, 0

    def flush(self):
        if self.n:
            self.put((1 << (8 - self.n)) - 1, 8 - self.n)


def predict(sv, ra, rb, rc):
    return [0, ra, rb, rc, ra + rb - rc, ra + ((rb - rc) >> 1), rb + ((ra - rc) >> 1), (ra + rb) >> 1][sv]


def encode(img, precision, sv, pt, restart_rows, lengths):
    rows, cols, comps = img.shape
    samples = img >> pt
    bits, order, codes = huffman_table(lengths)
    seg = bytearray(b'\xff\xd8')
    seg += b'\xff\xc3' + (8 + 3 * comps).to_bytes(2, 'big') + bytes([precision]) + rows.to_bytes(2, 'big') + cols.to_bytes(2, 'big') + bytes([comps])
    for c in range(comps):
        seg += bytes([c + 1, 0x11, 0])
    seg += b'\xff\xc4' + (2 + 17 + len(order)).to_bytes(2, 'big') + bytes([0]) + bytes(bits) + bytes(order)
    if restart_rows:
        seg += b'\xff\xdd\x00\x04' + (restart_rows * cols).to_bytes(2, 'big')
    seg += b'\xff\xda' + (6 + 2 * comps).to_bytes(2, 'big') + bytes([comps])
    for c in range(comps):
        seg += bytes([c + 1, 0x00])
    seg += bytes([sv, 0, pt])
    w = BitWriter()
    rst = 0
    first = 1 << (precision - pt - 1)
    for y in range(rows):
        first_row = y == 0
        if restart_rows and y > 0 and y % restart_rows == 0:
            w.flush()
            w.out += bytes([0xFF, 0xD0 + rst])
            rst = (rst + 1) & 7
            first_row = True
        for x in range(cols):
            for c in range(comps):
                if first_row:
                    p = first if x == 0 else samples[y, x - 1, c]
                elif x == 0:
                    p = samples[y - 1, x, c]
                else:
                    p = predict(sv, samples[y, x - 1, c], samples[y - 1, x, c], samples[y - 1, x - 1, c])
                d = int(samples[y, x, c] - p) % 65536
                if d >= 32768:
                    d -= 65536
                if d == -32768:
                    d = 32768
                ssss = 16 if d == 32768 else abs(d).bit_length()
                code, n = codes[ssss]
                w.put(code, n)
                if 0 < ssss < 16:
                    w.put(d if d > 0 else d + (1 << ssss) - 1, ssss)
    w.flush()
    # The decoder multiplies the coded samples back by 2^pt.
    return bytes(seg + w.out + b'\xff\xd9'), samples << pt


def check_with_dcmtk(name, stream, samples, precision):
    rows, cols, comps = samples.shape
    ba = 8 if precision <= 8 else 16
    src = os.path.join(OUT, name + '_check.dcm')
    dst = os.path.join(OUT, name + '_check_raw.dcm')
    dataset(src, rows, cols, comps, ba, precision, encapsulate([stream]), '1.2.840.10008.1.2.4.57')
    subprocess.run(['dcmdjpeg', src, dst], check=True)
    got = pydicom.dcmread(dst).pixel_array.reshape(rows, cols, comps)
    if not np.array_equal(got.astype(np.int64), samples):
        sys.exit(f'{name}: dcmdjpeg does not give back the samples')
    os.remove(src)
    os.remove(dst)


SHORT = [2, 3, 3, 3, 3, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14]  # small differences short
LONG = [14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 3, 3, 3, 3, 2]   # large differences short

cases = []
for p in range(2, 17):
    cases.append((f'own_p{p}_sv{(p % 7) + 1}', 9, 6, 1, p, (p % 7) + 1, 0, 0, SHORT if p % 2 else LONG))
for sv in range(1, 8):
    cases.append((f'own_p12_sv{sv}_rst2', 11, 9, 1, 12, sv, 0, 2, LONG))
cases.append(('own_p16_sv4_rst1', 5, 7, 1, 16, 4, 0, 1, SHORT))
cases.append(('own_p10_sv1_rst3_wide', 4100 - 4, 4, 1, 10, 1, 0, 3, SHORT))
cases.append(('own_rgb_p8_sv5_rst1', 6, 5, 3, 8, 5, 0, 1, SHORT))
cases.append(('own_p12_sv6_pt3', 8, 7, 1, 12, 6, 3, 0, SHORT))
for name, cols, rows, comps, p, sv, pt, rr, lengths in cases:
    img = random_image(rows, cols, comps, p)
    stream, samples = encode(img, p, sv, pt, rr, lengths)
    check_with_dcmtk(name, stream, samples, p)
    record(name, samples, cols, rows, comps, p, stream)

# ---- dcmtk's encoder ----
for bits in (8, 16):
    for sv in range(1, 8):
        name = f'dcmtk_p{bits}_sv{sv}'
        img = random_image(13, 10, 1, bits)
        src = os.path.join(OUT, name + '_src.dcm')
        dst = os.path.join(OUT, name + '_j.dcm')
        dtype = np.uint8 if bits == 8 else np.uint16
        dataset(src, 13, 10, 1, bits, bits, img.reshape(13, 10).astype(dtype).tobytes())
        subprocess.run(['dcmcjpeg', '+el', '+sv', str(sv), src, dst], check=True)
        frame = next(generate_pixel_data_frame(pydicom.dcmread(dst).PixelData))
        record(name, img, 10, 13, 1, bits, frame)
        os.remove(src)
        os.remove(dst)
# A point transform: the expected samples are what dcmtk's own decoder gives.
for bits, pt in ((16, 2), (8, 3)):
    name = f'dcmtk_p{bits}_pt{pt}'
    img = random_image(9, 11, 1, bits)
    src = os.path.join(OUT, name + '_src.dcm')
    dst = os.path.join(OUT, name + '_j.dcm')
    back = os.path.join(OUT, name + '_d.dcm')
    dtype = np.uint8 if bits == 8 else np.uint16
    dataset(src, 9, 11, 1, bits, bits, img.reshape(9, 11).astype(dtype).tobytes())
    subprocess.run(['dcmcjpeg', '+el', '+pt', str(pt), src, dst], check=True)
    subprocess.run(['dcmdjpeg', dst, back], check=True)
    expected = pydicom.dcmread(back).pixel_array.reshape(9, 11, 1).astype(np.int64)
    if not np.array_equal(expected, (img >> pt) << pt):
        sys.exit(f'{name}: dcmdjpeg does not give the samples less their low {pt} bits')
    record(name, expected, 11, 9, 1, bits, next(generate_pixel_data_frame(pydicom.dcmread(dst).PixelData)))
    for f in (src, dst, back):
        os.remove(f)
name = 'dcmtk_rgb_sv1'
img = random_image(6, 7, 3, 8)
src, dst = os.path.join(OUT, name + '_src.dcm'), os.path.join(OUT, name + '_j.dcm')
dataset(src, 6, 7, 3, 8, 8, img.astype(np.uint8).tobytes())
subprocess.run(['dcmcjpeg', '+e1', src, dst], check=True)
record(name, img, 7, 6, 3, 8, next(generate_pixel_data_frame(pydicom.dcmread(dst).PixelData)))
os.remove(src)
os.remove(dst)

with open(os.path.join(OUT, 'manifest.txt'), 'w') as f:
    f.write('\n'.join(manifest) + '\n')
