#!/usr/bin/python3
"""Small TIFF files and image series for the image reader tests.

The TIFF files are written byte by byte by the writer below (one strip per
page, tags as given); tiled and multi-page variants are made from them with
libtiff's tiffcp, the other formats with PIL. Pixel patterns:

  u8(x, y, p)  = (x * 40 + y * 7 + p) % 256
  u16(x, y, p) = (x * 257 + y * 4099 + p * 7) % 65536
  s16(x, y)    = x * 1000 - y * 3000 - 1          (signed)
  rgb(x, y)    = (x * 50 % 256, y * 80 % 256, (x + y) * 30 % 256)

  u8.tif            5 x 3, 8-bit, no resolution tags
  u16_cm.tif        5 x 3, 16-bit, 50 px/cm, SMin 0, SMax 4095
  u16_inch.tif      5 x 3, 16-bit, 254 px/inch
  u16_zero.tif      5 x 3, 16-bit, XResolution 0, unit cm
  u16_none.tif      5 x 3, 16-bit, 72 px, unit none
  s16.tif, s16_be.tif  4 x 3 signed 16-bit, little- and big-endian
  s8.tif            4 x 3 signed 8-bit: x * 30 - y * 50 - 1
  ct3.tif           3 pages of 5 x 3 16-bit, CT marker, page p named
                    "<1.5 + p>,2,<3 + 2.5 p>,0,0,90", u16(x, y, p)
  ct5.tif           one page with the marker and five numbers in PageName
  tiled.tif         40 x 20 16-bit, 16 x 16 tiles (tiffcp -t)
  cut.tif           5 x 3 16-bit whose strip lies past the end of the file
  rgb.tif           5 x 3 RGB, 50 px/cm
  colour.png        5 x 3 RGB of rgb(x, y)
  png/s001.png ..   3 grey 4 x 2 PNGs, all pixels 10 * n + x + y
  bmp/s001.bmp ..   the same as BMP
  jpg/s001.jpg ..   3 grey 8 x 8 JPEGs of uniform value 40 * n
  stack/t00.tif .. t19.tif  4 x 4 8-bit slices of value n, and
  stack/wide.tif    6 x 4 8-bit slice
"""
import os
import struct
import subprocess
import sys

from PIL import Image

OUT = sys.argv[1]

SHORT, LONG, RATIONAL, ASCII = 3, 4, 5, 2


def tiff(path, pages, big_endian=False):
    """pages: list of (width, height, bits, samples, sample_format, pixel
    bytes in native order already packed by the caller's packer, extra tags
    as {tag: (type, value)})."""
    e = '>' if big_endian else '<'
    out = bytearray(b'MM\x00\x2a' if big_endian else b'II\x2a\x00')
    out += struct.pack(e + 'I', 0)
    prev_link = 4
    for (w, h, bits, spp, fmt, data, extra) in pages:
        while len(out) % 2:
            out += b'\0'
        data_at = len(out)
        out += data
        tags = {
            256: (LONG, [w]), 257: (LONG, [h]), 258: (SHORT, [bits] * spp),
            259: (SHORT, [1]), 262: (SHORT, [2 if spp == 3 else 1]),
            273: (LONG, [data_at]), 277: (SHORT, [spp]), 278: (LONG, [h]),
            279: (LONG, [len(data)]), 284: (SHORT, [1]), 339: (SHORT, [fmt] * spp),
        }
        tags.update(extra)
        blobs = bytearray()
        entries = []
        for tag in sorted(tags):
            typ, val = tags[tag]
            if typ == ASCII:
                raw = val.encode() + b'\0'
                count = len(raw)
            elif typ == RATIONAL:
                raw = b''.join(struct.pack(e + 'II', n, d) for n, d in val)
                count = len(val)
            else:
                raw = b''.join(struct.pack(e + ('H' if typ == SHORT else 'I'), v) for v in val)
                count = len(val)
            entries.append((tag, typ, count, raw))
        while len(out) % 2:
            out += b'\0'
        ifd_at = len(out)
        struct.pack_into(e + 'I', out, prev_link, ifd_at)
        size = 2 + 12 * len(entries) + 4
        blob_at = ifd_at + size
        ifd = bytearray(struct.pack(e + 'H', len(entries)))
        for tag, typ, count, raw in entries:
            if len(raw) <= 4:
                ifd += struct.pack(e + 'HHI', tag, typ, count) + raw.ljust(4, b'\0')
            else:
                ifd += struct.pack(e + 'HHII', tag, typ, count, blob_at + len(blobs))
                blobs += raw
                if len(blobs) % 2:
                    blobs += b'\0'
        prev_link = ifd_at + len(ifd)
        ifd += struct.pack(e + 'I', 0)
        out += ifd + blobs
    with open(os.path.join(OUT, path), 'wb') as f:
        f.write(out)


def u8(x, y, p=0):
    return (x * 40 + y * 7 + p) % 256


def u16(x, y, p=0):
    return (x * 257 + y * 4099 + p * 7) % 65536


def s16(x, y):
    return x * 1000 - y * 3000 - 1


def rgb(x, y):
    return (x * 50 % 256, y * 80 % 256, (x + y) * 30 % 256)


def pack(fn, w, h, code, e='<'):
    return b''.join(struct.pack(e + code, fn(x, y)) for y in range(h) for x in range(w))


def page16(w, h, extra, p=0, e='<'):
    return (w, h, 16, 1, 1, pack(lambda x, y: u16(x, y, p), w, h, 'H', e), extra)


def main():
    os.makedirs(OUT, exist_ok=True)
    res = lambda xr, yr, unit: {282: (RATIONAL, [xr]), 283: (RATIONAL, [yr]), 296: (SHORT, [unit])}
    tiff('u8.tif', [(5, 3, 8, 1, 1, pack(u8, 5, 3, 'B'), {})])
    cm = res((50, 1), (50, 1), 3)
    cm.update({280: (SHORT, [0]), 281: (SHORT, [4095])})
    tiff('u16_cm.tif', [page16(5, 3, cm)])
    tiff('u16_inch.tif', [page16(5, 3, res((254, 1), (254, 1), 2))])
    tiff('u16_zero.tif', [page16(5, 3, res((0, 1), (10, 1), 3))])
    tiff('u16_none.tif', [page16(5, 3, res((72, 1), (72, 1), 1))])
    tiff('s16.tif', [(4, 3, 16, 1, 2, pack(s16, 4, 3, 'h'), {})])
    tiff('s16_be.tif', [(4, 3, 16, 1, 2, pack(s16, 4, 3, 'h', '>'), {})], big_endian=True)
    tiff('s8.tif', [(4, 3, 8, 1, 2, pack(lambda x, y: x * 30 - y * 50 - 1, 4, 3, 'b'), {})])
    marker = 'wxVolum KTQD CT Data'
    tiff('ct3.tif', [page16(5, 3, {270: (ASCII, marker),
                                   285: (ASCII, '%g,2,%g,0,0,90' % (1.5 + p, 3 + 2.5 * p))}, p)
                     for p in range(3)])
    tiff('ct5.tif', [page16(5, 3, {270: (ASCII, marker), 285: (ASCII, '1,2,3,4,5')})])
    tiff('plain40.tif', [page16(40, 20, {})])
    subprocess.check_call(['tiffcp', '-s', '-t', '-w', '16', '-l', '16',
                           os.path.join(OUT, 'plain40.tif'), os.path.join(OUT, 'tiled.tif')])
    # A strip that lies past the end of the file.
    tiff('cut.tif', [(5, 3, 16, 1, 1, b'', {273: (LONG, [1 << 20]), 279: (LONG, [30])})])
    tiff('rgb.tif', [(5, 3, 8, 3, 1, b''.join(bytes(rgb(x, y)) for y in range(3) for x in range(5)),
                      res((50, 1), (50, 1), 3))])
    im = Image.new('RGB', (5, 3))
    for y in range(3):
        for x in range(5):
            im.putpixel((x, y), rgb(x, y))
    im.save(os.path.join(OUT, 'colour.png'))
    for sub, ext in (('png', 'png'), ('bmp', 'bmp')):
        os.makedirs(os.path.join(OUT, sub), exist_ok=True)
        for n in range(1, 4):
            g = Image.new('L', (4, 2))
            for y in range(2):
                for x in range(4):
                    g.putpixel((x, y), 10 * n + x + y)
            g.save(os.path.join(OUT, sub, 's%03d.%s' % (n, ext)))
    os.makedirs(os.path.join(OUT, 'jpg'), exist_ok=True)
    for n in range(1, 4):
        Image.new('L', (8, 8), 40 * n).save(os.path.join(OUT, 'jpg', 's%03d.jpg' % n), quality=95)
    os.makedirs(os.path.join(OUT, 'stack'), exist_ok=True)
    for n in range(20):
        tiff('stack/t%02d.tif' % n, [(4, 4, 8, 1, 1, bytes([n] * 16), res((20, 1), (20, 1), 3))])
    tiff('stack/wide.tif', [(6, 4, 8, 1, 1, bytes(24), res((20, 1), (20, 1), 3))])


main()
