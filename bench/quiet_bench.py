#!/usr/bin/python3
"""How quiet the real player is while it plays through a sound server: wakeups
(voluntary context switches of all its threads, from /proc) and CPU, playing
the demo disc with its window shown, against mpv (or paplay where mpv is not
installed) playing the same samples on the same sink; then the player idle with
the disc. Prints, asserts nothing.

Run under dbus-run-session:  quiet_bench.py VARNEL_BINARY [SECONDS]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import warnings

warnings.simplefilter("ignore", DeprecationWarning)
import pyatspi  # noqa: E402

TICK = os.sysconf("SC_CLK_TCK")


def usage(pid):
    """(voluntary context switches of all threads, CPU seconds) of a process."""
    switches = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/status" % (pid, task)) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches"):
                        switches += int(line.split()[1])
        except FileNotFoundError:
            pass
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return switches, (int(fields[11]) + int(fields[12])) / TICK


def measure(pid, seconds):
    s0, c0 = usage(pid)
    t0 = time.monotonic()
    time.sleep(seconds)
    s1, c1 = usage(pid)
    wall = time.monotonic() - t0
    return (s1 - s0) / wall, (c1 - c0) / wall * 100


def threads(pid):
    names = {}
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/comm" % (pid, task)) as f:
            name = f.read().strip()
        with open("/proc/%d/task/%s/status" % (pid, task)) as f:
            n = [int(l.split()[1]) for l in f if l.startswith("voluntary_ctxt_switches")][0]
        names[task] = (name, n)
    return names


def by_thread(before, after, seconds):
    rates = sorted(((after[t][1] - before[t][1]) / seconds, after[t][0]) for t in after if t in before)
    return ", ".join("%s %.1f" % (n, r) for r, n in reversed(rates) if r > 0)


def wait_for(what, timeout=20.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = what()
        if value:
            return value
        time.sleep(0.1)
    return what()


def find(pid, role, name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is None or app.get_process_id() != pid:
            continue
        stack = [app]
        while stack:
            a = stack.pop()
            if a.getRoleName() == role and a.name == name:
                return a
            stack.extend(a.getChildAtIndex(k) for k in range(a.childCount) if a.getChildAtIndex(k) is not None)
    return None


def main():
    varnel = os.path.abspath(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
    home = tempfile.mkdtemp(prefix="varnel-quiet-")
    run = os.path.join(home, "run")
    os.mkdir(run, 0o700)
    socket = os.path.join(home, "native")
    with open(os.path.join(home, "client.conf"), "w") as f:
        f.write("autospawn = no\n")
    env = dict(os.environ, PULSE_SERVER="unix:" + socket, PULSE_CLIENTCONFIG=os.path.join(home, "client.conf"))
    env.pop("WINSHIM_AUDIO", None)
    server = subprocess.Popen(
        ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--realtime=no",
         "--high-priority=no", "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket,
         "--load=module-null-sink sink_name=out rate=44100 format=s16le channels=2 channel_map=left,right"],
        env=dict(env, XDG_RUNTIME_DIR=run, HOME=home), stderr=subprocess.DEVNULL)
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=[write_fd], stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        display = ":" + f.readline().strip()
    player = None
    try:
        wait_for(lambda: subprocess.run(["pactl", "list", "short", "sinks"], env=env, capture_output=True,
                                        text=True).stdout.find("out") >= 0)
        pyatspi.Registry.getDesktop(0)
        player = subprocess.Popen([varnel], env=dict(env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                                                     XDG_RUNTIME_DIR=run, DISPLAY=display, QT_QPA_PLATFORM="xcb",
                                                     QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
        play = wait_for(lambda: find(player.pid, "push button", "Play"))
        time.sleep(7)  # the sound device rests 5 s after the last play
        before = threads(player.pid)
        idle = measure(player.pid, seconds)
        idle_threads = by_thread(before, threads(player.pid), seconds)
        play.queryAction().doAction(0)
        wait_for(lambda: find(player.pid, "push button", "Stop"))
        time.sleep(1)
        before = threads(player.pid)
        playing = measure(player.pid, seconds)
        playing_threads = by_thread(before, threads(player.pid), seconds)
        cue = os.path.join(os.path.dirname(varnel), "share", "varnel", "demo.bin")
        other = shutil.which("mpv")
        if other:
            cmd = [other, "--no-video", "--ao=pulse", "--demuxer=rawaudio", "--demuxer-rawaudio-format=s16le",
                   "--demuxer-rawaudio-rate=44100", "--demuxer-rawaudio-channels=2", cue]
        else:
            cmd = ["paplay", "--raw", "--format=s16le", "--rate=44100", "--channels=2", cue]
        reference = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
        ref = measure(reference.pid, seconds)
        reference.kill()
        reference.wait()
        print("over %.0f s, context switches of all threads per second and CPU share of one core:" % seconds)
        print("  player playing the demo disc: %6.1f /s  %5.2f %%" % playing)
        print("  %-28s %6.1f /s  %5.2f %%" % (os.path.basename(cmd[0]) + " of the same samples:", *ref))
        print("  player idle with the disc:    %6.1f /s  %5.2f %%" % idle)
        print("  while playing, by thread: " + playing_threads)
        print("  while idle, by thread: " + idle_threads)
    finally:
        if player:
            player.kill()
            player.wait()
        xvfb.terminate()
        xvfb.wait()
        server.terminate()
        server.wait()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
