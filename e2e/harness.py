"""A private screen and Wine prefix for driving Morvane from outside.

A `Desktop` starts, by process id and for itself alone:
  - Xvfb on a display number that Xvfb itself picks as free (-displayfd),
  - a persistent wineserver for a prefix of our own under build/, whose
    programs all open on one 1920 x 1080 virtual desktop in code page 936,
  - the click target (tools/clicktarget.cpp) on the left part of the screen,
  - the window reader in watch mode (tools/winreader.cpp), which records every
    change of Morvane's windows with a timestamp,
and stops exactly these again. Everything waits by polling with a deadline.
"""

import fcntl
import os
import select
import shutil
import signal
import subprocess
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
WINE64 = "/usr/lib/wine/wine64"
WINE32 = "/usr/bin/wine"  # picks the 32-bit loader, through qemu-i386 where needed
WINESERVER = "/usr/lib/wine/wineserver"
DESKTOP_NAME = "MorvaneE2E"
SCREEN = (1920, 1080)
# The click target covers the left part of the screen, away from the centred
# program window (826..1093 on a 1920-pixel screen).
TARGET_RECT = (0, 0, 760, 1080)


def exit_on_signals():
    """SIGTERM and SIGHUP end the run through the Desktop's cleanup, which
    stops what the run started."""

    def stop(signum, frame):
        raise SystemExit(128 + signum)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGHUP, stop)


class Failure(Exception):
    """A check of the program failed."""


class HarnessError(Exception):
    """The test environment itself could not be set up."""


def winpath(p):
    return "Z:" + str(Path(p).resolve()).replace("/", "\\")


def _unescape(v):
    out, i = [], 0
    while i < len(v):
        c = v[i]
        if c == "\\" and i + 1 < len(v):
            out.append({"t": "\t", "n": "\n", "r": "\r", "\\": "\\"}.get(v[i + 1], v[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def _fields(parts):
    d = {}
    for p in parts:
        k, _, v = p.partition("=")
        d[k] = _unescape(v)
    return d


def _rect(text):
    return tuple(int(v) for v in text.split(",")) if text else None


class Window:
    """One Morvane main window as the reader saw it."""

    def __init__(self, f):
        self.hwnd = f["hwnd"]
        self.pid = int(f["pid"])
        self.title = f["title"]
        self.cls = f["class"]
        self.rect = _rect(f["rect"])
        self.visible = f["visible"] == "1"
        self.enabled = f["enabled"] == "1"
        self.controls = {}
        self.items = []
        self.focus = None
        self.droplist = None
        self.closebox = None
        self.caption = None

    def control(self, ident):
        c = self.controls.get(ident)
        if c is None:
            raise Failure(f"window {self.hwnd} has no control {ident}")
        return c

    def text(self, ident):
        return self.control(ident)["text"]

    @property
    def status(self):
        return self.controls.get(140, {}).get("text")

    @property
    def focus_id(self):
        return int(self.focus["id"]) if self.focus else None

    def center(self, ident):
        left, top, right, bottom = _rect(self.control(ident)["rect"])
        return (left + right) // 2, (top + bottom) // 2

    def describe(self):
        c100 = self.controls.get(100, {})
        return (f"window {self.hwnd} rect={self.rect} visible={self.visible} enabled={self.enabled} "
                f"status={self.status!r} list={c100.get('text')!r} sel={c100.get('sel')} "
                f"dropped={c100.get('dropped')} focus={self.focus_id}")


class Notice:
    def __init__(self, f):
        self.hwnd = f["hwnd"]
        self.pid = int(f["pid"])
        self.title = f["title"]
        self.rect = _rect(f["rect"])
        self.children = []

    @property
    def text(self):
        texts = [c["text"] for c in self.children if c["class"].lower() == "static" and c["text"]]
        return texts[0] if texts else ""

    def buttons(self):
        return [c for c in self.children if c["class"].lower() == "button"]

    def describe(self):
        return f"notice {self.hwnd} title={self.title!r} text={self.text!r}"


class Snapshot:
    """The state of all Morvane windows and notice boxes at one moment."""

    def __init__(self, when, lines):
        self.time = when
        self.env = {}
        self.windows = []
        self.notices = []
        byhwnd = {}
        notices = {}
        for line in lines:
            kind, *parts = line.split("\t")
            f = _fields(parts)
            if kind == "env":
                self.env = f
            elif kind == "window":
                w = Window(f)
                self.windows.append(w)
                byhwnd[w.hwnd] = w
            elif kind == "control":
                f_id = int(f["id"])
                byhwnd[f["parent"]].controls[f_id] = f
            elif kind == "item":
                byhwnd[f["parent"]].items.append((f["text"], int(f["data"])))
            elif kind == "focus":
                byhwnd[f["parent"]].focus = f
            elif kind == "droplist":
                byhwnd[f["parent"]].droplist = f
            elif kind == "closebox":
                byhwnd[f["parent"]].closebox = _rect(f["rect"])
            elif kind == "caption":
                byhwnd[f["parent"]].caption = tuple(int(v) for v in f["point"].split(","))
            elif kind == "notice":
                n = Notice(f)
                self.notices.append(n)
                notices[n.hwnd] = n
            elif kind == "noticechild":
                notices[f["notice"]].children.append(f)

    def window(self, hwnd):
        for w in self.windows:
            if w.hwnd == hwnd:
                return w
        return None

    def describe(self):
        rows = [w.describe() for w in self.windows] + [n.describe() for n in self.notices]
        return "; ".join(rows) if rows else "no window"


class SnapshotParser:
    """Turns reader output, fed line by line, into snapshots."""

    def __init__(self):
        self.snaps = []
        self.latest = 0.0
        self._block = None
        self._when = None

    def feed(self, line):
        if line.startswith("snap "):
            self._when, self._block = float(line.split()[1]), []
            self.latest = max(self.latest, self._when)
        elif line.startswith("beat "):
            self.latest = max(self.latest, float(line.split()[1]))
        elif line == "end" and self._block is not None:
            self.snaps.append(Snapshot(self._when, self._block))
            self._block = None
        elif self._block is not None and line:
            self._block.append(line)


def parse_snapshots(text):
    parser = SnapshotParser()
    for line in text.split("\n"):
        parser.feed(line)
    return parser.snaps, parser.latest


class Watch:
    """Follows the reader's watch file: every state change, with its time."""

    def __init__(self, path):
        self.path = Path(path)
        self._pos = 0
        self._pending = b""
        self._parser = SnapshotParser()
        self.snaps = self._parser.snaps

    @property
    def seen_until(self):
        return self._parser.latest

    def poll(self):
        try:
            with open(self.path, "rb") as f:
                f.seek(self._pos)
                data = f.read()
        except FileNotFoundError:
            return
        self._pos += len(data)
        data = self._pending + data
        cut = data.rfind(b"\n") + 1
        self._pending = data[cut:]
        for line in data[:cut].decode("utf-8", "replace").split("\n"):
            self._parser.feed(line)

    @property
    def latest(self):
        return self.snaps[-1] if self.snaps else None

    def wait(self, pred, what, timeout=15.0, after=0.0):
        """The first state that satisfies pred among those still current after
        the moment `after` (a state read at `after` itself counts, the one it
        replaced does not)."""
        deadline = time.time() + timeout
        checked = 0
        while True:
            self.poll()
            for i in range(checked, len(self.snaps)):
                s = self.snaps[i]
                cur_end = self.snaps[i + 1].time if i + 1 < len(self.snaps) else self.seen_until
                if (cur_end > after or s.time >= after) and pred(s):
                    return s
            checked = max(0, len(self.snaps) - 1)
            if time.time() > deadline:
                last = self.latest.describe() if self.latest else "nothing seen"
                raise Failure(f"timed out after {timeout:.0f} s waiting for {what}; last state: {last}")
            time.sleep(0.02)

    def settle(self, after, quiet=0.8, timeout=15.0):
        """The state once the reader has watched for `quiet` seconds past `after`."""
        deadline = time.time() + timeout
        while True:
            self.poll()
            if self.seen_until >= after + quiet and self.latest:
                return self.latest
            if time.time() > deadline:
                raise HarnessError("the window reader stopped reporting")
            time.sleep(0.02)

    def statuses(self, hwnd, since):
        """The distinct successive status texts of one window in the states
        read from `since` on (take `since` from before an action: every state
        that the action brings is read after it)."""
        self.poll()
        seq = []
        for s in (s for s in self.snaps if s.time >= since):
            w = s.window(hwnd)
            if w and w.status is not None and (not seq or seq[-1] != w.status):
                seq.append(w.status)
        return seq


class Program:
    """A Windows program started under Wine by this harness."""

    def __init__(self, desktop, exe, loader, tag):
        self.desktop = desktop
        self.exe = Path(exe)
        self.started = time.time()
        logdir = desktop.workdir / "logs"
        logdir.mkdir(parents=True, exist_ok=True)
        self._out = open(logdir / f"{tag}.log", "wb")
        self.proc = subprocess.Popen([loader, str(self.exe)], env=desktop.env, cwd=str(self.exe.parent),
                                     stdin=subprocess.DEVNULL, stdout=self._out, stderr=subprocess.STDOUT,
                                     start_new_session=True)
        self.pid = self.proc.pid

    def alive(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=30.0):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"{self.exe.name} (pid {self.pid}) did not end within {timeout:.0f} s") from None

    def kill(self):
        if self.proc.poll() is None:
            try:
                os.kill(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self._out.close()


class ClickLog:
    def __init__(self, path):
        self.path = Path(path)

    def entries(self, since=0.0):
        out = []
        try:
            text = self.path.read_text("utf-8", "replace")
        except FileNotFoundError:
            return out
        for line in text.splitlines():
            p = line.split("\t")
            if p[0] == "click" and len(p) == 5 and float(p[1]) >= since:
                out.append((float(p[1]), p[2], int(p[3]), int(p[4])))
        return out

    def wait(self, count, since, timeout=10.0):
        deadline = time.time() + timeout
        while True:
            e = self.entries(since)
            if len(e) >= count or time.time() > deadline:
                return e
            time.sleep(0.02)


class Desktop:
    """Xvfb + wineserver + virtual desktop + click target + window reader."""

    def __init__(self, workdir, prefix, tools_dir, log=print, watch_interval_ms=40):
        self.watch_interval_ms = watch_interval_ms
        # Absolute: wine and wineserver run with other working directories.
        self.workdir = Path(workdir).resolve()
        self.prefix = Path(prefix).resolve()
        self.tools = Path(tools_dir).resolve()
        self.log = log
        self.display = None
        self.env = None
        self._xvfb = None
        self._server = None
        self._lockfile = None
        self._helpers = []
        self._files = []
        self.programs = []
        self.watch = None
        self.clicks = None
        self._stopfile = self.workdir / "watch.stop"
        self._quietfile = self.workdir / "watch.quiet"

    # --- start -------------------------------------------------------------
    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def start(self):
        self.workdir.mkdir(parents=True, exist_ok=True)
        self._lock()
        self._start_xvfb()
        base = {k: v for k, v in os.environ.items() if not k.startswith(("WINE", "LC_"))}
        base.update(WINEPREFIX=str(self.prefix), WINEDEBUG="-all", LANG="zh_CN.UTF-8", LC_ALL="zh_CN.UTF-8",
                    WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d", DISPLAY=f":{self.display}")
        self.env = base
        self._ensure_prefix()
        self._start_server()
        self._start_helpers()

    def _file(self, name):
        f = open(self.workdir / name, "wb")
        self._files.append(f)
        return f

    def _lock(self):
        # One suite at a time per prefix: a prefix has one server and one desktop.
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        self._lockfile = open(str(self.prefix) + ".lock", "w")
        deadline = time.time() + 1800
        told = False
        while True:
            try:
                fcntl.flock(self._lockfile, fcntl.LOCK_EX | fcntl.LOCK_NB)
                return
            except BlockingIOError:
                if not told:
                    self.log(f"waiting for {self.prefix}: another suite is using it")
                    told = True
                if time.time() > deadline:
                    raise HarnessError(f"{self.prefix} stayed in use by another suite") from None
                time.sleep(1)

    def _start_xvfb(self):
        r, w = os.pipe()
        self._xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp"],
            pass_fds=(w,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=self._file("xvfb.log"), start_new_session=True)
        os.close(w)
        buf = b""
        deadline = time.time() + 30
        try:
            while not buf.endswith(b"\n"):
                left = deadline - time.time()
                if left <= 0 or self._xvfb.poll() is not None:
                    raise HarnessError("Xvfb did not start")
                ready, _, _ = select.select([r], [], [], left)
                if ready:
                    chunk = os.read(r, 64)
                    if not chunk:
                        raise HarnessError("Xvfb did not report its display")
                    buf += chunk
        finally:
            os.close(r)
        self.display = int(buf.strip())
        self.log(f"Xvfb :{self.display} (pid {self._xvfb.pid})")

    def _wine(self, *args, timeout=600, loader=WINE64):
        # Output to a file, never a pipe: a server started by this command would hold it open.
        with open(self.workdir / "wine-setup.log", "ab") as out:
            return subprocess.run([loader, *args], env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.STDOUT, timeout=timeout).returncode

    def _ensure_prefix(self):
        marker = self.prefix / ".morvane-e2e-ready"
        if marker.exists():
            return
        self.log(f"creating the Wine prefix {self.prefix} (a few minutes, once)")
        if self.prefix.exists():
            shutil.rmtree(self.prefix)  # left half-made by an interrupted run
        t = time.time()
        self._wine("wineboot", "-i", timeout=1200)
        # Every program of the prefix opens on one virtual desktop of the screen's size.
        self._wine("reg", "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop", "/d", DESKTOP_NAME, "/f")
        self._wine("reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", DESKTOP_NAME, "/d",
                   f"{SCREEN[0]}x{SCREEN[1]}", "/f")
        # The server that wineboot started saves the registry as it ends.
        subprocess.run([WINESERVER, "-w"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        if f'"Desktop"="{DESKTOP_NAME}"' not in (self.prefix / "user.reg").read_text("utf-8", "replace"):
            raise HarnessError("the virtual desktop setting did not reach the prefix's registry")
        marker.write_text("ok\n")
        self.log(f"prefix ready in {time.time() - t:.0f} s")

    def _server_ready(self):
        # The server listens on "socket" in its working directory, which it
        # enters as it starts.
        try:
            return (Path(os.readlink(f"/proc/{self._server.pid}/cwd")) / "socket").exists()
        except OSError:
            return False

    def _start_server(self):
        # A server still running for this prefix (from a run that was killed) is ended first.
        subprocess.run([WINESERVER, "-k"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        self._server = subprocess.Popen([WINESERVER, "-f", "-p"], env=self.env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        start_new_session=True)
        deadline = time.time() + 30
        while not self._server_ready():
            if self._server.poll() is not None or time.time() > deadline:
                raise HarnessError("wineserver did not start")
            time.sleep(0.05)
        self.log(f"wineserver pid {self._server.pid}")

    def _start_helpers(self):
        clicklog = self.workdir / "clicks.log"
        watchlog = self.workdir / "watch.log"
        for p in (clicklog, watchlog, self._stopfile, self._quietfile):
            if p.exists():
                p.unlink()
        self.clicks = ClickLog(clicklog)
        l, t, r, b = TARGET_RECT
        target = subprocess.Popen([WINE64, str(self.tools / "clicktarget.exe"), winpath(clicklog), str(l), str(t),
                                   str(r - l), str(b - t)], env=self.env, stdin=subprocess.DEVNULL,
                                  stdout=self._file("clicktarget.out"), stderr=subprocess.STDOUT,
                                  start_new_session=True)
        self._helpers.append(target)
        deadline = time.time() + 120
        while "ready" not in (clicklog.read_text() if clicklog.exists() else ""):
            if target.poll() is not None or time.time() > deadline:
                raise HarnessError("the click target did not come up")
            time.sleep(0.05)
        watcher = subprocess.Popen([WINE64, str(self.tools / "winreader.exe"), "watch", winpath(watchlog),
                                    winpath(self._stopfile), "Morvane", str(self.watch_interval_ms), "3600",
                                    winpath(self._quietfile)], env=self.env,
                                   stdin=subprocess.DEVNULL, stdout=self._file("watch.out"),
                                   stderr=subprocess.STDOUT, start_new_session=True)
        self._helpers.append(watcher)
        self.watch = Watch(watchlog)
        self.watch.settle(time.time(), quiet=0.0, timeout=60)
        env = self.watch.latest.env
        if env.get("acp") != "936":
            raise HarnessError(f"Wine runs with code page {env.get('acp')}, not 936: is zh_CN.UTF-8 generated?")
        if env.get("screen") != f"{SCREEN[0]}x{SCREEN[1]}":
            raise HarnessError(f"the virtual desktop is {env.get('screen')}, not {SCREEN[0]}x{SCREEN[1]}")

    # --- use ---------------------------------------------------------------
    def start_program(self, exe, loader=WINE64, tag=None, timeout=60.0):
        """Starts a program and waits until a new Morvane window is shown."""
        self.watch.poll()
        before = {w.hwnd for s in self.watch.snaps for w in s.windows}
        tag = tag or f"program-{len(self.programs) + 1}"
        p = Program(self, exe, loader, tag)
        self.programs.append(p)

        def shown(s):
            return any(w.hwnd not in before and w.visible for w in s.windows)

        try:
            s = self.watch.wait(shown, f"the window of {Path(exe).name}", timeout=timeout, after=p.started)
        except Failure:
            if not p.alive():
                raise Failure(f"{Path(exe).name} ended with code {p.proc.returncode} before showing a window") \
                    from None
            raise
        w = next(w for w in s.windows if w.hwnd not in before and w.visible)
        p.hwnd, p.win_pid, p.first_shown = w.hwnd, w.pid, s
        return p

    def set_quiet(self, quiet):
        """Quiet: the reader sends the programs no message (while their CPU time is measured)."""
        if quiet:
            self._quietfile.write_text("quiet\n")
        elif self._quietfile.exists():
            self._quietfile.unlink()
        self.watch.wait(lambda s: s.env.get("quiet") == ("1" if quiet else "0"), "the reader to switch modes",
                        timeout=30, after=time.time())

    def snapshot(self):
        """A full reading (with the list's items and the frame's hit areas)."""
        out = self.workdir / "snapshot.txt"
        if out.exists():
            out.unlink()
        with open(self.workdir / "snapshot.out", "wb") as o:
            rc = subprocess.run([WINE64, str(self.tools / "winreader.exe"), "snapshot", winpath(out)], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=o, stderr=subprocess.STDOUT, timeout=60).returncode
        snaps, _ = parse_snapshots(out.read_text("utf-8", "replace") if out.exists() else "")
        if rc != 0 or not snaps:
            raise HarnessError("the window reader gave no snapshot")
        return snaps[0]

    def xdo(self, *args):
        subprocess.run(["xdotool", *[str(a) for a in args]], env=self.env, check=True, timeout=30,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

    def click(self, x, y):
        self.xdo("mousemove", x, y, "click", 1)
        return time.time()

    def key(self, *keys):
        self.xdo("key", *keys)
        return time.time()

    def screenshot(self, path, crop=None):
        path = Path(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", f":{self.display}"], env=self.env,
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=60).stdout
        args = ["convert", "xwd:-", "-define", "png:exclude-chunks=date,time"]
        if crop:
            left, top, right, bottom = crop
            args += ["-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage"]
        subprocess.run(args + [str(path)], input=xwd, capture_output=True, timeout=60)
        return path

    # --- stop --------------------------------------------------------------
    def stop(self):
        for p in self.programs:
            p.kill()
        self.programs = []
        if self.watch is not None:
            self._stopfile.write_text("stop\n")
        for h in self._helpers:
            try:
                h.wait(timeout=3)
            except subprocess.TimeoutExpired:
                pass
        for h in self._helpers:
            if h.poll() is None:
                os.kill(h.pid, signal.SIGKILL)
                h.wait(timeout=10)
        self._helpers = []
        if self._server is not None:
            # Ends the programs that Wine started on its own in this prefix (the
            # desktop's explorer, winedevice), then the server itself.
            subprocess.run([WINESERVER, "-k"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            try:
                self._server.wait(timeout=20)
            except subprocess.TimeoutExpired:
                os.kill(self._server.pid, signal.SIGKILL)
                self._server.wait(timeout=10)
            self._server = None
        if self._xvfb is not None:
            if self._xvfb.poll() is None:
                self._xvfb.terminate()
                try:
                    self._xvfb.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    self._xvfb.kill()
                    self._xvfb.wait(timeout=10)
            self._xvfb = None
        for f in self._files:
            f.close()
        self._files = []
        if self._lockfile is not None:
            self._lockfile.close()
            self._lockfile = None
