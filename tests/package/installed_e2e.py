#!/usr/bin/python3
"""The installed program as a newcomer meets it: started from a fresh HOME under a
private X server with an option it does not know, its main window comes up matched to
its desktop entry and shows the demo disc from the installed share folder; Exit ends it.

Run under dbus-run-session:  installed_e2e.py /usr/bin/varnel APP_ID
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "program", "e2e"))
import main_window_e2e as e2e  # noqa: E402


def check(condition, what):
    if not condition:
        sys.exit("installed program: " + what)


def main():
    e2e.VARNEL, app_id = sys.argv[1], sys.argv[2]
    prefix = os.path.dirname(os.path.dirname(e2e.VARNEL))
    identity, _, tracks = e2e.demo_disc(os.path.join(prefix, "share", "varnel", "demo.cue"))
    xvfb, e2e.DISPLAY = e2e.start_xvfb()
    home = tempfile.mkdtemp(prefix="varnel-installed-")
    os.mkdir(os.path.join(home, "run"), 0o700)
    player = None
    runtime = None
    try:
        runtime = e2e.start_accessibility_bus()
        player = e2e.Player(home, args=["--no-such-option"])
        check(e2e.wait_for(player.window, 60), "no main window came up")
        rows = e2e.wait_for(lambda: len(player.rows()) == tracks and player.rows())
        check(rows, "the demo disc's %d tracks are not shown: %s" % (tracks, player.rows()))
        check(identity in player.labels(), "the demo disc's identity %s is not shown" % identity)
        # The shell matches a window to the desktop entry by its WM_CLASS.
        tree = subprocess.run(["xwininfo", "-display", e2e.DISPLAY, "-root", "-tree"],
                              check=True, capture_output=True, text=True).stdout
        check('"Varnel": ("varnel" "%s")' % app_id in tree, "the main window's WM_CLASS is not the id:\n" + tree)
        player.press("menu item", "Exit")
        check(player.wait() == 0, "Exit did not end the program with 0")
        print("installed program: main window showed the demo disc (%d tracks, %s)" % (tracks, identity))
    finally:
        if player and player.process.poll() is None:
            player.process.kill()
            player.process.wait()
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(home, ignore_errors=True)
        if runtime:
            shutil.rmtree(runtime, ignore_errors=True)


if __name__ == "__main__":
    main()
