"""What the monkey test sees of Morvane, and the rules it holds the program to.

Two streams come in, both stamped with the same clock (Unix time, read in
Wine with GetSystemTimePreciseAsFileTime):

  - the window reader's watch log (e2e/tools/winreader.cpp): a snapshot of the
    main window, its controls, its drop-down list and every notice box each
    time something changes, and a heartbeat line in between;
  - the input watch log (robustness/tools/inputwatch.cpp): every mouse button
    event with its LLMHF_INJECTED flag, and a census of the visible top-level
    windows of all processes whenever it changes.

`Checker` turns both into findings: anything the program shows or does that
it must not. It knows nothing of xdotool or of the actions sent; the driver
tells it which positions the cursor was sent to, so that it can tell where a
click of the program has to land.
"""

import re
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
import harness  # noqa: E402  (the end-to-end harness: reader formats and the desktop)
from driver import (ALREADY_RUNNING, CANCELLED, DELAYS, IDLE, NO_SELECTION,  # noqa: E402,F401
                    NOTICE_TITLE)

START_RE = re.compile(r"^倒计时开始，剩余：([1-9][0-9]*) 秒$")
RUNNING_RE = re.compile(r"^倒计时中，剩余：([1-9][0-9]*) 秒$")
CONFIRM_CAPTION = "确认"
CANCEL_CAPTION = "取消"
START_SECONDS = {ms // 1000 for _, ms in DELAYS}

# The reader writes a line at least every 0.2 s while it is not held up. A
# longer silence means it could not look (the program did not answer its
# messages for that long): states may have come and gone unseen, so the rules
# about successive states do not apply across such a gap.
BLIND_GAP = 0.6
# A click of the program belongs to the status change that the same handler
# call makes right after it: between the reader's last look at "…剩余：1 秒"
# and its first look at what follows. The slacks absorb the helpers' own
# scheduling: a little before that span (the handler may be preempted between
# its click and its new status while the reader looks), more after it (the
# input watch may stamp the click late). Half a tick period and more before
# the change, a click is no longer part of it; countdown ends are at least
# three seconds apart, so a click can never be matched to the wrong end.
CLICK_EARLY_SLACK = 0.3
CLICK_SLACK = 1.0


def countdown_seconds(status):
    """(kind, seconds) of a countdown status, kind 'start' or 'running'; None otherwise."""
    if status is None:
        return None
    m = START_RE.match(status)
    if m:
        return "start", int(m.group(1))
    m = RUNNING_RE.match(status)
    if m:
        return "running", int(m.group(1))
    return None


def status_form_ok(status):
    if status in (IDLE, CANCELLED):
        return True
    c = countdown_seconds(status)
    if c is None:
        return False
    kind, n = c
    return n in START_SECONDS if kind == "start" else 1 <= n < max(START_SECONDS)


ESCAPES = {"t": "\t", "n": "\n", "r": "\r", "\\": "\\"}


def fields(parts):
    """key=value fields of a log line; values escape tabs, line ends and backslashes."""
    out = {}
    for p in parts:
        k, _, v = p.partition("=")
        out[k] = re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(1)), v)
    return out


# --- following the logs --------------------------------------------------------


class TimedParser(harness.SnapshotParser):
    """The harness's parser, also noting when the reader last wrote before each snapshot."""

    def __init__(self):
        super().__init__()
        self.last_line = None
        self._prev_line = None

    def feed(self, line):
        if line.startswith(("snap ", "beat ")):
            when = float(line.split()[1])
            if line.startswith("snap "):
                self._prev_line = self.last_line
            self.last_line = when
        before = len(self.snaps)
        super().feed(line)
        if len(self.snaps) > before:
            self.snaps[-1].prev_line = self._prev_line


class ReaderLog:
    """Follows the reader's watch log; its snapshots carry `prev_line`."""

    def __init__(self, path):
        self.path = Path(path)
        self._pos = 0
        self._pending = b""
        self._parser = TimedParser()
        self.snaps = self._parser.snaps

    @property
    def seen_until(self):
        """The reader has looked at the windows up to this moment."""
        return self._parser.latest

    @property
    def latest(self):
        return self.snaps[-1] if self.snaps else None

    def poll(self):
        for line in follow(self):
            self._parser.feed(line)


def follow(log):
    """The complete lines added to a log file since the last call."""
    try:
        with open(log.path, "rb") as f:
            f.seek(log._pos)
            data = f.read()
    except FileNotFoundError:
        return []
    log._pos += len(data)
    data = log._pending + data
    cut = data.rfind(b"\n") + 1
    log._pending = data[cut:]
    return data[:cut].decode("utf-8", "replace").split("\n")


class ButtonEvent:
    def __init__(self, when, event, x, y, injected):
        self.time = when
        self.event = event
        self.x = x
        self.y = y
        self.injected = injected

    def __repr__(self):
        kind = "injected" if self.injected else "real"
        return f"{kind} {self.event} at ({self.x}, {self.y})"


GUI_INMENUMODE = 0x4


class Census:
    def __init__(self, when):
        self.time = when
        self.tops = []  # dicts: hwnd, pid, tid, class, title, rect, enabled
        self.gui = {}  # thread id -> dict: flags, menuowner, active, focus, capture

    def in_menu_mode(self, tid):
        g = self.gui.get(tid)
        return g is not None and int(g["flags"], 16) & GUI_INMENUMODE != 0


class InputLog:
    """Follows the input watch's log."""

    def __init__(self, path):
        self.path = Path(path)
        self._pos = 0
        self._pending = b""
        self._census = None
        self.ready = False
        self.buttons = []
        self.censuses = []

    def poll(self):
        for line in follow(self):
            self._feed(line)

    def _feed(self, line):
        kind, *parts = line.split("\t")
        if kind == "ready":
            self.ready = True
        elif kind == "button" and len(parts) >= 5:
            self.buttons.append(ButtonEvent(float(parts[0]), parts[1], int(parts[2]), int(parts[3]),
                                            parts[4] == "injected=1"))
        elif kind == "windows" and parts:
            self._census = Census(float(parts[0]))
        elif kind == "top" and self._census is not None:
            f = fields(parts)
            f["pid"] = int(f["pid"])
            self._census.tops.append(f)
        elif kind == "gui" and self._census is not None:
            f = fields(parts)
            self._census.gui[f["tid"]] = f
        elif kind == "end" and self._census is not None:
            self.censuses.append(self._census)
            self._census = None


# --- the rules -----------------------------------------------------------------


class Checker:
    """Holds the program to its rules, snapshot by snapshot and click by click.

    `main_hwnd` and `pid` identify the program's window and process (as Wine
    numbers them). The checker is fed in time order; `settle(until)` decides
    the clicks whose surroundings have been seen up to `until`.
    """

    def __init__(self, main_hwnd, pid, report):
        self.main = main_hwnd
        self.pid = pid
        self.report = report  # report(when, text)
        self.main_rect = None
        self.credit = None
        self.prev_status = None
        self.prev_status_time = None  # when the previous status was last seen
        self.notice_open = set()
        self.closing_at = None  # from this moment the window is being closed on purpose
        # figures
        self.notices_opened = {NO_SELECTION: 0, ALREADY_RUNNING: 0}
        self.started = 0
        self.cancelled = 0
        self.blind_gaps = 0
        self.real_clicks = 0
        self.injected_clicks = 0
        # countdown ends: dicts with last (the reader's last look at the countdown's
        # last status), seen (its first look at the next status), from, next (the
        # two statuses), blind, clicks (the injected presses matched to it)
        self.ends = []
        self._pending_clicks = []  # injected presses not yet matched
        self._injected = []  # every injected event, for pairing presses and releases
        self.cursor_moves = []  # (time sent, x, y)
        self.status_log = []  # (first seen, status)
        self.tid = None  # the program's thread, as the census names it
        self.menu_mode = False  # the program's thread takes every key for a menu
        self.system_menu_shown = False
        self.system_menus = 0

    # -- snapshots --
    def snapshot(self, s):
        if self.closing_at is not None and s.time >= self.closing_at:
            return
        w = s.window(self.main)
        prev_line = getattr(s, "prev_line", None)
        blind = prev_line is not None and s.time - prev_line > BLIND_GAP
        if blind:
            self.blind_gaps += 1
        others = [x for x in s.windows if x.pid == self.pid and x.hwnd != self.main]
        for x in others:
            self.report(s.time, f"a second window titled {x.title!r} appeared: {x.describe()}")
        for n in s.notices:
            self._notice(s, n, w, blind)
        self.notice_open = {n.hwnd for n in s.notices if n.pid == self.pid}
        if w is None:
            self.report(s.time, "the main window is gone")
            return
        self._window(s, w, blind)

    def _window(self, s, w, blind):
        if self.main_rect is None:
            self.main_rect = w.rect
            self.credit = w.controls.get(150, {}).get("text")
            if not self.credit:
                self.report(s.time, "the credit line is empty")
        if w.rect != self.main_rect:
            self.report(s.time, f"the main window moved or changed its size: {self.main_rect} -> {w.rect}")
            self.main_rect = w.rect
        if not w.visible:
            self.report(s.time, "the main window is hidden")
        for ident, caption in ((110, CONFIRM_CAPTION), (120, CANCEL_CAPTION)):
            c = w.controls.get(ident)
            if c is None:
                self.report(s.time, f"control {ident} is gone")
            elif c["text"] != caption:
                self.report(s.time, f"button {ident} reads {c['text']!r}, not {caption!r}")
        credit = w.controls.get(150, {}).get("text")
        if credit != self.credit:
            self.report(s.time, f"the credit line changed: {self.credit!r} -> {credit!r}")
            self.credit = credit
        if self.notice_open and w.enabled:
            self.report(s.time, "the main window takes input while a notice is open")
        status = w.status
        if status is None:
            self.report(s.time, "the status label is gone")
            return
        if not status_form_ok(status):
            self.report(s.time, f"the status label shows {status!r}")
        if status != self.prev_status:
            self._status_change(s, status, blind)
            self.prev_status = status
            self.status_log.append((s.time, status))
        self.prev_status_time = s.time

    def _status_change(self, s, status, blind):
        before = self.prev_status
        now = countdown_seconds(status)
        was = countdown_seconds(before)
        if before is None:
            if status != IDLE:
                self.report(s.time, f"the first status is {status!r}, not {IDLE!r}")
            return
        if now and now[0] == "start":
            self.started += 1
        if status == CANCELLED:
            self.cancelled += 1
        # The end of a countdown: its last status, then whatever the program shows next.
        if was and not (now and now[0] == "running"):
            last_second = was[1] == 1
            if last_second or status == IDLE:
                last = getattr(s, "prev_line", None) or self.prev_status_time
                self.ends.append({"last": last, "seen": s.time, "from": before, "next": status,
                                  "blind": blind, "clicks": [], "last_second": last_second})
        if blind:
            return
        # Every tick takes exactly one second off; the start status lasts a whole period.
        if now and now[0] == "running":
            if not was or now[1] != was[1] - 1:
                self.report(s.time, f"the status went from {before!r} to {status!r}")
        if status == IDLE and not (was and was[1] == 1):
            self.report(s.time, f"the status went from {before!r} to {status!r}")

    def _notice(self, s, n, w, blind):
        if n.pid != self.pid:
            self.report(s.time, f"a dialog of another process appeared: {n.describe()}")
            return
        if n.title != NOTICE_TITLE or n.text not in (NO_SELECTION, ALREADY_RUNNING):
            self.report(s.time, f"a notice with unexpected texts: {n.describe()}")
            return
        if len([x for x in s.notices if x.pid == self.pid]) > 1:
            self.report(s.time, "more than one notice is open")
        if n.hwnd in self.notice_open or w is None:
            return
        self.notices_opened[n.text] += 1
        sel = int(w.controls.get(100, {}).get("sel", "-2"))
        # The main window is disabled while the notice is open: the list keeps the
        # selection that 确认 found.
        if n.text == NO_SELECTION and sel != -1:
            self.report(s.time, f"notice {n.text!r} while the list has item {sel} selected")
        if n.text == ALREADY_RUNNING:
            if sel == -1:
                self.report(s.time, f"notice {n.text!r} while nothing is selected")
            running_now = countdown_seconds(w.status) is not None
            running_before = countdown_seconds(self.prev_status) is not None
            if not blind and not running_now and not running_before:
                self.report(s.time, f"notice {n.text!r} with no countdown running (status {w.status!r})")

    @property
    def finished(self):
        """Countdowns that ran out: to the idle status, or with a click of the
        program that at once started or cancelled again what it landed on."""
        return sum(1 for e in self.ends if e["next"] == IDLE or e["clicks"])

    # -- the census of top-level windows --
    def census(self, c):
        menu = False
        for t in c.tops:
            if t["pid"] != self.pid:
                continue
            if t["hwnd"] == self.main:
                self.tid = t["tid"]
                continue
            # Notices are checked from the reader's side, with their texts; the
            # list's own drop-down and the window's system menu belong to the platform.
            if t["class"] == "#32768":
                menu = True
            elif t["class"] not in ("#32770", "ComboLBox"):
                self.report(c.time, f"the program shows a window of class {t['class']!r} titled {t['title']!r}")
        if menu and not self.system_menu_shown:
            self.system_menus += 1
        self.system_menu_shown = menu
        self.menu_mode = menu or (self.tid is not None and c.in_menu_mode(self.tid))

    # -- clicks --
    def cursor_sent(self, when, x, y):
        self.cursor_moves.append((when, x, y))

    def button(self, e):
        if not e.injected:
            if e.event == "LBUTTONDOWN":
                self.real_clicks += 1
            return
        self._injected.append(e)
        if e.event != "LBUTTONDOWN":
            if e.event == "LBUTTONUP":
                presses = [x for x in self._injected[:-1] if x.event in ("LBUTTONDOWN", "LBUTTONUP")]
                if not presses or presses[-1].event != "LBUTTONDOWN":
                    self.report(e.time, f"the program released the left button without pressing it: {e}")
                elif (presses[-1].x, presses[-1].y) != (e.x, e.y):
                    self.report(e.time, f"the program pressed at ({presses[-1].x}, {presses[-1].y}) "
                                        f"but released at ({e.x}, {e.y})")
            else:
                self.report(e.time, f"the program used another button: {e}")
            return
        self.injected_clicks += 1
        self._pending_clicks.append(e)

    def _cursor_near(self, when):
        """The positions the cursor may stand at around `when`: the last one sent
        before that moment, and any sent shortly before (not yet processed)."""
        before = [m for m in self.cursor_moves if m[0] <= when]
        out = {(m[1], m[2]) for m in before if m[0] >= when - CLICK_SLACK}
        if before:
            out.add((before[-1][1], before[-1][2]))
        return out

    def settle(self, until):
        """Decides the clicks whose surroundings have been seen up to `until`."""
        still = []
        for c in self._pending_clicks:
            if c.time + CLICK_SLACK > until:
                still.append(c)
                continue
            self._decide(c)
        self._pending_clicks = still
        for end in self.ends:
            # Only when every click that could belong to it has been decided.
            if end.get("decided") or end["seen"] + 2 * CLICK_SLACK > until:
                continue
            end["decided"] = True
            if end["next"] == IDLE and len(end["clicks"]) != 1:
                how = "no click" if not end["clicks"] else f"{len(end['clicks'])} clicks"
                self.report(end["seen"], f"the countdown ended ({end['from']!r} -> {end['next']!r}) with {how}")

    def _decide(self, c):
        for end in self.ends:
            if end["clicks"] or not (end["last"] - CLICK_EARLY_SLACK <= c.time <= end["seen"] + CLICK_SLACK):
                continue
            # After the last second the idle status may last too short a time for
            # the reader to see it: the program's click, or the user's click right
            # after it, may start or cancel a countdown at once. An idle status
            # before the last second is a finding of its own.
            if not end["last_second"] and not end["blind"]:
                continue
            end["clicks"].append(c)
            break
        else:
            self.report(c.time, f"the program clicked at ({c.x}, {c.y}) without a countdown ending "
                                f"(status around then: {self.status_around(c.time)})")
            return
        near = self._cursor_near(c.time)
        if near and (c.x, c.y) not in near:
            self.report(c.time, f"the program clicked at ({c.x}, {c.y}), away from the cursor "
                                f"(sent to {sorted(near)})")

    def status_around(self, when):
        seen = [f"{t - when:+.2f} s {st!r}" for t, st in self.status_log if abs(t - when) <= 2.5]
        return ", ".join(seen) if seen else f"{self.prev_status!r} throughout"
