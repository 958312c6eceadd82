#!/usr/bin/env python3
"""A seeded monkey test of Morvane.

Starts the 64-bit build under wine64 on a private screen (e2e/harness.py) and
sends it thousands of random actions as a user would, with real X input from
xdotool, always inside its window: clicks on the list (dropping it, closing
it, choosing items, scrolling), typing into the list's edit field (ASCII and
Chinese), control keys, clicks on 确认 and 取消, Tab, Shift+Tab, Space,
Enter, and the notices that come of it opened and closed again. Esc goes to
the main window only at the very end; Alt+F4 and the close button never.

All the while it holds the program to its rules (robustness/observe.py): it
never ends by itself, shows nothing but its own texts, counts down one second
per tick, and clicks only where the cursor stands, once, at the end of a
countdown. At the end Esc must still end it with exit code 0.

    python3 robustness/monkey.py [--seed N] [--seconds S] [--actions N]

Every random choice of step k comes from a generator seeded with (seed, k):
a replay with the same seed makes the same choices wherever the program
shows the same state. Exit code 0: no finding; 1: findings; 2: the test
environment failed.
"""

import argparse
import fcntl
import random
import shutil
import subprocess
import sys
import time
import traceback
from collections import Counter
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
sys.path.insert(0, str(HERE))
from observe import (ALREADY_RUNNING, CANCELLED, CLICK_SLACK, DELAYS, NO_SELECTION, Checker,  # noqa: E402
                     InputLog, ReaderLog, countdown_seconds, harness)

ASCII_POOL = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -+.,:;!?()[]{}<>/=_*#%@~'\"|&$^"
# Double-byte text, full-width digits and signs included. Not the ideographic
# space: xdotool's key for it never reaches the edit field under Wine.
CHINESE_POOL = ["中文", "秒", "分钟", "小时", "十秒", "倒计时", "确认", "取消", "三十", "３０", "１０秒", "测试",
                "你好世界", "状态", "空闲", "鼠标点击", "延迟", "－５", "请选择", "！"]
KEYS = [("Tab", 4), ("shift+Tab", 3), ("space", 3), ("Return", 3), ("BackSpace", 2), ("Delete", 2),
        ("Home", 2), ("End", 2), ("Up", 3), ("Down", 3), ("F4", 2), ("alt+Down", 2), ("Left", 1),
        ("Right", 1), ("shift+Home", 1), ("shift+End", 1)]
# Keys pressed while a notice is open that are not meant to close it.
NOTICE_STRAY_KEYS = [("Tab", 2), ("shift+Tab", 1), ("Up", 1), ("Down", 1), ("F4", 1), ("a", 1), ("1", 1)]


# The window reader writes at least five times a second; a much longer silence
# means it has stopped (it ends itself after an hour) or Wine is stuck.
READER_SILENCE = 20.0
# The harness's reader ends itself after an hour.
MAX_SECONDS = 3300


def weighted(rng, pairs):
    pairs = [(v, w) for v, w in pairs if w > 0]
    total = sum(w for _, w in pairs)
    r = rng.uniform(0, total)
    for v, w in pairs:
        r -= w
        if r <= 0:
            return v
    return pairs[-1][0]


def rect_of(text):
    return tuple(int(v) for v in text.split(",")) if text else None


def inside(rect, x, y):
    return rect is not None and rect[0] <= x < rect[2] and rect[1] <= y < rect[3]


def point_in(rng, rect, margin=3):
    left, top, right, bottom = rect
    return (rng.randint(left + margin, max(left + margin, right - 1 - margin)),
            rng.randint(top + margin, max(top + margin, bottom - 1 - margin)))


class EnvironmentFailure(Exception):
    pass


class XdoStream:
    """One xdotool that reads its commands from a pipe and runs each as it comes:
    a fresh xdotool per action would cost far more than the action."""

    def __init__(self, env):
        self.env = env
        self.proc = None

    def send(self, *args):
        if self.proc is None or self.proc.poll() is not None:
            self.proc = subprocess.Popen(["xdotool", "-"], env=self.env, stdin=subprocess.PIPE, text=True,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, bufsize=1)
        self.proc.stdin.write(" ".join(str(a) for a in args) + "\n")
        self.proc.stdin.flush()

    def close(self):
        if self.proc is not None:
            self.proc.stdin.close()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=10)
            self.proc = None


class Monkey:
    def __init__(self, args):
        self.args = args
        self.seed = args.seed
        self.run_dir = Path(args.out) / f"seed-{self.seed}"
        if self.run_dir.exists():
            shutil.rmtree(self.run_dir)
        self.run_dir.mkdir(parents=True)
        self.actions_log = open(self.run_dir / "actions.log", "w", encoding="utf-8")
        self.step = 0
        self.step_times = []  # (time sent, step)
        self.kinds = Counter()
        self.findings = []  # time, step and text of the first occurrence of each finding
        self.finding_count = Counter()
        self.checks = Counter()
        self.shots = 0
        self.t0 = None
        self.desktop = None
        self.program = None
        self.checker = None
        self.watch = None
        self.inputs = None
        self._fed_snaps = 0
        self._fed_buttons = 0
        self._fed_census = 0
        self._inputwatch = None
        self.real_clicks_sent = 0

    # --- bookkeeping -----------------------------------------------------------
    def log(self, text):
        """One line per action: step, seconds into the run, the Unix time (as in
        the reader's and the input watch's logs), what was done."""
        now = time.time()
        rel = now - self.t0 if self.t0 else 0.0
        self.actions_log.write(f"{self.step}\t{rel:9.3f}\t{now:.3f}\t{text}\n")
        self.actions_log.flush()

    def step_at(self, when):
        step = 0
        for t, s in self.step_times:
            if t <= when:
                step = s
            else:
                break
        return step

    def report(self, when, text):
        self.finding_count[text] += 1
        if self.finding_count[text] > 1:
            return
        step = self.step_at(when)
        self.findings.append({"time": when, "step": step, "text": text})
        print(f"FINDING seed {self.seed} step {step}: {text}", flush=True)
        self.log(f"FINDING (around step {step}): {text}")
        if self.shots < 3 and self.desktop is not None and self.desktop.display is not None:
            self.shots += 1
            try:
                self.desktop.screenshot(self.run_dir / f"finding-{len(self.findings)}.png")
            except Exception:  # a screenshot is a help, not a check
                pass

    # --- the helpers -------------------------------------------------------------
    def start_inputwatch(self):
        log = self.desktop.workdir / "input.log"
        self._input_stop = self.desktop.workdir / "input.stop"
        for p in (log, self._input_stop):
            if p.exists():
                p.unlink()
        self._inputwatch = subprocess.Popen(
            [harness.WINE64, str(self.args.inputwatch), "watch", harness.winpath(log),
             harness.winpath(self._input_stop)],
            env=self.desktop.env, stdin=subprocess.DEVNULL, stdout=open(self.desktop.workdir / "inputwatch.out", "wb"),
            stderr=subprocess.STDOUT, start_new_session=True)
        self.inputs = InputLog(log)
        deadline = time.time() + 120
        while not self.inputs.ready:
            self.inputs.poll()
            if self._inputwatch.poll() is not None or time.time() > deadline:
                raise EnvironmentFailure("the input watch did not come up")
            time.sleep(0.05)

    def stop_inputwatch(self):
        if self._inputwatch is None:
            return
        self._input_stop.write_text("stop\n")
        try:
            self._inputwatch.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self._inputwatch.kill()
            self._inputwatch.wait(timeout=10)
        self._inputwatch = None

    def inject_click(self, x, y):
        """One click the way a program makes it, from a Windows process of our own."""
        subprocess.run([harness.WINE64, str(self.args.inputwatch), "click", str(x), str(y)], env=self.desktop.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    def check_instrument(self):
        """A real click must come through unflagged and an injected one flagged,
        or the watch cannot tell the program's clicks from ours."""
        left, top, right, bottom = harness.TARGET_RECT
        real = ((left + right) // 2, (top + bottom) // 2)
        fake = (real[0], real[1] + 80)
        since = len(self.inputs.buttons)
        self.desktop.click(*real)
        self.inject_click(*fake)
        deadline = time.time() + 30
        while True:
            self.inputs.poll()
            got = self.inputs.buttons[since:]
            if len(got) >= 4 or time.time() > deadline:
                break
            time.sleep(0.05)
        seen = [(e.event, e.x, e.y, e.injected) for e in got]
        want = [("LBUTTONDOWN", *real, False), ("LBUTTONUP", *real, False),
                ("LBUTTONDOWN", *fake, True), ("LBUTTONUP", *fake, True)]
        if seen != want:
            raise EnvironmentFailure(f"the input watch cannot tell injected clicks from real ones here: "
                                     f"sent {want}, saw {seen}")
        self._fed_buttons = len(self.inputs.buttons)
        print("input watch: xdotool's clicks come unflagged, mouse_event's with LLMHF_INJECTED", flush=True)

    # --- observing -------------------------------------------------------------
    def observe(self):
        self.watch.poll()
        polled = time.time()
        self.inputs.poll()
        snaps = self.watch.snaps
        while self._fed_snaps < len(snaps):
            self.checker.snapshot(snaps[self._fed_snaps])
            self._fed_snaps += 1
        while self._fed_census < len(self.inputs.censuses):
            self.checker.census(self.inputs.censuses[self._fed_census])
            self._fed_census += 1
        while self._fed_buttons < len(self.inputs.buttons):
            self.checker.button(self.inputs.buttons[self._fed_buttons])
            self._fed_buttons += 1
        if polled - self.watch.seen_until > READER_SILENCE:
            raise EnvironmentFailure(f"the window reader has reported nothing for {READER_SILENCE:.0f} s")
        self.checker.settle(min(self.watch.seen_until, polled))
        if self.checker.closing_at is None and not self.program.alive():
            self.report(time.time(), f"the program ended by itself (exit code {self.program.proc.returncode})")
            raise ProgramGone()

    def settle(self, quiet=0.3, timeout=8.0):
        """The state once nothing has changed for `quiet` seconds; None if it keeps changing."""
        asked = time.time()
        deadline = asked + timeout
        while True:
            self.observe()
            w = self.watch
            if w.latest and w.seen_until >= asked + quiet and w.seen_until - w.latest.time >= quiet:
                return w.latest
            if time.time() > deadline:
                return None
            time.sleep(0.02)

    def wait_for(self, pred, timeout, include_current=False):
        """The first snapshot from now on (or the current one) that satisfies pred, or None."""
        start = max(0, len(self.watch.snaps) - (1 if include_current else 0))
        deadline = time.time() + timeout
        while time.time() < deadline:
            self.observe()
            for s in self.watch.snaps[start:]:
                if pred(s):
                    return s
            start = max(start, len(self.watch.snaps) - 1)
            time.sleep(0.03)
        return None

    def wait_real_click(self, since, at, timeout=10.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            self.observe()
            if any(not e.injected and e.time >= since and (e.x, e.y) == at and e.event == "LBUTTONUP"
                   for e in self.inputs.buttons):
                return True
            time.sleep(0.05)
        return False

    def injected_since(self, when):
        return any(e.injected and e.time >= when for e in self.inputs.buttons)

    # --- the state -------------------------------------------------------------
    def main_window(self, s):
        return s.window(self.program.hwnd) if s else None

    def notice(self, s):
        mine = [n for n in (s.notices if s else []) if n.pid == self.checker.pid]
        return mine[0] if mine else None

    def geometry(self, w):
        """Screen rectangles of the parts of the main window the monkey aims at."""
        g = {ident: rect_of(c["rect"]) for ident, c in w.controls.items()}
        left, top, right, bottom = g[100]
        # The list sits at (16, 38) of the client area; the frame is as wide left and right.
        cx, cy = left - 16, top - 38
        border = cx - w.rect[0]
        g["client"] = (cx, cy, w.rect[2] - border, w.rect[3] - border)
        g["edit"] = (left, top, right - 20, bottom)
        g["arrow"] = (right - 16, top, right, bottom)
        return g

    # --- actions -----------------------------------------------------------------
    def click(self, x, y, kind, double=False):
        t = time.time()
        self.checker.cursor_sent(t, x, y)
        self.xdo.send("mousemove", x, y, "click", *(["--repeat", 2, "--delay", 60] if double else ["--delay", 0]), 1)
        self.real_clicks_sent += 2 if double else 1
        self.sent(kind, f"click{' x2' if double else ''} at ({x}, {y})", t)

    def move(self, x, y, kind):
        t = time.time()
        self.checker.cursor_sent(t, x, y)
        self.xdo.send("mousemove", x, y)
        self.sent(kind, f"move to ({x}, {y})", t)

    def key(self, keys, kind):
        t = time.time()
        self.xdo.send("key", keys)
        self.sent(kind, f"key {keys}", t)

    def type_text(self, text, kind):
        t = time.time()
        # A character outside the keyboard map is typed by remapping a spare key
        # for it; Wine loses it when the next remapping comes too soon.
        delay = 20 if text.isascii() else 100
        self.desktop.xdo("type", "--delay", delay, "--", text)
        self.sent(kind, f"type {text!r}", t)
        return t

    def sent(self, kind, detail, when):
        self.step_times.append((when, self.step))
        self.kinds[kind] += 1
        self.log(f"{kind}\t{detail}")

    def act(self, rng):
        if self.checker.menu_mode:
            self.leave_menu_mode()
            return
        s = self.watch.latest
        w = self.main_window(s)
        if w is None or any(i not in w.controls for i in (100, 110, 120, 140, 150)):
            time.sleep(0.05)
            return
        g = self.geometry(w)
        notice = self.notice(s)
        if notice is not None:
            return self.act_on_notice(rng, s, w, g, notice)
        fg = s.env.get("foreground")
        keys_reach = fg == w.hwnd
        dropped = self.dropped_list(s)
        # Leaning towards letting short countdowns run out, so that the program clicks now and then.
        left = countdown_seconds(w.status)
        ending = left is not None and left[1] <= 4
        short_chosen = left is None and w.controls[100].get("sel") in ("0", "1")
        choice = weighted(rng, [
            ("click 确认", 16 if short_chosen else 10), ("click 取消", 0.3 if ending else 3),
            ("click list edit", 5), ("click list arrow", 8),
            ("choose item", 14 if dropped else 0), ("click list scrollbar", 1 if dropped else 0),
            ("click elsewhere", 3), ("double click", 2), ("move", 8 if ending else 4),
            ("key", 26 if keys_reach else 0), ("type ascii", 5 if keys_reach else 0),
            ("type chinese", 5 if keys_reach else 0), ("wait", 4 if ending else 1)])
        if choice == "click 确认":
            if rng.random() < 0.25:
                self.confirm_checked(rng)
            else:
                self.click(*point_in(rng, g[110]), choice)
        elif choice == "click 取消":
            if rng.random() < 0.4:
                self.cancel_checked(rng)
            else:
                self.click(*point_in(rng, g[120]), choice)
        elif choice == "click list edit":
            self.click(*point_in(rng, g["edit"]), choice)
        elif choice == "click list arrow":
            self.click(*point_in(rng, g["arrow"], margin=4), choice)
            if not dropped and rng.random() < 0.6:
                # Often straight on to a row, as a user picks a delay.
                shown = self.wait_for(self.dropped_list, 2.0)
                if shown is not None:
                    self.choose_item(rng, self.main_window(shown), checked=rng.random() < 0.25)
        elif choice == "choose item":
            self.choose_item(rng, w, checked=rng.random() < 0.25)
        elif choice == "click list scrollbar":
            d = w.droplist
            cx, cy, cw, ch = (int(v) for v in d["client"].split(","))
            rect = rect_of(d["rect"])
            if rect[2] - 2 > cx + cw:
                self.click(rng.randint(cx + cw, rect[2] - 2), rng.randint(cy + 1, cy + ch - 2), choice)
            else:
                self.choose_item(rng, w, checked=False)
        elif choice == "click elsewhere":
            self.click(*self.neutral_point(rng, g), choice)
        elif choice == "double click":
            target = weighted(rng, [(110, 2), ("edit", 2), ("arrow", 1), (140, 1)])
            self.click(*point_in(rng, g[target]), choice, double=True)
        elif choice == "move":
            target = weighted(rng, [(110, 3), (120, 1), ("edit", 1), ("arrow", 1), (140, 2), (150, 1)])
            self.move(*point_in(rng, g[target]), choice)
        elif choice == "key":
            keys = weighted(rng, KEYS)
            self.key(keys, "key")
            if "alt+" in keys:
                self.leave_menu_mode()
        elif choice in ("type ascii", "type chinese"):
            if choice == "type ascii":
                text = "".join(rng.choice(ASCII_POOL) for _ in range(rng.randint(1, 8)))
            else:
                text = "".join(rng.choice(CHINESE_POOL) for _ in range(rng.randint(1, 2)))
            self.type_into_list(text, choice, checked=rng.random() < 0.3)
        else:
            pause = rng.uniform(0.2, 1.0)
            self.sent("wait", f"{pause:.2f} s", time.time())
            self.idle(pause)

    def dropped_list(self, s):
        w = self.main_window(s)
        return w is not None and w.droplist is not None and w.controls.get(100, {}).get("dropped") == "1" \
            and self.notice(s) is None

    def ready_for_a_check(self):
        """The settled state, if the next click on a button is sure to reach it and
        no countdown is about to end meanwhile; else None."""
        s = self.settle()
        w = self.main_window(s)
        if w is None or self.notice(s) is not None or self.dropped_list(s) or self.checker.menu_mode \
                or not w.enabled or s.env.get("foreground") != w.hwnd:
            return None
        left = countdown_seconds(w.status)
        if left and left[1] <= 2:
            return None
        return s

    def confirm_checked(self, rng):
        """确认 from a known state: the notice for no selection, the notice for a
        running countdown (which goes on), or the start with the selected delay."""
        s = self.ready_for_a_check()
        w = self.main_window(s or self.watch.latest)
        if w is None:
            return
        t = time.time()
        self.click(*point_in(rng, self.geometry(w)[110]), "click 确认")
        if s is None:
            self.checks["确认 not checked"] += 1
            return
        sel = int(w.controls[100].get("sel", "-1"))
        left = countdown_seconds(w.status)
        if sel == -1:
            want, pred = f"the notice {NO_SELECTION!r}", lambda x: self.notice_text(x) == NO_SELECTION
        elif left:
            want = f"the notice {ALREADY_RUNNING!r} with the countdown going on from {left[1]} s"
            pred = lambda x: self.notice_text(x) == ALREADY_RUNNING and (  # noqa: E731
                countdown_seconds(self.status(x)) or ("", 99999))[1] <= left[1]
        else:
            seconds = DELAYS[sel][1] // 1000
            want, pred = f"the start status with {seconds} s ({DELAYS[sel][0]})", \
                lambda x: self.status(x) == f"倒计时开始，剩余：{seconds} 秒"
        self.expect(pred, t, f"确认 with item {sel} selected and status {w.status!r}", want, "确认 checked")

    def cancel_checked(self, rng):
        """取消 from a known state: the cancelled status, and no tick after it."""
        s = self.ready_for_a_check()
        w = self.main_window(s or self.watch.latest)
        if w is None:
            return
        t = time.time()
        self.click(*point_in(rng, self.geometry(w)[120]), "click 取消")
        if s is None:
            self.checks["取消 not checked"] += 1
            return
        if not self.expect(lambda x: self.status(x) == CANCELLED, t, f"取消 with status {w.status!r}",
                           f"the status {CANCELLED!r}", "取消 checked", include_current=True):
            return
        if countdown_seconds(w.status):
            # A tick still to come would show within a period.
            self.idle(1.5)
            if self.status(self.watch.latest) != CANCELLED and not self.injected_since(t):
                self.report(time.time(), f"after 取消 the status went on to {self.status(self.watch.latest)!r}")

    def expect(self, pred, since, what, want, figure, timeout=10.0, include_current=False):
        """Waits for pred; a finding when it does not come, unless a click of the
        program came in between (it may have changed everything)."""
        got = self.wait_for(pred, timeout, include_current)
        if self.injected_since(since):
            self.checks[f"{figure.split()[0]} not checked"] += 1
            return False
        if got is None:
            self.report(time.time(), f"{what}: expected {want}, the program shows "
                                     f"{self.describe(self.watch.latest)}")
            return False
        self.checks[figure] += 1
        return True

    def status(self, s):
        w = self.main_window(s)
        return w.status if w else None

    def notice_text(self, s):
        n = self.notice(s)
        return n.text if n else None

    def describe(self, s):
        return s.describe() if s else "nothing"

    def neutral_point(self, rng, g):
        """A point of the client area on a label or on no control at all."""
        for _ in range(50):
            x, y = point_in(rng, g["client"])
            if not any(inside(g[i], x, y) for i in (100, 110, 120)):
                return x, y
        return point_in(rng, g[140])

    def act_on_notice(self, rng, s, w, g, notice):
        fg = s.env.get("foreground")
        choice = weighted(rng, [("notice Enter", 4), ("notice Space", 2), ("notice click OK", 4),
                                ("notice Escape", 3), ("click disabled window", 2), ("notice stray key", 2),
                                ("wait", 2)])
        if choice in ("notice Enter", "notice Space", "notice stray key", "notice Escape") and fg != notice.hwnd:
            choice = "notice click OK"
        if choice == "notice Escape":
            self.escape_notice(notice, w)
        elif choice == "notice Enter":
            self.key("Return", choice)
        elif choice == "notice Space":
            self.key("space", choice)
        elif choice == "notice stray key":
            self.key(weighted(rng, NOTICE_STRAY_KEYS), choice)
        elif choice == "notice click OK":
            buttons = notice.buttons()
            if buttons:
                self.click(*point_in(rng, rect_of(buttons[0]["rect"])), choice)
            else:
                self.key("Return", "notice Enter")
        elif choice == "click disabled window":
            target = weighted(rng, [(110, 2), (120, 1), ("edit", 1), ("arrow", 1), ("client", 1)])
            self.click(*point_in(rng, g[target]), choice)
        else:
            pause = rng.uniform(0.2, 1.0)
            self.sent("wait", f"{pause:.2f} s", time.time())
            self.idle(pause)

    def leave_menu_mode(self):
        """Under Wine, Alt+Down on the list leaves the window in menu mode when Alt
        comes up (the list takes the Down, so Alt counts as pressed alone). In
        that mode every key goes to the system menu, whose letters close, move or
        minimise the window. Esc leaves the mode and is consumed by the menu's
        own loop; it must not arrive after a click of the program has ended the
        mode already, so not while a countdown is about to end."""
        for _ in range(8):
            s = self.settle()
            if not self.checker.menu_mode:
                return
            w = self.main_window(s)
            left = countdown_seconds(w.status) if w else None
            if s is None or (left and left[1] <= 2):
                self.idle(1.5)
                continue
            self.key("Escape", "leave menu mode")
            self.checks["menu mode left with Esc"] += 1
        if self.checker.menu_mode:
            raise EnvironmentFailure("the main window stays in menu mode")

    def escape_notice(self, notice, w):
        """Esc for a notice, only when it is certain to reach the notice: a stray
        Esc on the main window would end the program."""
        s = self.settle()
        n = self.notice(s)
        mw = self.main_window(s)
        near_end = mw is not None and (countdown_seconds(mw.status) or ("", 99))[1] <= 2
        if s is None or n is None or s.env.get("foreground") != n.hwnd or near_end:
            self.key("Return", "notice Enter")
            return
        self.key("Escape", "notice Escape")
        self.checks["notice closed by Esc"] += 1
        gone = self.wait_for(lambda x: self.notice(x) is None, 10)
        if gone is None:
            self.report(time.time(), "a notice stayed open after Esc")

    def choose_item(self, rng, w, checked):
        """Clicks a row of the dropped list; checked: the list must then hold that item."""
        if checked:
            s = self.settle()
            w = self.main_window(s)
            if w is None or self.notice(s) is not None or w.droplist is None:
                self.checks["list choice not checked"] += 1
                return
        d = w.droplist
        cx, cy, cw, ch = (int(v) for v in d["client"].split(","))
        ih, top, count = int(d["itemheight"]), int(d["top"]), int(d["count"])
        rows = max(1, min(ch // max(ih, 1), count - top))
        # Mostly the short delays, so that countdowns run out during the test.
        wanted = [(i, 8 if i < 2 else 4 if i < 4 else 1) for i in range(top, top + rows)]
        index = weighted(rng, wanted)
        row = index - top
        x = rng.randint(cx + 3, cx + cw - 4)
        y = cy + row * ih + rng.randint(2, max(2, ih - 3))
        t = time.time()
        self.click(x, y, "choose item")
        if not checked:
            return
        want_text = DELAYS[index][0] if index < len(DELAYS) else None

        def chosen(s):
            mw = self.main_window(s)
            c = mw.controls.get(100, {}) if mw else {}
            return c.get("sel") == str(index) and c.get("dropped") == "0" and c.get("text") == want_text

        got = self.wait_for(chosen, 10)
        if self.injected_since(t) or self.notice(self.watch.latest) is not None:
            self.checks["list choice not checked"] += 1
        elif got is None:
            mw = self.main_window(self.watch.latest)
            self.report(time.time(), f"choosing row {index} ({want_text}) of the dropped list did not select it: "
                                     f"{mw.describe() if mw else 'no window'}")
        else:
            self.checks["list choice arrived"] += 1

    def type_into_list(self, text, kind, checked):
        """Types text; checked: with the focus in the list's edit field, the text must arrive there."""
        if not checked:
            self.type_text(text, kind)
            return
        s = self.settle()
        w = self.main_window(s)
        # Text that the field holds already could not show whether the keys arrived.
        ok = (w is not None and self.notice(s) is None and w.enabled and s.env.get("foreground") == w.hwnd
              and w.focus is not None and w.focus.get("class", "").lower() == "edit" and w.focus_id == 100
              and text not in w.controls[100].get("text", ""))
        if not ok:
            self.checks["typing not checked"] += 1
            self.type_text(text, kind)
            return
        t = self.type_text(text, kind)
        got = self.wait_for(lambda x: text in (self.main_window(x).controls.get(100, {}).get("text", "")
                                               if self.main_window(x) else ""), 10)
        if self.injected_since(t) or self.notice(self.watch.latest) is not None:
            self.checks["typing not checked"] += 1
        elif got is None:
            mw = self.main_window(self.watch.latest)
            self.report(time.time(), f"typed {text!r} into the list's edit field, which then read "
                                     f"{mw.controls.get(100, {}).get('text') if mw else None!r}")
        else:
            self.checks[f"{kind} arrived"] += 1

    def drain_logs(self, seconds):
        """Feeds the checker what the logs still bring, the program gone or not."""
        end = time.time() + seconds
        while time.time() < end:
            try:
                self.observe()
            except ProgramGone:
                pass
            time.sleep(0.05)

    def idle(self, seconds):
        end = time.time() + seconds
        while time.time() < end:
            self.observe()
            time.sleep(0.05)

    # --- the run -----------------------------------------------------------------
    def check_items(self, when):
        s = self.desktop.snapshot()
        w = self.main_window(s)
        if w is None:
            self.report(time.time(), f"no main window {when}")
            return
        if w.items != DELAYS:
            self.report(time.time(), f"the list's items {when} are {w.items}")

    def run(self):
        a = self.args
        print(f"monkey: seed {self.seed} (replay: bash scripts/monkey.sh --seed {self.seed}), "
              f"up to {a.seconds:g} s and {a.actions} actions", flush=True)
        workdir = self.run_dir / "desktop"
        announce_wait_for_prefix(a.prefix)
        with harness.Desktop(workdir, a.prefix, a.tools, log=lambda m: print(f"  [{m}]", flush=True)) as d:
            self.desktop = d
            self.xdo = XdoStream(d.env)
            try:
                self.start_inputwatch()
                self.check_instrument()
                self.watch = ReaderLog(d.workdir / "watch.log")
                self.program = d.start_program(a.exe, tag="morvane")
                first = self.program.first_shown.window(self.program.hwnd)
                self.checker = Checker(self.program.hwnd, first.pid, self.report)
                self.skip_start_up()
                self.t0 = time.time()
                self.check_items("at start")
                try:
                    self.loop()
                    self.finish()
                except ProgramGone:
                    pass
                self.drain_logs(1.0)
                self.checker.settle(float("inf"))  # every click and countdown end left is decided now
            finally:
                self.xdo.close()
                self.stop_inputwatch()
                if self.program is not None:
                    self.program.kill()
        return self.summary()

    def skip_start_up(self):
        """The checks begin with the first picture of the window: before it the
        program is still building it."""
        deadline = time.time() + 60
        while time.time() < deadline:
            self.watch.poll()
            for i, s in enumerate(self.watch.snaps):
                w = s.window(self.program.hwnd)
                if w is not None and w.visible:
                    self._fed_snaps = i
                    return
            time.sleep(0.05)
        raise EnvironmentFailure("the reader's log never showed the program's window")

    def loop(self):
        a = self.args
        deadline = self.t0 + a.seconds
        while self.step < a.actions and time.time() < deadline:
            self.observe()
            self.step += 1
            rng = random.Random(f"{self.seed}:{self.step}")
            if a.plant_stray_click == self.step:
                self.plant_stray_click()
            else:
                self.act(rng)
            time.sleep(rng.uniform(0.01, 0.10))

    def plant_stray_click(self):
        """A click injected by us, not by the program: the run must report it."""
        w = self.main_window(self.settle() or self.watch.latest)
        if w is None:
            return
        g = self.geometry(w)
        x, y = (g[140][0] + g[140][2]) // 2, (g[140][1] + g[140][3]) // 2
        t = time.time()
        self.checker.cursor_sent(t, x, y)
        self.inject_click(x, y)
        self.sent("planted injected click", f"at ({x}, {y})", t)

    def finish(self):
        """Closes what is open, lets the checks catch up, then Esc must end the program with 0."""
        for attempt in range(20):
            s = self.settle()
            w = self.main_window(s)
            if w is None:
                break
            if self.checker.menu_mode:
                self.leave_menu_mode()
                continue
            g = self.geometry(w)
            n = self.notice(s)
            if n is not None:
                self.key("Return", "final: close notice")
                continue
            # A click on the status label brings the window to the front and changes
            # nothing else, and the cursor rests where a countdown's last click
            # changes nothing either. The input watch must see it: it still sees
            # every click that reaches a window.
            label = point_in(random.Random(f"{self.seed}:end"), g[140])
            t = time.time()
            self.click(*label, "final: click status label")
            if not self.wait_real_click(t, label):
                raise EnvironmentFailure("the input watch no longer sees real clicks")
            s = self.settle()
            w = self.main_window(s)
            if w is None or s.env.get("foreground") != w.hwnd:
                continue
            left = countdown_seconds(w.status)
            if left and left[1] <= 2:
                self.idle(3.0)
                continue
            break
        s = self.settle()
        if s is None or self.notice(s) is not None or s.env.get("foreground") != self.program.hwnd \
                or self.checker.menu_mode:
            raise EnvironmentFailure(f"could not bring the main window to the front for the final Esc: "
                                     f"{s.describe() if s else 'the state kept changing'}")
        self.idle(2 * CLICK_SLACK + 0.5)  # every click and countdown end so far can be decided
        self.check_items("at the end")
        self.final_stance()
        self.step += 1
        self.checker.closing_at = time.time()
        self.key("Escape", "final Esc")
        try:
            code = self.program.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.report(time.time(), "Esc on the main window did not end the program within 30 s")
            return
        if code != 0:
            self.report(time.time(), f"the program ended with exit code {code} after Esc, not 0")

    def final_stance(self):
        """Esc closes the window wherever the focus is: on the list, on a button,
        with the list dropped down."""
        self.step += 1
        rng = random.Random(f"{self.seed}:final")
        stance = weighted(rng, [("as it is", 2), ("Tab", 1), ("shift+Tab", 1), ("list dropped", 2)])
        if stance in ("Tab", "shift+Tab"):
            self.key(stance, "final: focus")
        elif stance == "list dropped":
            w = self.main_window(self.watch.latest)
            self.click(*point_in(rng, self.geometry(w)["arrow"], margin=4), "final: drop the list")
            if self.wait_for(self.dropped_list, 5.0) is None:
                self.log("final: the list did not drop")
        s = self.settle()
        if s is None or self.notice(s) is not None or s.env.get("foreground") != self.program.hwnd \
                or self.checker.menu_mode:
            raise EnvironmentFailure(f"the main window is not ready for the final Esc: "
                                     f"{s.describe() if s else 'the state kept changing'}")
        w = self.main_window(s)
        self.log(f"final Esc with {w.describe()}")

    def summary(self):
        c = self.checker
        duration = time.time() - self.t0 if self.t0 else 0.0
        lines = [f"seed: {self.seed}", f"duration of the run: {duration:.0f} s",
                 f"actions sent: {sum(self.kinds.values())} in {self.step} steps"]
        lines += [f"  {k}: {v}" for k, v in sorted(self.kinds.items(), key=lambda kv: (-kv[1], kv[0]))]
        if c is not None:
            lines += [f"notices opened: {sum(c.notices_opened.values())} "
                      + ", ".join(f"{t!r}: {n}" for t, n in c.notices_opened.items()),
                      f"countdowns started: {c.started}, finished: {c.finished}, cancelled: {c.cancelled}",
                      f"clicks of the program observed: {c.injected_clicks} "
                      f"(matched to countdown ends: {sum(len(e['clicks']) for e in c.ends)})",
                      # Wine drops a click whose window goes away before the click is handled.
                      f"real clicks sent: {self.real_clicks_sent}, seen by the input watch: {c.real_clicks}",
                      f"reader blind spells: {c.blind_gaps}",
                      f"system menus shown (Wine's menu mode after Alt+Down): {c.system_menus}"]
        lines += [f"{k}: {v}" for k, v in sorted(self.checks.items())]
        lines.append(f"findings: {len(self.findings)}")
        for f in self.findings:
            n = self.finding_count[f["text"]]
            lines.append(f"  step {f['step']}: {f['text']}" + (f" (seen {n} times)" if n > 1 else ""))
        lines.append(f"logs: {self.run_dir}")
        text = "\n".join(lines)
        print(text, flush=True)
        (self.run_dir / "summary.txt").write_text(text + "\n", encoding="utf-8")
        self.log("summary\n" + text)
        return 1 if self.findings else 0


class ProgramGone(Exception):
    pass


def announce_wait_for_prefix(prefix):
    """The harness takes the prefix for one suite at a time and waits quietly
    while another holds it; say so, or a long wait looks like a hang."""
    with open(str(prefix) + ".lock", "a") as f:
        try:
            fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
            fcntl.flock(f, fcntl.LOCK_UN)
        except BlockingIOError:
            print(f"monkey: waiting for {prefix}, in use by another suite", flush=True)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--seed", type=int, default=None, help="seed of every random choice (default: a new one)")
    ap.add_argument("--seconds", type=float, default=150.0, help="how long to send actions (default 150)")
    ap.add_argument("--actions", type=int, default=20000, help="at most this many actions (default 20000)")
    ap.add_argument("--exe", default=str(ROOT / "build/win64/shell/Morvane.exe"))
    ap.add_argument("--tools", default=str(ROOT / "build/robustness/e2e-tools"),
                    help="folder of clicktarget.exe and winreader.exe")
    ap.add_argument("--inputwatch", default=str(ROOT / "build/robustness/tools/inputwatch.exe"))
    ap.add_argument("--prefix", default=str(ROOT / "build/wine-e2e"),
                    help="Wine prefix (default: the one the end-to-end tests use; runs wait for each other)")
    ap.add_argument("--out", default=str(ROOT / "build/robustness/runs"), help="where each seed's logs go")
    ap.add_argument("--plant-stray-click", type=int, default=None, metavar="STEP",
                    help="at this step inject a click ourselves, which the run must report (checks the check)")
    args = ap.parse_args(argv)
    if not 0 < args.seconds <= MAX_SECONDS:
        ap.error(f"--seconds must lie between 0 and {MAX_SECONDS}: the window reader stops after an hour "
                 f"(run several seeds for longer)")
    for name in ("exe", "tools", "inputwatch", "prefix", "out"):  # Wine wants absolute paths
        setattr(args, name, Path(getattr(args, name)).resolve())
    if args.seed is None:
        args.seed = random.SystemRandom().randrange(1, 2**31)
    for p in (args.exe, args.inputwatch, Path(args.tools) / "winreader.exe", Path(args.tools) / "clicktarget.exe"):
        if not Path(p).is_file():
            print(f"monkey: {p} is missing (scripts/monkey.sh builds it)", file=sys.stderr)
            return 2
    m = Monkey(args)
    try:
        return m.run()
    except (EnvironmentFailure, harness.HarnessError) as e:
        print(f"monkey: the test environment failed (seed {args.seed}, step {m.step}): {e}", file=sys.stderr)
    except Exception:
        print(f"monkey: the test itself failed (seed {args.seed}, step {m.step}):\n{traceback.format_exc()}",
              file=sys.stderr)
    m.summary()
    return 2


if __name__ == "__main__":
    sys.exit(main())
