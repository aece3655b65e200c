#!/usr/bin/python3
"""Starts the norvelith program as a user would and drives its settings
dialogs through the accessibility interface, by the controls' labels:

- a background colour typed into the colour chooser of "Graphics and
  display" fills the 3D view on the screen and is in norvelith.ini after
  quitting;
- a scroll zoom set in "Mouse and key presses" is in norvelith.ini after
  quitting, and the dialog shows it again after a restart with the same
  "dir=".

Usage (on a display of its own, with a session bus):
  with-display.sh dbus-run-session -- python3 settings_atspi.py NORVELITH
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
from atspi_support import find_app, wait_for  # noqa: E402
import pyatspi  # noqa: E402
from PIL import ImageGrab  # noqa: E402

PICKED = (0x12, 0xAB, 0x34)


def find(node, test, depth=0):
    """The first node below node, depth first, that passes test."""
    if node is None or depth > 30:
        return None
    if test(node):
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), test, depth + 1)
        if found is not None:
            return found
    return None


def named(role, name):
    return lambda n: n.getRoleName() == role and n.name == name


def act(node, action):
    a = node.queryAction()
    for i in range(a.nActions):
        if a.getName(i) == action:
            return a.doAction(i)
    raise AssertionError("%s '%s' has no action %s" % (node.getRoleName(), node.name, action))


def top_window(app, role, name):
    return find(app, named(role, name), 28)


class Program:
    def __init__(self, executable, cfg, home):
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "xdg"))
        self.proc = subprocess.Popen([executable, "dir=" + cfg], env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.app = wait_for("the program on the accessibility bus", lambda: find_app(self.proc.pid))

    def menu(self, label):
        item = wait_for("menu item " + label,
                        lambda: find(self.app, lambda n: n.getRoleName() == "menu item" and
                                     n.name.replace("_", "").startswith(label)))
        act(item, "click")

    def dialog(self, title):
        return wait_for(title, lambda: top_window(self.app, "frame", title) or top_window(self.app, "dialog", title))

    def quit(self):
        self.menu("Quit")
        assert self.proc.wait(timeout=60) == 0, "the program did not end cleanly"

    def kill(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def picked_pixels():
    """How many screen pixels show exactly the picked colour."""
    image = ImageGrab.grab().convert("RGB")
    return sum(1 for p in image.getdata() if p == PICKED)


def config_lines(cfg):
    with open(os.path.join(cfg, "norvelith.ini"), encoding="utf-8") as f:
        return [line.strip() for line in f]


def pick_background(program):
    program.menu("Graphics and display")
    graphics = program.dialog("Graphics and display:")
    uniform = wait_for("uniform", lambda: find(graphics, named("check box", "uniform")))
    if not uniform.getState().contains(pyatspi.STATE_CHECKED):
        act(uniform, "click")
    wait_for("uniform ticked", lambda: uniform.getState().contains(pyatspi.STATE_CHECKED))
    before = picked_pixels()
    button = find(graphics, lambda n: n.getRoleName() == "push button")
    act(button, "click")
    chooser = wait_for("the colour chooser", lambda: top_window(program.app, "dialog", "Pick a Color"))
    act(find(chooser, named("push button", "Custom color")), "activate")
    entry = wait_for("the colour name field", lambda: find(chooser, named("text", "Color Name")))
    entry.queryEditableText().setTextContents("#12AB34")
    act(entry, "activate")
    act(wait_for("Select", lambda: find(chooser, named("push button", "Select"))), "click")
    # The 3D view's background: far more pixels of the colour than before.
    wait_for("the 3D view in the picked colour", lambda: picked_pixels() > before + 20000)


def set_scroll_zoom(program, value):
    program.menu("Mouse and keys")
    mouse = program.dialog("Mouse and key presses:")
    label = wait_for("the scroll zoom row", lambda: find(mouse, named("label", "Scroll zoom (centile):")))
    sliders = []
    find(mouse, lambda n: n.getRoleName() == "slider" and sliders.append(n) and False)
    # The rows in order: selection range, rotation, move, scroll zoom.
    assert len(sliders) == 4 and label is not None, sliders
    if value is not None:
        sliders[3].queryValue().currentValue = value
    return sliders[3]


def main(executable):
    root = tempfile.mkdtemp(prefix="nv_settings_atspi_")
    cfg, home = os.path.join(root, "cfg"), os.path.join(root, "home")
    os.makedirs(cfg)
    os.makedirs(home)
    wait_for("the accessibility registry", lambda: pyatspi.Registry.getDesktop(0) is not None)
    program = None
    try:
        program = Program(executable, cfg, home)
        pick_background(program)
        set_scroll_zoom(program, 17)
        program.quit()
        lines = config_lines(cfg)
        assert "RES_BACKGROUND=#12AB34" in lines, lines
        assert "RES_SCROLL_ZOOM=17" in lines, lines

        program = Program(executable, cfg, home)
        slider = set_scroll_zoom(program, None)
        wait_for("the scroll zoom shown again", lambda: slider.queryValue().currentValue == 17)
        program.quit()
        print("settings dialogs: ok")
        return 0
    finally:
        if program is not None:
            program.kill()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
