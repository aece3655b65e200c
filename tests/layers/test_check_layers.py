#!/usr/bin/env python3
"""Runs the layer checker on small source trees made here and compares its
exit status and report with what each tree should give."""
import os
import subprocess
import sys
import tempfile

CHECKER = sys.argv[1]

# (case, files {path: text}, expected exit status, expected report lines)
CASES = [
    ("downward includes pass",
     {"registry/a.h": "#pragma once\n",
      "data/b.cpp": '#include "registry/a.h"\n#include "data/b.h"\n',
      "data/b.h": "#pragma once\n",
      "app/c.cpp": '#include "data/b.h"\n#include "views/v.h"\n#include "resources/r.h"\n',
      "views/v.h": '#include "resources/r.h"\n',
      "resources/r.h": '#include "thickness/t.h"\n',
      "thickness/t.h": '#include "medical/m.h"\n',
      "medical/m.h": "\n"},
     0, []),
    ("data including views fails",
     {"data/reset.cpp": '#include "data/x.h"\n\n#include "views/reslice_info.h"\n',
      "views/reslice_info.h": "\n"},
     1, ["data/reset.cpp:3: includes views/reslice_info.h, but views/ lies above data/"]),
    ("an engine including a later engine or resources fails",
     {"medical/a.cpp": '#  include "surfaces/s.h"\n',
      "surfaces/s.h": '#include "resources/r.h"\n',
      "resources/r.h": "\n"},
     1, ["medical/a.cpp:1: includes surfaces/s.h, but surfaces/ lies above medical/",
         "surfaces/s.h:1: includes resources/r.h, but resources/ lies above surfaces/"]),
    ("a folder outside the order is reported",
     {"widgets/w.h": "\n", "app/a.cpp": '#include "widgets/w.h"\n'},
     1, ["app/a.cpp:1: includes widgets/w.h from widgets/, which is not in the layer order",
         "widgets/: folder is not in the layer order"]),
    ("system and library headers are not ours",
     {"registry/r.cpp": '#include <wx/string.h>\n#include "cminpack/cminpack.h"\n// #include "app/x.h"\n'},
     0, []),
]


def run_case(files):
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            full = os.path.join(root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w") as f:
                f.write(text)
        r = subprocess.run([sys.executable, CHECKER, root], capture_output=True, text=True)
        return r.returncode, sorted(r.stdout.splitlines())


failures = 0
for name, files, status, report in CASES:
    got_status, got_report = run_case(files)
    if got_status != status or got_report != sorted(report):
        failures += 1
        print(f"FAIL {name}: status {got_status} (want {status}), report {got_report} (want {sorted(report)})")
    else:
        print(f"ok   {name}")
print(f"{len(CASES) - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
