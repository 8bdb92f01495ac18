#!/usr/bin/python3
"""End-to-end: the desktop's media controls drive the real binary on the demo
disc through its MPRIS2 player on the session bus, with the tools a user has
(playerctl, dbus-send, dbus-monitor); the window is read through AT-SPI.

Run under dbus-run-session:  mpris_e2e.py VARNEL_BINARY
"""
import os
import shutil
import subprocess
import tempfile
import unittest

import main_window_e2e as e2e
from main_window_e2e import wait_for

BUS_NAME = "org.mpris.MediaPlayer2.varnel"


def playerctl(*args):
    done = subprocess.run(["playerctl"] + list(args), capture_output=True, text=True, timeout=10)
    return done.stdout.strip()


def bus_call(dest, path, method, *args):
    done = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=" + dest, path, method] + list(args),
                          capture_output=True, text=True, timeout=10)
    return done.stdout


def root_property(dest, name):
    return bus_call(dest, "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties.Get",
                    "string:org.mpris.MediaPlayer2", "string:" + name)


def owner_pid(name):
    reply = bus_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                     "org.freedesktop.DBus.GetConnectionUnixProcessID", "string:" + name)
    words = reply.split()
    return int(words[-1]) if words and words[-2] == "uint32" else None


class MediaControls(unittest.TestCase):
    def setUp(self):
        self.homes = []
        self.players = []
        self.monitor_log = tempfile.NamedTemporaryFile("w+", prefix="varnel-signals-")
        self.monitor = subprocess.Popen(
            ["dbus-monitor", "--session",
             "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged'"],
            stdout=self.monitor_log, stderr=subprocess.DEVNULL)

    def tearDown(self):
        for p in self.players:
            if p.process.poll() is None:
                p.process.kill()
                p.process.wait()
        self.monitor.terminate()
        self.monitor.wait()
        self.monitor_log.close()
        for home in self.homes:
            shutil.rmtree(home, ignore_errors=True)

    def start(self):
        """A player in a home of its own: each is the first copy on its own rendezvous."""
        home = tempfile.mkdtemp(prefix="varnel-mpris-")
        os.mkdir(os.path.join(home, "run"), 0o700)
        self.homes.append(home)
        player = e2e.Player(home)
        self.players.append(player)
        if not wait_for(player.window):
            self.fail("the main window comes up: " + player.report())
        self.assertTrue(wait_for(player.rows), "the demo disc is shown")
        return player

    def status_bar(self, player, text):
        return wait_for(lambda: any(label.startswith(text) for label in player.labels()), 12)

    def signals(self):
        self.monitor_log.seek(0)
        return self.monitor_log.read()

    def test_playerctl_drives_the_demo_disc(self):
        player = self.start()
        self.assertTrue(wait_for(lambda: "varnel" in playerctl("-l").split()), playerctl("-l"))
        self.assertIn('string "org.varnel.Varnel"', root_property(BUS_NAME, "DesktopEntry"))
        self.assertIn('string "Varnel"', root_property(BUS_NAME, "Identity"))
        self.assertEqual(playerctl("-p", "varnel", "status"), "Stopped")

        playerctl("-p", "varnel", "play-pause")
        self.assertTrue(wait_for(lambda: player.find("push button", "Stop")), "Play becomes Stop")
        self.assertTrue(self.status_bar(player, "playing, track 1"), player.labels())
        self.assertEqual(playerctl("-p", "varnel", "status"), "Playing")
        self.assertTrue(wait_for(lambda: "PlaybackStatus" in self.signals() and '"Playing"' in self.signals(), 5),
                        "PropertiesChanged tells of the play")

        playerctl("-p", "varnel", "next")
        self.assertTrue(wait_for(lambda: playerctl("-p", "varnel", "metadata", "xesam:trackNumber") == "2", 10))
        self.assertEqual(playerctl("-p", "varnel", "metadata", "xesam:title"), "Track 2")
        self.assertTrue(self.status_bar(player, "playing, track 2"), player.labels())

        playerctl("-p", "varnel", "pause")
        self.assertTrue(wait_for(lambda: player.find("push button", "Resume")), "Pause becomes Resume")
        self.assertTrue(wait_for(lambda: playerctl("-p", "varnel", "status") == "Paused", 5))

        playerctl("-p", "varnel", "stop")
        self.assertTrue(wait_for(lambda: player.find("push button", "Play")), "Stop becomes Play")
        self.assertTrue(wait_for(lambda: playerctl("-p", "varnel", "status") == "Stopped", 5))
        e2e.MainWindow.exit(self, player)

    def test_a_second_player_cannot_take_the_name(self):
        first = self.start()
        self.assertTrue(wait_for(lambda: owner_pid(BUS_NAME) == first.process.pid))
        second = self.start()
        own = "varnel.instance%d" % second.process.pid
        self.assertTrue(wait_for(lambda: own in playerctl("-l").split()), playerctl("-l"))
        self.assertEqual(owner_pid(BUS_NAME), first.process.pid, "the first keeps the plain name")

        # The root interface's Quit closes the main window: the program exits as from its menu.
        bus_call("org.mpris.MediaPlayer2." + own, "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Quit")
        self.assertEqual(second.wait(), 0)
        self.assertIsNone(first.process.poll(), "the first plays on")
        e2e.MainWindow.exit(self, first)


if __name__ == "__main__":
    e2e.main()
