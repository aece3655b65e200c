#!/usr/bin/python3
"""Starts the norvelith program as a user would and drives its task notebook
through the accessibility interface, by the tabs' labels: choosing the
Thickness task leaves only the Thickness visualisation page usable and
selected; choosing Draw makes every visualisation page usable again.

Usage (on a display of its own, with a session bus):
  with-display.sh dbus-run-session -- python3 task_tabs_atspi.py NORVELITH
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

VISUAL = ["Blank", "Ortho", "Reslice", "Volume", "Thickness"]
TASKS = ["Draw", "Fit shape model", "Landmarks", "Thickness", "Scripts"]


def tab_lists(node, found, depth=0):
    if depth > 20:
        return found
    if node.getRoleName() == "page tab list":
        found.append(node)
    for i in range(node.childCount):
        tab_lists(node.getChildAtIndex(i), found, depth + 1)
    return found


def labels(tab_list):
    return [tab_list.getChildAtIndex(i).name for i in range(tab_list.childCount)]


def notebooks(app):
    """The task and visualisation tab lists, told apart by their labels."""
    lists = tab_lists(app, [])
    tasks = [t for t in lists if labels(t)[:len(TASKS)] == TASKS]
    visual = [t for t in lists if labels(t)[:len(VISUAL)] == VISUAL]
    if len(tasks) == 1 and len(visual) == 1:
        return tasks[0], visual[0]
    return None


def usable(tab):
    """A page is usable when its contents are sensitive."""
    page = tab.getChildAtIndex(0)
    return page.getState().contains(pyatspi.STATE_SENSITIVE)


def state(visual):
    tabs = [visual.getChildAtIndex(i) for i in range(visual.childCount)]
    return ([usable(t) for t in tabs],
            [t.name for t in tabs if t.getState().contains(pyatspi.STATE_SELECTED)])


def choose(tasks, label):
    index = labels(tasks).index(label)
    assert tasks.querySelection().selectChild(index), "cannot choose " + label


def main(program):
    root = tempfile.mkdtemp(prefix="nv_atspi_")
    os.makedirs(os.path.join(root, "cfg"))
    # The accessibility bus and its registry first, so that the program finds
    # them when it starts.
    wait_for("the accessibility registry", lambda: pyatspi.Registry.getDesktop(0) is not None)
    env = dict(os.environ, HOME=root, XDG_CONFIG_HOME=os.path.join(root, "xdg"),
               NV_LOG_TO_STDERR="1")
    proc = subprocess.Popen([program, "dir=" + os.path.join(root, "cfg")], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        app = wait_for("the program on the accessibility bus", lambda: find_app(proc.pid))
        tasks, visual = wait_for("the two notebooks", lambda: notebooks(app))
        every = [True] * visual.childCount
        wait_for("every page usable at start", lambda: state(visual)[0] == every)

        choose(tasks, "Thickness")
        only_thickness = [name == "Thickness" for name in labels(visual)]
        wait_for("only the Thickness page usable",
                 lambda: state(visual) == (only_thickness, ["Thickness"]) or print(state(visual)))

        choose(tasks, "Draw")
        wait_for("every page usable again",
                 lambda: state(visual) == (every, ["Thickness"]) or print(state(visual)))
        print("task tabs: ok")
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
