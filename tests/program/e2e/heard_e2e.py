#!/usr/bin/python3
"""End-to-end through a real sound server: the real binary with its default
sound output, Play pressed through the accessibility bus, is heard at a private
PulseAudio's pipe sink (paced by the clock, its FIFO read as it fills, so no
frame can be missing), the demo disc's first second sample for sample from its
first sample.

Run under dbus-run-session:  heard_e2e.py VARNEL_BINARY
"""
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import main_window_e2e as e2e

SECOND = 44100 * 4  # bytes of one second of s16 stereo


class SoundServer:
    """A private PulseAudio with one pipe sink, what it renders recorded."""

    def __init__(self, folder):
        self.socket = os.path.join(folder, "native")
        conf = os.path.join(folder, "client.conf")
        with open(conf, "w") as f:
            f.write("autospawn = no\n")
        self.env = {"PULSE_SERVER": "unix:" + self.socket, "PULSE_CLIENTCONFIG": conf}
        self.fifo = os.path.join(folder, "sink.fifo")
        run = os.path.join(folder, "pulse-run")
        os.mkdir(run, 0o700)
        self.server = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--realtime=no",
             "--high-priority=no", "--load=module-native-protocol-unix auth-anonymous=1 socket=" + self.socket,
             "--load=module-pipe-sink sink_name=out file=" + self.fifo +
             " rate=44100 format=s16le channels=2 channel_map=left,right use_system_clock_for_timing=yes"],
            env=dict(os.environ, XDG_RUNTIME_DIR=run, HOME=folder), stdout=subprocess.DEVNULL,
            stderr=subprocess.PIPE)
        self.data = bytearray()
        self.recording = False
        self.fd = None

    def wait_ready(self):
        def sink():
            out = subprocess.run(["pactl", "list", "short", "sinks"], env=dict(os.environ, **self.env),
                                 capture_output=True, text=True)
            return "out" in out.stdout
        if e2e.wait_for(sink, 10):
            return ""
        self.server.kill()
        return self.server.communicate()[1].decode(errors="replace")

    def record(self):
        """Reads the sink's FIFO from now on (the sink made it once it came up)."""
        # Read and write: the FIFO never reads as ended, and opening never waits.
        self.fd = os.open(self.fifo, os.O_RDWR)

        def read():
            while self.fd is not None:
                try:
                    chunk = os.read(self.fd, 65536)
                except OSError:
                    return
                self.data += chunk
        threading.Thread(target=read, daemon=True).start()

    def stop(self):
        fd, self.fd = self.fd, None
        if self.server.poll() is None:
            self.server.terminate()
            self.server.wait()
        if fd is not None:
            os.close(fd)


def sound(data):
    """The frames that are not silence (before the stream began)."""
    frames = [bytes(data[i:i + 4]) for i in range(0, len(data) - 3, 4)]
    while frames and frames[0] == b"\0\0\0\0":
        frames.pop(0)
    return b"".join(frames)


class Heard(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="varnel-heard-")
        os.mkdir(os.path.join(self.home, "run"), 0o700)
        self.server = SoundServer(self.home)
        self.player = None

    def tearDown(self):
        if self.player and self.player.process.poll() is None:
            self.player.process.kill()
            self.player.process.wait()
        self.server.stop()
        shutil.rmtree(self.home, ignore_errors=True)

    def test_play_is_heard(self):
        why = self.server.wait_ready()
        self.assertEqual(why, "", "the private sound server did not start")
        self.player = e2e.Player(self.home, audio="", extra_env=self.server.env)
        self.assertTrue(e2e.wait_for(lambda: self.player.find("push button", "Play")), "the main window comes up")
        self.server.record()
        time.sleep(1)
        self.player.press("push button", "Play")
        self.assertTrue(e2e.wait_for(lambda: len(sound(self.server.data)) >= 2 * SECOND, 15), "sound arrives")

        with open(os.path.join(os.path.dirname(e2e.VARNEL), "share", "varnel", "demo.bin"), "rb") as f:
            raw = f.read(2 * SECOND)
        want = sound(raw)
        end = SECOND - (len(raw) - len(want))  # the end of the first second, past its leading silence
        got = sound(self.server.data)
        self.assertEqual(got[:end], want[:end], "the first second, sample for sample from the first")
        self.player.press("push button", "Stop")


if __name__ == "__main__":
    e2e.main()
