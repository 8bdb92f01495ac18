#!/usr/bin/python3
"""End-to-end: the display the program starts on. An X server that answers is
used; where none does, a Wayland compositor (weston's headless backend); where
neither does, one line on standard error and exit 1. Under Wayland the stored
size comes back at exit as it was read, and one instance serves the session; a
second start's launch token reaches the first.

Run under dbus-run-session:  platform_e2e.py VARNEL_BINARY
"""
import os
import shutil
import subprocess
import tempfile
import unittest

import main_window_e2e as e2e
from main_window_e2e import wait_for

DEAD_DISPLAY = ":97"  # nothing listens there: the test makes sure of it
STORED = [("Top", "90"), ("Left", "120"), ("Width", "450"), ("Height", "420")]


class Platform(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="varnel-platform-")
        self.run_dir = os.path.join(self.home, "run")
        os.mkdir(self.run_dir, 0o700)
        self.processes = []
        self.assertFalse(os.path.exists("/tmp/.X11-unix/X97"), "display :97 is free")

    def tearDown(self):
        for p in self.processes:
            if p.poll() is None:
                p.kill()
                p.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    def compositor(self):
        """weston, headless, on a socket in the test's runtime folder; its name."""
        name = "wayland-varnel"
        weston = subprocess.Popen(["weston", "--backend=headless-backend.so", "--socket=" + name, "--idle-time=0",
                                   "--width=1024", "--height=768"],
                                  env=dict(os.environ, XDG_RUNTIME_DIR=self.run_dir),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(weston)
        self.assertTrue(wait_for(lambda: weston.poll() is not None or os.path.exists(os.path.join(self.run_dir, name)),
                                 10), "weston comes up")
        self.assertIsNone(weston.poll(), "weston runs")
        return name

    def start(self, **env):
        player = e2e.Player(self.home, extra_env=env)
        self.processes.append(player.process)
        return player

    def ini(self):
        with open(os.path.join(self.home, ".config", "varnel", "Ostrovane.ini"), newline="") as f:
            return [tuple(line.rstrip("\r\n").split("=", 1)) for line in f if "=" in line]

    def test_a_dead_x_server_under_a_compositor_shows_the_window_on_wayland(self):
        os.makedirs(os.path.join(self.home, ".config", "varnel"))
        with open(os.path.join(self.home, ".config", "varnel", "Ostrovane.ini"), "w", newline="") as f:
            f.write("[Varnel]\r\n" + "".join("%s=%s\r\n" % kv for kv in STORED))
        wayland = self.compositor()
        first = self.start(DISPLAY=DEAD_DISPLAY, WAYLAND_DISPLAY=wayland, QT_QPA_PLATFORM=None)
        self.assertTrue(wait_for(first.window), "the main window comes up")
        self.assertTrue(wait_for(first.rows), "and shows the demo disc")
        # The same session without the X display's name: the first copy serves it.
        second = self.start(DISPLAY=None, WAYLAND_DISPLAY=wayland, QT_QPA_PLATFORM=None)
        self.assertEqual(second.wait(), 0)
        self.assertIsNone(first.process.poll(), "the first copy runs on")
        e2e.MainWindow.exit(self, first)
        self.assertEqual(self.ini()[:4], STORED, "what was read is what is written back")

    def test_a_second_start_hands_its_startup_id_to_the_first(self):
        # As a launcher starts a program on X11: the second copy's startup id goes
        # on the first copy's window, which the window manager then raises.
        first = self.start()
        self.assertTrue(wait_for(first.window), "the main window comes up")
        second = self.start(DESKTOP_STARTUP_ID="launcher-42_TIME1234")
        self.assertEqual(second.wait(), 0)
        done = subprocess.run(["xprop", "-display", e2e.DISPLAY, "-name", "Varnel", "_NET_STARTUP_ID"],
                              capture_output=True, text=True)
        self.assertIn('"launcher-42_TIME1234"', done.stdout)
        e2e.MainWindow.exit(self, first)

    def test_no_display_at_all_says_so_in_one_line(self):
        none = "no Wayland compositor answers on "
        cases = [
            ("nothing set", {}, "DISPLAY is not set; " + none + "wayland-0"),
            ("a dead X server alone", {"DISPLAY": DEAD_DISPLAY},
             "no X server answers on DISPLAY=%s; %swayland-0" % (DEAD_DISPLAY, none)),
            ("both named, neither there", {"DISPLAY": DEAD_DISPLAY, "WAYLAND_DISPLAY": "wayland-none"},
             "no X server answers on DISPLAY=%s; %swayland-none" % (DEAD_DISPLAY, none)),
            ("xcb asked for by name", {"DISPLAY": DEAD_DISPLAY, "QT_QPA_PLATFORM": "xcb"},
             "no X server answers on DISPLAY=%s" % DEAD_DISPLAY),
            ("wayland asked for by name", {"QT_QPA_PLATFORM": "wayland"}, none + "wayland-0"),
        ]
        for name, extra, why in cases:
            with self.subTest(name):
                env = dict(os.environ, HOME=self.home, XDG_RUNTIME_DIR=self.run_dir)
                for variable in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
                    env.pop(variable, None)
                env.update(extra)
                done = subprocess.run([e2e.VARNEL], env=env, capture_output=True, text=True, timeout=30)
                self.assertEqual(done.returncode, 1, "exit 1, no abort")
                self.assertEqual(done.stdout, "")
                self.assertEqual(done.stderr, "varnel: cannot open a window: %s\n" % why)


if __name__ == "__main__":
    e2e.main()
