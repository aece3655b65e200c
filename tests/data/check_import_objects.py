#!/usr/bin/python3
"""End-to-end check of `nv_tool import-objects` on the fixtures of
make_object_fixtures.py: a structure set, a segmentation and a label volume
are imported into the CT series and the written data file holds their
contours; files from which no contour can be imported give a non-zero exit
and no file.

usage: check_import_objects.py NV_TOOL
"""
import os
import subprocess
import sys
import tempfile

TOOL = sys.argv[1]
HERE = os.path.dirname(os.path.abspath(__file__))
failures = []
checked = [0]


def check(cond, what):
    checked[0] += 1
    if not cond:
        failures.append(what)
        print('FAIL:', what)


with tempfile.TemporaryDirectory() as d:
    subprocess.run(['/usr/bin/python3', os.path.join(HERE, 'make_object_fixtures.py'), d], check=True)
    ct = os.path.join(d, 'ct')
    # file, expected OBJECT names of objects 0.., expected CONT lines
    good = [('rt.dcm', ['Liver', 'Kidney', 'Empty', 'Edge'], 5),
            ('seg.dcm', ['Bone', 'Air'], 3),
            ('lab_u8.nii.gz', ['lab_u8 label 1', 'lab_u8 label 2'], 6)]
    for name, names, contours in good:
        out = os.path.join(d, name + '.hm')
        r = subprocess.run([TOOL, 'import-objects', ct, os.path.join(d, name), out],
                           capture_output=True, text=True)
        check(r.returncode == 0, '%s: exit %d: %s' % (name, r.returncode, r.stderr))
        if not os.path.exists(out):
            check(False, '%s: no data file written' % name)
            continue
        lines = open(out, encoding='latin-1').read().splitlines()
        objects = {}
        for line in lines:
            parts = line.split(' ', 10)
            if parts[0] == 'OBJECT' and len(parts) == 11:
                objects[int(parts[1])] = parts[10]
        for i, n in enumerate(names):
            check(objects.get(i) == n, '%s: object %d is named %r, not %r' % (name, i, objects.get(i), n))
        conts = [l for l in lines if l.startswith('CONT ')]
        check(len(conts) == contours, '%s: %d contours, not %d' % (name, len(conts), contours))

    for name in ('rt_unreferenced.dcm', 'seg_reversed.dcm', 'seg_fractional.dcm'):
        out = os.path.join(d, name + '.hm')
        r = subprocess.run([TOOL, 'import-objects', ct, os.path.join(d, name), out],
                           capture_output=True, text=True)
        check(r.returncode != 0, '%s: exit 0' % name)
        check('No contour was imported' in r.stderr, '%s: message %r' % (name, r.stderr))
        check(not os.path.exists(out), '%s: data file written' % name)

print('%d passed, %d failed' % (checked[0] - len(failures), len(failures)))
sys.exit(1 if failures else 0)
