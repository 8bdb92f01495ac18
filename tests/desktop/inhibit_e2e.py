#!/usr/bin/python3
"""End-to-end: the real binary on the demo disc holds off suspend while it plays.
Private session and system buses with mock services (python3-dbusmock) stand in
for the desktop portal, the session manager and logind; the player is driven
through its MPRIS2 interface, headless.

Usage:  inhibit_e2e.py VARNEL_BINARY
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import dbus
import dbusmock

VARNEL = None
MPRIS = "org.mpris.MediaPlayer2.varnel"
PORTAL = ("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Inhibit")
REQUEST = "/org/freedesktop/portal/desktop/request/1_1/varnel"
SESSION = ("org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager")
COOKIE = 42
SUSPEND = 4  # the portal's and the session manager's flag alike
# Qt's headless platform says so when a window is raised; it is not the player's.
HEADLESS_NOTICE = "This plugin does not support raise()"


def wait_for(what, timeout=15.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = what()
        if value:
            return value
        time.sleep(0.1)
    return what()


class SuspendInhibitor(dbusmock.DBusTestCase):
    @classmethod
    def setUpClass(cls):
        cls.start_session_bus()
        cls.start_system_bus()
        cls.session = cls.get_dbus(False)
        cls.system = cls.get_dbus(True)

    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="varnel-inhibit-")
        os.mkdir(os.path.join(self.home, "run"), 0o700)
        self.servers = []
        self.player = None

    def tearDown(self):
        if self.player and self.player.poll() is None:
            self.player.kill()
            self.player.wait()
        if self.player:
            self.player.stderr.close()
        self.stop_servers()
        shutil.rmtree(self.home, ignore_errors=True)

    def stop_servers(self):
        for server in self.servers:
            server.terminate()
            server.wait()
        self.servers = []

    # The services; each returns how many inhibitors it holds now, and what it was asked.
    def portal(self):
        self.servers.append(self.spawn_server(*PORTAL, stdout=subprocess.DEVNULL))
        desktop = self.session.get_object(PORTAL[0], PORTAL[1])
        desktop.AddMethod(PORTAL[2], "Inhibit", "sua{sv}", "o", "ret = dbus.ObjectPath('%s')" % REQUEST,
                          dbus_interface=dbusmock.MOCK_IFACE)
        desktop.AddObject(REQUEST, "org.freedesktop.portal.Request", {}, [("Close", "", "", "")],
                          dbus_interface=dbusmock.MOCK_IFACE)
        request = self.session.get_object(PORTAL[0], REQUEST)

        def calls():
            return [list(c[1]) for c in desktop.GetMethodCalls("Inhibit", dbus_interface=dbusmock.MOCK_IFACE)]

        def held():
            return len(calls()) - len(request.GetMethodCalls("Close", dbus_interface=dbusmock.MOCK_IFACE))

        return held, lambda: [(str(c[0]), int(c[1])) for c in calls()]

    def session_manager(self):
        self.servers.append(self.spawn_server(*SESSION, stdout=subprocess.DEVNULL))
        manager = self.session.get_object(SESSION[0], SESSION[1])
        manager.AddMethods(SESSION[2], [("Inhibit", "susu", "u", "ret = dbus.UInt32(%d)" % COOKIE),
                                        ("Uninhibit", "u", "", "")], dbus_interface=dbusmock.MOCK_IFACE)

        def released():
            calls = manager.GetMethodCalls("Uninhibit", dbus_interface=dbusmock.MOCK_IFACE)
            self.assertTrue(all(list(c[1]) == [COOKIE] for c in calls), calls)
            return len(calls)

        def asked():
            return [(str(c[1][0]), int(c[1][3])) for c in
                    manager.GetMethodCalls("Inhibit", dbus_interface=dbusmock.MOCK_IFACE)]

        return lambda: len(asked()) - released(), asked

    def logind(self):
        server, _ = self.spawn_server_template("logind", {}, stdout=subprocess.DEVNULL)
        self.servers.append(server)
        manager = self.system.get_object("org.freedesktop.login1", "/org/freedesktop/login1")

        def inhibitors():
            return [tuple(str(field) for field in i[:4])
                    for i in manager.ListInhibitors(dbus_interface="org.freedesktop.login1.Manager")]

        return lambda: len(inhibitors()), inhibitors

    def start(self):
        env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_RUNTIME_DIR=os.path.join(self.home, "run"), QT_QPA_PLATFORM="offscreen",
                   WINSHIM_AUDIO="null")
        env.pop("WINSHIM_DEBUG", None)
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
        if self.player:
            self.player.stderr.close()
        self.player = subprocess.Popen([VARNEL], env=env, stderr=subprocess.PIPE)
        bus = self.session.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus")
        self.assertTrue(wait_for(lambda: bus.NameHasOwner(MPRIS, dbus_interface="org.freedesktop.DBus")),
                        "the player comes up on the bus")

    def mpris(self, method, interface="org.mpris.MediaPlayer2.Player"):
        self.session.get_object(MPRIS, "/org/mpris/MediaPlayer2").get_dbus_method(method, interface)()

    def said(self):
        return [line for line in self.player.stderr.read().decode().splitlines() if line != HEADLESS_NOTICE]

    def status(self):
        return str(self.session.get_object(MPRIS, "/org/mpris/MediaPlayer2").Get(
            "org.mpris.MediaPlayer2.Player", "PlaybackStatus", dbus_interface="org.freedesktop.DBus.Properties"))

    def play_pause_resume_exit(self, held):
        self.start()
        self.assertEqual(held(), 0, "nothing held while stopped")
        self.mpris("Play")
        self.assertTrue(wait_for(lambda: held() == 1), "play takes the inhibitor")
        self.mpris("Pause")
        self.assertTrue(wait_for(lambda: self.status() == "Paused"))
        self.assertTrue(wait_for(lambda: held() == 0), "pause gives it back")
        self.mpris("Play")
        self.assertTrue(wait_for(lambda: self.status() == "Playing"))
        self.assertTrue(wait_for(lambda: held() == 1), "resume takes it again")
        self.mpris("Quit", "org.mpris.MediaPlayer2")
        self.assertEqual(self.player.wait(20), 0)
        self.assertTrue(wait_for(lambda: held() == 0, 5), "exit gives it back")
        self.assertEqual(self.said(), [], "nothing said")

    def test_each_service_in_its_turn(self):
        # The services that answer, the one asked (the first of them in this
        # order), and what it is asked for each time: suspend only, never idle.
        cases = [
            ("all three", ["portal", "session_manager", "logind"], "portal", ("", SUSPEND)),
            ("no portal", ["session_manager", "logind"], "session_manager", ("org.varnel.Varnel", SUSPEND)),
            ("logind alone", ["logind"], "logind", None),
        ]
        for name, services, used, request in cases:
            with self.subTest(name):
                probes = {service: getattr(self, service)() for service in services}
                held, asked = probes[used]
                self.play_pause_resume_exit(held)
                if request:
                    self.assertEqual(asked(), [request] * 2)
                for other in services:
                    if other != used:
                        self.assertEqual(probes[other][1](), [], other + " is not asked")
            self.stop_servers()

    def test_logind_is_asked_for_sleep_alone(self):
        held, inhibitors = self.logind()
        self.start()
        self.mpris("Play")
        self.assertTrue(wait_for(lambda: held() == 1))
        self.assertEqual(inhibitors(), [("sleep", "Varnel", "Playing an audio CD", "block")])
        self.mpris("Stop")
        self.assertTrue(wait_for(lambda: held() == 0), "stop gives it back")
        self.mpris("Quit", "org.mpris.MediaPlayer2")
        self.assertEqual(self.player.wait(20), 0)

    def test_nothing_answers(self):
        # Neither bus has any of the services: the player plays as ever, silently.
        self.start()
        self.mpris("Play")
        self.assertTrue(wait_for(lambda: self.status() == "Playing"))
        self.mpris("Pause")
        self.assertTrue(wait_for(lambda: self.status() == "Paused"))
        self.mpris("Quit", "org.mpris.MediaPlayer2")
        self.assertEqual(self.player.wait(20), 0)
        self.assertEqual(self.said(), [], "nothing said")


if __name__ == "__main__":
    VARNEL = os.path.abspath(sys.argv.pop(1))
    unittest.main()
