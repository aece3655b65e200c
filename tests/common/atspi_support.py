"""What the tests that drive the real program over AT-SPI share: waiting for
a condition, and finding the program's accessible application by its
process number. Importing it lets the program talk to the accessibility bus."""
import os
import time

os.environ.pop("NO_AT_BRIDGE", None)  # the program must talk to the bus
import pyatspi  # noqa: E402


def wait_for(what, condition, timeout=60.0):
    """Polls condition until it gives a true value; fails after timeout."""
    end = time.monotonic() + timeout
    last = None
    while time.monotonic() < end:
        try:
            value = condition()
        except Exception as error:  # the tree changes under us while windows come and go
            value, last = None, error
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError("timed out waiting for %s (last: %r)" % (what, last))


def find_app(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None
