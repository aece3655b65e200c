#!/usr/bin/python3
"""Starts the norvelith program on a small image stack as a user would and
drives it through the accessibility interface, by the controls' labels:
the Reslice tab shows plane 0's reslice in the centre view, arrow keys on the
rotation sphere turn it, " Locate to current frame " brings it back, and
"Grab centre/left window" with the TIFF filter
and a name without a dot writes a ".tiff" file equal to the view.

The stack's value depends only on the frame column, in four bands of ten
columns, so the reslice across the frames (plane 0's first place) shows the
four band values in rows of ten pixels each, at zoom 1 one pixel each.

Usage (on a display of its own, with a session bus):
  with-display.sh dbus-run-session -- python3 reslice_program_atspi.py NORVELITH
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
from atspi_support import find_app, wait_for  # noqa: E402
import numpy  # noqa: E402
import nibabel  # noqa: E402
import pyatspi  # noqa: E402
from PIL import Image, ImageGrab  # noqa: E402

VISUAL = ["Blank", "Ortho", "Reslice", "Volume", "Thickness"]
BANDS = [40, 90, 160, 220]
W, H, D = 40, 30, 5


def nodes(node, role=None, name=None, depth=0, found=None):
    """Every node under node of that role and name (None: any)."""
    found = [] if found is None else found
    if depth > 30:
        return found
    if (role is None or node.getRoleName() == role) and (name is None or node.name == name):
        found.append(node)
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            nodes(child, role, name, depth + 1, found)
    return found


def extents(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def on_screen(node):
    x, y, w, h = extents(node)
    return x >= 0 and y >= 0 and w > 1 and h > 1


def visual_tabs(app):
    for tabs in nodes(app, "page tab list"):
        if [tabs.getChildAtIndex(i).name for i in range(min(tabs.childCount, 5))] == VISUAL:
            return tabs
    return None


def grey(value):
    return (value, value, value)


def write_stack(path):
    volume = numpy.zeros((W, H, D), dtype=numpy.uint8)
    for x in range(W):
        volume[x, :, :] = BANDS[x // 10]
    image = nibabel.Nifti1Image(volume, numpy.diag([0.5, 0.5, 1.0, 1.0]))
    image.header.set_xyzt_units("mm")
    nibabel.save(image, path)


def band_rows(shot, box):
    """For each band value, the screen rows of the view's left part whose
    pixels in some column are all that grey."""
    x0, y0, w, h = box
    rows = {v: set() for v in BANDS}
    pixels = shot.load()
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + min(w, 40)):
            p = pixels[x, y][:3]
            for v in BANDS:
                if p == grey(v):
                    rows[v].add(y)
    return rows


RIGHT, RETURN = 0xff53, 0xff0d  # X key symbols


def press(keysym):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)


def click(node):
    x, y, w, h = extents(node)
    pyatspi.Registry.generateMouseEvent(x + w // 2, y + h // 2, "b1c")


def main(program):
    root = tempfile.mkdtemp(prefix="nv_reslice_atspi_")
    config = os.path.join(root, "xdg", "Norvelith")
    os.makedirs(config)
    # The user keeps the zoom at 1, so that a reslice pixel is a screen pixel.
    with open(os.path.join(config, "norvelith.ini"), "w") as ini:
        ini.write("RES_LOCK_ZOOM=1\n")
    data = os.path.join(root, "stack.nii")
    write_stack(data)
    wait_for("the accessibility registry", lambda: pyatspi.Registry.getDesktop(0) is not None)
    env = dict(os.environ, HOME=root, XDG_CONFIG_HOME=os.path.join(root, "xdg"), NV_LOG_TO_STDERR="1")
    proc = subprocess.Popen([program, data], env=env, stdout=subprocess.DEVNULL)
    try:
        app = wait_for("the program on the accessibility bus", lambda: find_app(proc.pid))
        wait_for("the stack loaded", lambda: nodes(app, "label", "5 frames loaded."))
        tabs = wait_for("the visualisation tabs", lambda: visual_tabs(app))

        # The Reslice tab: the centre view appears below the two upper views.
        names = [tabs.getChildAtIndex(i).name for i in range(tabs.childCount)]
        # A slow program (the sanitizer build) may let one bus call time out: ask again.
        wait_for("the Reslice tab chosen",
                 lambda: tabs.querySelection().selectChild(names.index("Reslice")))
        upper = max(extents(p)[1] + extents(p)[3] for p in nodes(app, "scroll pane")
                    if on_screen(p) and extents(p)[1] < 200 and extents(p)[0] > 200 and extents(p)[2] > 300)
        centre = wait_for("the centre view", lambda: [p for p in nodes(app, "scroll pane")
                                                       if on_screen(p) and extents(p)[1] >= upper
                                                       and extents(p)[2] > 300])[0]
        box = extents(centre)

        # Each band value fills ten rows, in order, one below the other.
        def bands_shown():
            rows = band_rows(ImageGrab.grab(), box)
            if not all(len(rows[v]) == 10 for v in BANDS):
                return None
            firsts = [min(rows[v]) for v in BANDS]
            return rows if all(firsts[k + 1] - firsts[k] == 10 for k in range(3)) else None
        before = wait_for("the reslice's four bands", bands_shown)

        # Arrow keys on the rotation sphere, above its "Rotate" label, turn
        # the plane: the bands lean over and no longer fill whole rows.
        label = [n for n in nodes(app, "label", "Rotate") if on_screen(n)][0]
        lx, ly, lw, lh = extents(label)
        pyatspi.Registry.generateMouseEvent(lx + lw // 2, ly - 20, pyatspi.MOUSE_ABS)
        time.sleep(0.2)
        for _ in range(3):
            press(RIGHT)
        wait_for("the turned reslice", lambda: band_rows(ImageGrab.grab(), box) != before)

        # " Locate to current frame " puts the plane back on the current
        # frame: the four bands fill their rows again, where they were.
        locate = wait_for("the locate button", lambda: [b for b in nodes(app, "push button",
                                                                         " Locate to current frame ")])[0]
        locate.queryAction().doAction(0)
        wait_for("the reslice back on the frame", lambda: band_rows(ImageGrab.grab(), box) == before)

        # Grab the centre view into a name without a dot, TIFF filter.
        # Clicked as a user does: a command run from the accessibility call
        # would keep that call waiting while its dialog is open.
        click([n for n in nodes(app, "menu", "File") if on_screen(n)][0])
        click(wait_for("the menu item", lambda: [n for n in nodes(app, "menu item", "Grab centre/left window")
                                                 if on_screen(n)])[0])
        dialog = wait_for("the save dialog", lambda: [d for d in nodes(app, "file chooser")])[0]
        name = wait_for("the name field", lambda: [t for t in nodes(dialog, "text") if t.getState().contains(
            pyatspi.STATE_EDITABLE) and on_screen(t)])[0]
        target = os.path.join(root, "grabbed")
        name.queryEditableText().setTextContents(target)
        combo = [c for c in nodes(dialog, "combo box") if nodes(c, "menu item", "TIFF file")][0]
        nodes(combo, "menu item", "TIFF file")[0].queryAction().doAction(0)
        wait_for("the TIFF filter", lambda: combo.name == "TIFF file")
        # Save, again while the dialog stays (a press right after the
        # filter's menu closes can be lost).
        save = [b for b in nodes(dialog, "push button", "Save")][0]

        def saved_file():
            if os.path.exists(target + ".tiff"):
                return True
            if [d for d in nodes(app, "file chooser")]:
                save.queryAction().doAction(0)
                time.sleep(0.5)
            return False
        wait_for("the grabbed file", saved_file, timeout=30)
        assert not os.path.exists(target), "the name without a dot was written as it was"
        saved = Image.open(target + ".tiff")
        assert saved.format == "TIFF", saved.format
        saved = saved.convert("RGB")
        sw, sh = saved.size
        assert 0 < sw <= box[2] and 0 < sh <= box[3], (saved.size, box)
        wanted = list(saved.getdata())

        # Once the dialog has gone, the view shows what was saved, from its
        # client area's corner (inside any border).
        def view_equals_file():
            shot = ImageGrab.grab()
            for dy in range(0, 4):
                for dx in range(0, 4):
                    view = shot.crop((box[0] + dx, box[1] + dy, box[0] + dx + sw, box[1] + dy + sh))
                    if list(view.getdata()) == wanted:
                        return True
            return False
        wait_for("the view equal to the grabbed file", view_equals_file)
        print("reslice page: ok")
        return 0
    finally:
        proc.terminate()
        try:
            proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
