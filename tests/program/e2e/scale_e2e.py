#!/usr/bin/python3
"""End-to-end: one scale for the whole window. The real binary under a private X
server at the scales desktops ask for, with and without a window manager: the main
window and both dialogs are the 96-dpi layout times the scale, and every button lies
inside its window.

Run under dbus-run-session:  scale_e2e.py VARNEL_BINARY
With VARNEL_SCREENSHOTS=DIR, a screenshot of each scale is left in DIR.
"""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

import pyatspi

import main_window_e2e as e2e
from main_window_e2e import wait_for, walk

# What the desktop says, and the scale it means.
SCALES = [
    ("Xft.dpi 120", {"xft": 120}, 1.25),
    ("Xft.dpi 144", {"xft": 144}, 1.5),
    ("Xft.dpi 192", {"xft": 192}, 2.0),
    ("QT_SCALE_FACTOR 1.5", {"env": {"QT_SCALE_FACTOR": "1.5"}}, 1.5),
    ("QT_SCALE_FACTOR 2", {"env": {"QT_SCALE_FACTOR": "2"}}, 2.0),
    ("QT_SCREEN_SCALE_FACTORS 1.5", {"env": {"QT_SCREEN_SCALE_FACTORS": "1.5"}}, 1.5),
]
# The roles whose places the layout decides.
ROLES = {"push button", "label", "slider", "tree", "text", "combo box", "list", "status bar", "page tab list"}
# A rectangle's edges each round on their own at a fractional scale.
SLACK = 2
# A placement wide enough for the template's buttons: the stored defaults are
# narrower than the template at any scale, 96 dpi included.
PLACEMENT = "[Varnel]\r\nLeft=200\r\nTop=160\r\nWidth=540\r\nHeight=420\r\n"


def x11_size(display, title):
    """The outer size in the X server's own pixels of the top-level window of that title."""
    out = subprocess.run(["xwininfo", "-display", display, "-name", title], capture_output=True, text=True).stdout
    fields = dict(line.strip().split(":", 1) for line in out.splitlines() if ":" in line)
    return int(fields["Width"]), int(fields["Height"])


def settled(read, tries=20):
    """What `read` returns once two reads in a row agree: a window that has just
    come up may still be moving its children."""
    last = read()
    for _ in range(tries):
        time.sleep(0.2)
        now = read()
        if now == last:
            return now
        last = now
    return last


def layout(window):
    """Each control of a window: (role, n-th of that role) -> its rectangle from the
    window's own corner, as the accessibility bus reports it."""
    origin = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    seen = {}
    places = {}
    for acc in walk(window):
        role = acc.getRoleName()
        if role not in ROLES:
            continue
        e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if e.width <= 0 or e.height <= 0:
            continue
        n = seen[role] = seen.get(role, -1) + 1
        places[(role, n, acc.name if role == "push button" else "")] = (e.x - origin.x, e.y - origin.y, e.width,
                                                                         e.height)
    return (origin.width, origin.height), places


class Scale(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="varnel-scale-")
        os.mkdir(os.path.join(self.home, "run"), 0o700)
        self.env = dict(os.environ, DISPLAY=e2e.DISPLAY)
        self.processes = []

    def tearDown(self):
        for p in self.processes:
            if p.poll() is None:
                p.kill()
                p.wait()
        self.resources("")
        shutil.rmtree(self.home, ignore_errors=True)

    def resources(self, text):
        subprocess.run(["xrdb", "-nocpp", "-load", "-"], input=text, text=True, env=self.env, check=True)

    def measure(self, how):
        """The main window and both dialogs as the program shows them, the desktop
        asking for a scale as `how` says."""
        self.resources("Xft.dpi: %d\n" % how["xft"] if "xft" in how else "")
        config = os.path.join(self.home, ".config", "varnel")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "Ostrovane.ini"), "w", newline="") as f:
            f.write(PLACEMENT)
        player = e2e.Player(self.home, extra_env=how.get("env"))
        self.processes.append(player.process)
        # Seven starts in a row on a busy machine: the accessibility bus may be slow to list one.
        self.assertTrue(wait_for(player.window, 60), "the main window comes up (exit %s)" % player.process.poll())
        wait_for(player.rows)
        windows = {"Varnel": settled(lambda: layout(player.window()))}
        pixels = {"Varnel": x11_size(e2e.DISPLAY, "Varnel")}
        shot = os.environ.get("VARNEL_SCREENSHOTS")
        if shot:
            subprocess.run(["import", "-window", "root", os.path.join(shot, "%s-main.png" % self.id_for(how))],
                           env=self.env, check=True)
        for item, title in (("Song List...", "List Editor"), ("Drive...", "Drive")):
            player.press("menu item", item)
            dialog = wait_for(lambda: player.within(title))
            self.assertTrue(dialog, title + " comes up")
            windows[title] = settled(lambda: layout(player.within(title)))
            pixels[title] = x11_size(e2e.DISPLAY, title)
            if shot and title == "List Editor":
                subprocess.run(["import", "-window", "root", os.path.join(shot, "%s-editor.png" % self.id_for(how))],
                               env=self.env, check=True)
            self.assertTrue(e2e.close_box(title))
            self.assertTrue(wait_for(lambda: not player.within(title), 10), title + " closes")
        e2e.MainWindow.exit(self, player)
        return windows, pixels

    def id_for(self, how):
        return "-".join("%s%s" % (k, v) for k, v in sorted(how.get("env", {}).items())) or "xft%d" % how.get("xft", 96)

    def table(self, frame=0):
        """The scale table. `frame` is how far a window manager's frame, drawn in
        the screen's own pixels, may make a sizeable window's client area differ."""
        base, base_pixels = self.measure({"xft": 96})
        for title, (size, places) in base.items():
            self.assertTrue(places, title + " has controls")
            self.assertEqual(base_pixels[title], size, title + ": one pixel is one pixel at 96 dpi")
        self.buttons_inside(base)
        for name, how, scale in SCALES:
            with self.subTest(name):
                windows, pixels = self.measure(how)
                self.buttons_inside(windows)
                for title, (size, places) in windows.items():
                    base_size, base_places = base[title]
                    # The program's own pixels are those of 96 dpi ...
                    slack = SLACK + (frame if title == "Varnel" else 0)
                    for got, want in zip(size, base_size):
                        self.assertLessEqual(abs(got - want), slack, "%s: %s, at 96 dpi %s" % (title, size, base_size))
                    self.assertEqual(places.keys(), base_places.keys(), title)
                    for key, rect in places.items():
                        for got, want in zip(rect, base_places[key]):
                            self.assertLessEqual(abs(got - want), slack, "%s %s: %s, at 96 dpi %s" % (
                                title, key, rect, base_places[key]))
                    # ... and the screen shows them, the window as a whole, times the scale.
                    for got, want in zip(pixels[title], size):
                        self.assertLessEqual(abs(got - want * scale), SLACK * scale, "%s: %s pixels for %s at %s" % (
                            title, pixels[title], size, scale))

    def buttons_inside(self, windows):
        for title, (size, places) in windows.items():
            for key, (x, y, w, h) in places.items():
                if key[0] == "push button":
                    self.assertTrue(x >= 0 and y >= 0 and x + w <= size[0] and y + h <= size[1],
                                    "%s %s at %s lies inside %s" % (title, key, (x, y, w, h), size))

    def test_without_a_window_manager(self):
        self.table()

    def test_with_a_window_manager(self):
        wm = e2e.start_window_manager(self.env)
        self.assertIsNotNone(wm, "openbox runs")
        self.processes.append(wm)
        # openbox's frame: a few pixels of border and a title bar.
        self.table(frame=16)


if __name__ == "__main__":
    e2e.main(screen="2560x1600x24")
