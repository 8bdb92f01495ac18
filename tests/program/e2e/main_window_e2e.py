#!/usr/bin/python3
"""End-to-end: the real binary under a private X server and HOME, read and
pressed through the accessibility bus as a user's assistive tool would.

Run under dbus-run-session:  main_window_e2e.py VARNEL_BINARY
"""
import ctypes
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import warnings

warnings.simplefilter("ignore", DeprecationWarning)
import pyatspi  # noqa: E402

VARNEL = None
DISPLAY = None
DEMO_ID = None
DEMO_TIMES = None
DEMO_TRACKS = None


def demo_disc(cue):
    """The demo disc's identity, its first track lengths and its number of tracks, from
    its cue sheet."""
    starts = []
    with open(cue) as f:
        for line in f:
            m = re.match(r"\s*INDEX 01 (\d+):(\d+):(\d+)", line)
            if m:
                mm, ss, ff = map(int, m.groups())
                starts.append(150 + (mm * 60 + ss) * 75 + ff)  # the 2-second lead-in
    identity = sum((s // 4500) << 16 | (s // 75 % 60) << 8 | (s % 75) for s in starts) & 0xFFFFFFFF
    times = ["%02d:%02d" % ((b - a) // 4500, (b - a) // 75 % 60) for a, b in zip(starts, starts[1:])]
    return "%X" % identity, times, len(starts)


def wait_for(what, timeout=20.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = what()
        if value:
            return value
        time.sleep(0.1)
    return what()


def walk(acc):
    yield acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def close_box(title):
    """What a window manager's close box does: WM_DELETE_WINDOW to the top-level
    window of that title."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                               ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                               ctypes.POINTER(ctypes.c_uint)]
    x11.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]

    def windows(display, parent_window):
        """Every window under parent_window: a window manager puts its clients in frames."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        x11.XQueryTree(display, parent_window, ctypes.byref(root), ctypes.byref(parent), ctypes.byref(children),
                       ctypes.byref(count))
        for i in range(count.value):
            yield children[i]
            yield from windows(display, children[i])

    display = x11.XOpenDisplay(DISPLAY.encode())
    try:
        for window in windows(display, x11.XDefaultRootWindow(display)):
            name = ctypes.c_char_p()
            if x11.XFetchName(display, window, ctypes.byref(name)) and name.value == title.encode():
                event = ClientMessage(type=33, send_event=1, window=window, format=32)  # ClientMessage
                event.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
                event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
                x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
                x11.XFlush(display)
                return True
        return False
    finally:
        x11.XCloseDisplay(display)


def start_xvfb(screen="1024x768x24"):
    """A private X server on a free display: the process and its display name. It
    keeps what is set on it (resources, properties) when its last client leaves."""
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", screen, "-nolisten", "tcp",
                             "-noreset"],
                            pass_fds=[write_fd], stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        return xvfb, ":" + f.readline().strip()


def start_accessibility_bus():
    """Brings up the session's accessibility bus and registry in a runtime folder of
    their own. Without one the bus launcher puts its socket in ~/.cache/at-spi/bus,
    which every other session of the same user on the machine replaces: programs
    started after that never reach the registry. The folder, to remove at the end."""
    runtime = tempfile.mkdtemp(prefix="varnel-a11y-")
    subprocess.run(["dbus-update-activation-environment", "XDG_RUNTIME_DIR=" + runtime], check=True)
    pyatspi.Registry.getDesktop(0)
    return runtime


def start_window_manager(env):
    """openbox on env's display, once it has named itself on the root window as a
    running window manager does; None when it does not come up."""
    wm = subprocess.Popen(["openbox", "--sm-disable"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if wait_for(lambda: wm.poll() is not None or "window id" in subprocess.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env, capture_output=True, text=True).stdout, 10) \
            and wm.poll() is None:
        return wm
    wm.kill()
    wm.wait()
    return None


class Player:
    def __init__(self, home, audio="null", extra_env=None, args=()):
        self.home = home
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_RUNTIME_DIR=os.path.join(home, "run"), DISPLAY=DISPLAY, QT_QPA_PLATFORM="xcb",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", WINSHIM_AUDIO=audio)
        # A desktop session of the test's own: none of the caller's compositor.
        env.pop("WAYLAND_DISPLAY", None)
        # extra_env adds or replaces variables; None takes one out.
        for name, value in (extra_env or {}).items():
            if value is None:
                env.pop(name, None)
            else:
                env[name] = value
        # Leaks are the in-process tests' business; here only the exit code counts.
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
        env.pop("WINSHIM_DEBUG", None)
        self.env = env
        self.process = subprocess.Popen([VARNEL, *args], env=env)

    def app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            a = desktop.getChildAtIndex(i)
            if a is not None and a.get_process_id() == self.process.pid:
                return a
        return None

    def find(self, role, name=None):
        app = self.app()
        if app is None:
            return []
        return [a for a in walk(app) if a.getRoleName() == role and (name is None or a.name == name)]

    def window(self):
        frames = self.find("filler", "Varnel")
        return frames[0] if frames else None

    def rows(self):
        trees = self.find("tree")
        if not trees:
            return []
        cells = [c.name for c in walk(trees[0]) if c.getRoleName() == "table cell"]
        return [cells[i:i + 3] for i in range(0, len(cells), 3)]

    def column_widths(self):
        trees = self.find("tree")
        headers = [c for c in walk(trees[0]) if c.getRoleName() == "table column header"]
        return [h.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).width for h in headers]

    def within(self, name):
        """The top-level window of that title, or None."""
        app = self.app()
        if app is None:
            return None
        for i in range(app.childCount):
            child = app.getChildAtIndex(i)
            if child is not None and child.name == name:
                return child
        return None

    def labels(self):
        return [a.name for a in self.find("label")]

    def press(self, role, name):
        item = self.find(role, name)[0]
        item.queryAction().doAction(0)

    def wait(self, timeout=20):
        return self.process.wait(timeout)


class MainWindow(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="varnel-e2e-")
        os.mkdir(os.path.join(self.home, "run"), 0o700)
        self.players = []

    def tearDown(self):
        for p in self.players:
            if p.process.poll() is None:
                p.process.kill()
                p.process.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    def start(self):
        player = Player(self.home)
        self.players.append(player)
        self.assertTrue(wait_for(player.window), "the main window comes up")
        return player

    def ini(self):
        path = os.path.join(self.home, ".config", "varnel", "Ostrovane.ini")
        if not os.path.exists(path):
            return []
        with open(path, newline="") as f:
            return [tuple(line.rstrip("\r\n").split("=", 1)) for line in f if "=" in line]

    def exit(self, player):
        player.press("menu item", "Exit")
        self.assertEqual(player.wait(), 0)

    def test_first_start_shows_the_demo_disc_and_exit_saves(self):
        player = self.start()
        e = player.window().queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.assertEqual((e.x, e.y, e.width, e.height), (200, 160, 400, 400))
        self.assertEqual(player.column_widths(), [85, 245, 80])
        rows = wait_for(player.rows)
        self.assertEqual(len(rows), DEMO_TRACKS)
        for n, row in enumerate(rows):
            self.assertEqual(row[:2], ["Track %d" % (n + 1), "Unknown"])
            self.assertRegex(row[2], r"^\d\d:\d\d$")
        self.assertEqual([r[2] for r in rows[:len(DEMO_TIMES)]], DEMO_TIMES)
        self.assertIn(DEMO_ID, player.labels())
        self.assertIn("Disc Inserted", player.labels(), "status bar part 0")
        self.exit(player)
        self.assertEqual(self.ini(), [("Top", "160"), ("Left", "200"), ("Width", "400"), ("Height", "400"),
                                      ("Column1", "85"), ("Column2", "245"), ("Column3", "80")])

        # The next start comes back as stored.
        with open(os.path.join(self.home, ".config", "varnel", "Ostrovane.ini"), "w", newline="") as f:
            f.write("[Varnel]\r\nTop=90\r\nLeft=120\r\nWidth=450\r\nHeight=420\r\n"
                    "Column1=60\r\nColumn2=200\r\nColumn3=70\r\n")
        player = self.start()
        e = player.window().queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.assertEqual((e.x, e.y, e.width, e.height), (120, 90, 450, 420))
        self.assertEqual(player.column_widths(), [60, 200, 70])
        self.exit(player)

    def test_fields_read_with_their_labels(self):
        player = self.start()
        wait_for(player.rows)

        def labelled_by(acc):
            return [r.getTarget(0).name for r in acc.getRelationSet()
                    if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]

        disc_id = [a for a in player.find("label") if a.name == DEMO_ID]
        self.assertEqual(len(disc_id), 1)
        self.assertEqual(labelled_by(disc_id[0]), ["Disc ID:"])
        # The composer and album fields are empty here; their labels tell them apart.
        by = [labelled_by(a) for a in player.find("label")]
        self.assertEqual(by.count(["Composer"]), 1, by)
        self.assertEqual(by.count(["Title:"]), 1, by)
        self.assertEqual([a.name for a in player.find("slider")], ["Position"])
        self.exit(player)

    def test_second_start_hands_over(self):
        first = self.start()
        wait_for(first.rows)
        second = Player(self.home)
        self.players.append(second)
        self.assertEqual(second.wait(), 0)
        self.assertIsNone(first.process.poll(), "the first copy runs on")
        self.assertEqual(self.ini(), [], "the second copy wrote no settings")
        self.exit(first)

    def test_leaving_in_an_icon_view_keeps_the_column_keys(self):
        player = self.start()
        player.press("menu item", "Large Icons")
        self.exit(player)
        self.assertEqual([k for k, _ in self.ini()], ["Top", "Left", "Width", "Height"])

    def test_track_list_file_names_the_disc(self):
        folder = os.path.join(self.home, ".config", "varnel", "CD Track Lists")
        os.makedirs(folder)
        with open(os.path.join(folder, DEMO_ID), "wb") as f:
            f.write(b"Ada Composer\r\nFirst Album\r\nOpening\r\nSecond Song\r\n")
        player = self.start()
        rows = wait_for(player.rows)
        self.assertEqual([r[1] for r in rows[:3]], ["Opening", "Second Song", "Unknown"])
        labels = [l.strip() for l in player.labels()]
        self.assertIn("Ada Composer", labels)
        self.assertIn("First Album", labels)
        self.exit(player)

    def test_transport_follows_the_demo_disc(self):
        player = self.start()
        wait_for(player.rows)

        def status_starts(text):
            return wait_for(lambda: any(l.startswith(text) for l in player.labels()), 12)

        def thumb():
            return player.find("slider")[0].queryValue().currentValue

        def rows_now():
            # Rows that go while they are read are gone from the bus as well.
            try:
                return player.rows()
            except Exception:
                return None

        player.press("push button", "Play")
        self.assertTrue(wait_for(lambda: player.find("push button", "Stop")), "Play becomes Stop")
        self.assertTrue(status_starts("playing, track 1"), player.labels())
        self.assertTrue(wait_for(lambda: thumb() > 0, 8), "the slider follows the track")

        player.press("push button", "Pause")
        self.assertTrue(wait_for(lambda: player.find("push button", "Resume")))
        self.assertTrue(status_starts("paused, track 1"), player.labels())
        player.press("push button", "Resume")
        self.assertTrue(wait_for(lambda: player.find("push button", "Pause")))
        self.assertTrue(status_starts("playing, track 1"), player.labels())

        # A click in the slider's right part pages the thumb on; its end seeks there,
        # so the next poll shows the thumb at least that far.
        before = thumb()
        e = player.find("slider")[0].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        pyatspi.Registry.generateMouseEvent(e.x + e.width * 9 // 10, e.y + e.height // 2, pyatspi.MOUSE_B1C)
        self.assertTrue(wait_for(lambda: thumb() > before + 10, 5), "the click moved the thumb")
        moved = thumb()
        self.assertTrue(wait_for(lambda: thumb() > moved and any(l.startswith("playing, track 1")
                                                                 for l in player.labels()), 12),
                        "playing goes on from the chosen point, within the track")

        player.press("push button", "Eject")
        self.assertTrue(wait_for(lambda: rows_now() == [], 10), "the removal clears the rows")
        self.assertIn("No Disc", player.labels())
        self.assertNotIn(DEMO_ID, player.labels())
        player.press("push button", "Eject")
        self.assertTrue(wait_for(lambda: len(rows_now() or []) == DEMO_TRACKS, 10),
                        "closing the door fills the display")
        self.assertIn("Disc Inserted", player.labels())
        self.assertIn(DEMO_ID, player.labels())
        self.exit(player)

    def test_song_list_names_the_demo_disc(self):
        # A file with empty composer and album lines and no titles: the editor's list starts empty.
        folder = os.path.join(self.home, ".config", "varnel", "CD Track Lists")
        os.makedirs(folder)
        path = os.path.join(folder, DEMO_ID)
        with open(path, "wb") as f:
            f.write(b"\r\n\r\n")
        player = self.start()
        wait_for(player.rows)
        player.press("menu item", "Song List...")
        editor = wait_for(lambda: player.within("List Editor"))
        self.assertTrue(editor, "the List Editor comes up")
        fields = [a for a in walk(editor) if a.getRoleName() == "text"]
        self.assertEqual(len(fields), 3, "composer, album and title")
        composer, album, title = fields
        composer.queryEditableText().setTextContents("Ada Composer")
        album.queryEditableText().setTextContents("First Album")
        titles = [a for a in walk(editor) if a.getRoleName() == "list"][0]
        names = ["Opening", "Second Song"]
        for n, name in enumerate(names):
            title.queryEditableText().setTextContents(name)
            wait_for(lambda: title.queryText().getText(0, -1) == name, 5)
            player.press("push button", "Add")
            wait_for(lambda: len([a for a in walk(titles) if a.getRoleName() == "list item"]) == n + 1, 5)
        self.assertTrue(wait_for(lambda: [a.name for a in walk(titles) if a.getRoleName() == "list item"]
                                 == ["Opening", "Second Song"], 5),
                        [a.name for a in walk(titles) if a.getRoleName() == "list item"])
        player.press("push button", "Save")
        self.assertTrue(wait_for(lambda: player.find("push button", "OK")), "File saved!")
        self.assertTrue(player.find("label", "File saved!"))
        player.press("push button", "OK")
        wait_for(lambda: not player.find("push button", "OK"), 5)
        player.press("push button", "Close")

        # The main window shows them at once, and the file holds exactly these lines.
        self.assertTrue(wait_for(lambda: [r[1] for r in player.rows()[:3]] == ["Opening", "Second Song", "Unknown"],
                                 10), player.rows())
        labels = [l.strip() for l in player.labels()]
        self.assertIn("Ada Composer", labels)
        self.assertIn("First Album", labels)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), b"Ada Composer\r\nFirst Album\r\nOpening\r\nSecond Song\r\n")
        self.exit(player)

    def test_drive_choice_lands_in_the_settings_and_takes_effect(self):
        config = os.path.join(self.home, ".config", "varnel")
        os.makedirs(os.path.join(config, "drives"))
        with open(os.path.join(config, "drives", "e:"), "w") as f:
            f.write(os.path.join(self.home, "no-such-disc.cue") + "\n")
        with open(os.path.join(config, "drives", "g:"), "w") as f:
            f.write(os.path.join(os.path.dirname(VARNEL), "share", "varnel", "demo.cue") + "\n")
        with open(os.path.join(config, "Ostrovane.ini"), "w", newline="") as f:
            f.write("[Varnel]\r\nDrive=g:\r\n")
        player = self.start()
        self.assertEqual(len(wait_for(player.rows)), DEMO_TRACKS, "g: holds the demo disc")
        player.press("menu item", "Drive...")
        dialog = wait_for(lambda: player.within("Drive"))
        self.assertTrue(dialog, "the Drive dialog comes up")
        box = [a for a in walk(dialog) if a.getRoleName() == "combo box"][0]
        self.assertEqual(box.name, "e:", "the lowest drive is selected, whatever is stored")
        self.assertEqual([a.name for a in walk(box) if a.getRoleName() == "list item"], ["e:", "g:"])
        self.assertTrue(close_box("Drive"))
        self.assertTrue(wait_for(lambda: not player.within("Drive"), 10), "closing ends the dialog")
        self.assertIn(("Drive", "e:"), self.ini())
        # The device is opened afresh on e:, a drive whose image is missing: an empty
        # drive, which opens without a box and shows no disc.
        self.assertTrue(wait_for(lambda: "No Disc" in player.labels() and not player.rows(), 10), player.labels())
        self.assertFalse(player.find("push button", "OK"), "an empty drive is no error")
        self.exit(player)
        self.assertIn(("Drive", "e:"), self.ini())

class KeyboardAlone(unittest.TestCase):
    """The main window driven by keyboard alone, as a user without a mouse drives
    it: F10 to the menu bar, arrows to Player, Enter on Play; Alt+F4 to leave.
    Without a window manager winshim turns Alt+F4 into SC_CLOSE itself; with one,
    the window manager's own binding closes the window."""

    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="varnel-e2e-")
        os.mkdir(os.path.join(self.home, "run"), 0o700)
        self.env = dict(os.environ, DISPLAY=DISPLAY, HOME=self.home)
        self.player = None
        self.wm = None

    def tearDown(self):
        for process in (self.player.process if self.player else None, self.wm):
            if process is not None and process.poll() is None:
                process.kill()
                process.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    def keys(self, *names):
        subprocess.run(["xdotool", "key", "--delay", "250"] + list(names), env=self.env, check=True)

    def drive(self):
        player = self.player = Player(self.home)
        self.assertTrue(wait_for(player.window), "the main window comes up")
        self.assertTrue(wait_for(player.rows))
        self.keys("F10", "Right", "Right", "Return", "Return")
        self.assertTrue(wait_for(lambda: any(l.startswith("playing, track 1") for l in player.labels()), 12),
                        player.labels())
        self.assertTrue(player.find("push button", "Stop"), "Play became Stop")
        self.keys("alt+F4")
        self.assertEqual(player.wait(), 0)
        ini = os.path.join(self.home, ".config", "varnel", "Ostrovane.ini")
        with open(ini, newline="") as f:
            keys = [line.split("=", 1)[0] for line in f if "=" in line]
        self.assertEqual(keys[:4], ["Top", "Left", "Width", "Height"])

    def test_without_a_window_manager(self):
        self.drive()

    def test_with_a_window_manager(self):
        self.wm = start_window_manager(self.env)
        self.assertIsNotNone(self.wm, "openbox runs")
        self.drive()


def main(screen="1024x768x24"):
    global VARNEL, DISPLAY, DEMO_ID, DEMO_TIMES, DEMO_TRACKS
    VARNEL = os.path.abspath(sys.argv.pop(1))
    DEMO_ID, DEMO_TIMES, DEMO_TRACKS = demo_disc(os.path.join(os.path.dirname(VARNEL), "share", "varnel", "demo.cue"))
    xvfb, DISPLAY = start_xvfb(screen)
    runtime = None
    try:
        runtime = start_accessibility_bus()  # before the first player
        result = unittest.main(argv=[sys.argv[0]] + sys.argv[1:], exit=False).result
    finally:
        xvfb.terminate()
        xvfb.wait()
        if runtime:
            shutil.rmtree(runtime, ignore_errors=True)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
