#!/usr/bin/env python3
"""Morvane end to end: the program as users meet it, with real X input.

Starts a private Xvfb, a Wine prefix of its own on a 1920 x 1080 virtual
desktop, a click target and a window reader (see harness.py), then runs each
scenario against fresh copies of the program and prints one line per
scenario. Exit code 1 when any scenario fails.

    e2e.py --exe build/win64/shell/Morvane.exe --tools build/e2e/tools
"""

import argparse
import shutil
import signal
import sys
import time
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness import ROOT, Desktop, Failure, HarnessError, TARGET_RECT, WINE64  # noqa: E402

DELAYS = [("3秒", 3000), ("10秒", 10000), ("15秒", 15000), ("30秒", 30000), ("1分钟", 60000),
          ("5分钟", 300000), ("10分钟", 600000), ("20分钟", 1200000), ("30分钟", 1800000),
          ("1小时", 3600000), ("2小时", 7200000), ("3小时", 10800000), ("4小时", 14400000),
          ("5小时", 18000000), ("6小时", 21600000), ("7小时", 25200000), ("8小时", 28800000)]
IDLE = "状态：空闲"
CANCELLED = "状态：已取消，空闲"
NOTICE_TITLE = "提示"
NO_SELECTION = "请在下拉框选择延迟时间！"
ALREADY_RUNNING = "倒计时运行中，请先取消！"


def started(seconds):
    return f"倒计时开始，剩余：{seconds} 秒"


def running(seconds):
    return f"倒计时中，剩余：{seconds} 秒"


LIST, CONFIRM, CANCEL, TIMER, STATUS, CREDIT = 100, 110, 120, 130, 140, 150
TITLE = "Morvane"
# Centred on the 1920 x 1080 screen: ((1920 - 267) / 2, (1080 - 198) / 2).
WINDOW_RECT = (826, 441, 1093, 639)
# Client-area places of the visible controls: left, top, width, height (None:
# the list's height is the selection field's own).
LAYOUT = {LIST: (16, 38, 132, None), CONFIRM: (168, 32, 80, 32), CANCEL: (168, 80, 80, 32),
          STATUS: (16, 80, 152, 32), CREDIT: (32, 144, 216, 24)}
# Points on the click target, away from the program's window.
SPOT_A, SPOT_B, SPOT_C = (210, 300), (430, 760), (330, 520)
assert all(TARGET_RECT[0] < x < TARGET_RECT[2] and TARGET_RECT[1] < y < TARGET_RECT[3]
           for x, y in (SPOT_A, SPOT_B, SPOT_C))


def expect(cond, message):
    if not cond:
        raise Failure(message)


def expect_equal(actual, wanted, what):
    if actual != wanted:
        raise Failure(f"{what}: expected {wanted!r}, got {actual!r}")


def rect_of(control):
    return tuple(int(v) for v in control["rect"].split(","))


class Run:
    """The scenarios' view of the desktop: programs, input and waiting."""

    def __init__(self, desktop, exe, shots):
        self.d = desktop
        self.exe = exe
        self.shots = shots
        self.watch = desktop.watch

    def start(self):
        return self.d.start_program(self.exe, WINE64)

    def window(self, p):
        self.watch.poll()
        w = self.watch.latest.window(p.hwnd)
        if w is None:
            raise Failure(f"the window of pid {p.pid} is gone")
        return w

    def wait(self, p, pred, what, timeout=15.0, after=0.0):
        def ok(s):
            w = s.window(p.hwnd)
            return w is not None and pred(w, s)
        return self.watch.wait(ok, what, timeout=timeout, after=after).window(p.hwnd)

    def wait_status(self, p, text, timeout=15.0, after=0.0):
        return self.wait(p, lambda w, s: w.status == text, f"status {text!r}", timeout, after)

    def wait_focus(self, p, ident, after):
        return self.wait(p, lambda w, s: w.focus_id == ident, f"focus on control {ident}", 10, after)

    def wait_notice(self, p, after, timeout=15.0):
        s = self.watch.wait(lambda s: any(n.pid == p.win_pid for n in s.notices), "a notice box", timeout, after)
        return next(n for n in s.notices if n.pid == p.win_pid)

    def notices_of(self, p, snapshot):
        return [n for n in snapshot.notices if n.pid == p.win_pid]

    def settled(self, p, after, quiet=0.8):
        """The window's state once nothing more followed an action for a while."""
        s = self.watch.settle(after, quiet)
        w = s.window(p.hwnd)
        if w is None:
            raise Failure(f"the window of pid {p.pid} is gone")
        return w, s

    def press(self, p, ident):
        x, y = self.window(p).center(ident)
        return self.d.click(x, y)

    def open_list(self, p):
        left, top, right, bottom = rect_of(self.window(p).control(LIST))
        t = self.d.click(right - 8, (top + bottom) // 2)  # the drop-down arrow
        return self.wait(p, lambda w, s: w.droplist is not None and w.control(LIST)["dropped"] == "1",
                         "the dropped list", 10, t)

    def choose(self, p, index):
        """Picks a delay with the mouse in the dropped list."""
        w = self.open_list(p)
        deadline = time.time() + 10
        while int(w.droplist["top"]) > index:
            x, y, cw, ch = (int(v) for v in w.droplist["client"].split(","))
            self.d.xdo("mousemove", x + cw // 2, y + ch // 2, "click", 4)  # wheel up
            top = int(w.droplist["top"])
            w = self.wait(p, lambda w, s: w.droplist is not None and int(w.droplist["top"]) < top,
                          "the dropped list to scroll up", 10, time.time())
            expect(time.time() < deadline, "the dropped list does not scroll")
        x, y, cw, ch = (int(v) for v in w.droplist["client"].split(","))
        row = int(w.droplist["itemheight"])
        t = self.d.click(x + cw // 3, y + (index - int(w.droplist["top"])) * row + row // 2)
        w = self.wait(p, lambda w, s: w.control(LIST)["dropped"] == "0" and w.control(LIST)["sel"] == str(index),
                      f"{DELAYS[index][0]} chosen", 10, t)
        expect_equal(w.text(LIST), DELAYS[index][0], "the list's field after the choice")
        return w

    def type_into_field(self, p, text):
        """Clicks into the list's edit field and types, so that no item stays selected."""
        left, top, right, bottom = rect_of(self.window(p).control(LIST))
        self.d.click(left + 12, (top + bottom) // 2)
        self.d.xdo("type", "--delay", "30", text)
        t = time.time()
        return self.wait(p, lambda w, s: w.control(LIST)["sel"] == "-1" and text in w.text(LIST),
                         f"{text!r} typed into the list's field", 10, t)

    def ends_with_code_zero(self, p, close, what):
        t = close()
        rc = p.wait_exit(30)
        expect_equal(rc, 0, f"exit code after {what}")
        self.watch.wait(lambda s: s.window(p.hwnd) is None, "the window to go", 10, t)

    def clicks_since(self, t):
        return self.d.clicks.entries(since=t)

    def expect_one_click_at(self, since, spot):
        entries = self.d.clicks.wait(2, since, timeout=10)
        got = [(m, x, y) for _, m, x, y in entries]
        expect_equal(got, [("LBUTTONDOWN", *spot), ("LBUTTONUP", *spot)], "mouse messages on the click target")
        return entries

    def shot(self, name, crop=None):
        self.watch.settle(time.time(), 0.4)  # lets a window that has just appeared paint itself
        return self.d.screenshot(self.shots / f"{name}.png", crop)


# --- scenarios -------------------------------------------------------------

def scenario_start(r):
    """The first picture: filled list with 10秒, idle status, credit, focus in the list, centred."""
    p = r.start()
    first = p.first_shown.window(p.hwnd)
    expect_equal((first.status, first.text(LIST), first.control(LIST)["sel"], first.control(LIST)["count"]),
                 (IDLE, "10秒", "1", "17"), "status, list field, selection and item count in the first picture")
    s = r.d.snapshot()
    w = s.window(p.hwnd)
    expect_equal(w.title, TITLE, "title")
    expect_equal(w.rect, WINDOW_RECT, "window rectangle on the 1920 x 1080 desktop")
    expect_equal(w.items, DELAYS, "the list's items with their values, in order")
    expect_equal(w.text(CONFIRM), "确认", "confirm button")
    expect_equal(w.text(CANCEL), "取消", "cancel button")
    expect_equal(w.status, IDLE, "status")
    expect(w.text(CREDIT).strip() != "", "the credit line is empty")
    expect_equal(w.focus_id, LIST, "control with the keyboard focus")
    expect(w.control(TIMER)["visible"] == "0", "the timer's window is visible")
    # The layout, measured from the confirm button's place in the client area.
    ox = rect_of(w.control(CONFIRM))[0] - LAYOUT[CONFIRM][0]
    oy = rect_of(w.control(CONFIRM))[1] - LAYOUT[CONFIRM][1]
    for ident, (left, top, width, height) in LAYOUT.items():
        c = w.control(ident)
        expect(c["visible"] == "1" and c["enabled"] == "1", f"control {ident} is not visible and enabled")
        l, t, rgt, b = rect_of(c)
        got = (l - ox, t - oy, rgt - l, (b - t) if height else None)
        expect_equal(got, (left, top, width, height), f"place of control {ident} in the client area")
    r.shot("01-start")
    crop = (WINDOW_RECT[0] - 16, WINDOW_RECT[1] - 16, WINDOW_RECT[2] + 16, WINDOW_RECT[3] + 16)
    r.shot("start-window", crop)
    r.ends_with_code_zero(p, lambda: r.d.key("Escape"), "Esc")


def scenario_countdown(r):
    """3秒 picked with the mouse counts 3, 2, 1 and clicks where the cursor ends up."""
    p = r.start()
    r.choose(p, 0)
    r.shot("02-list-dropped-choice")
    t0 = r.press(p, CONFIRM)
    r.wait_status(p, started(3), 10, t0)
    r.d.xdo("mousemove", *SPOT_A)
    r.wait_status(p, running(2), 10, t0)
    r.shot("03-counting")
    r.d.xdo("mousemove", *SPOT_B)  # the click follows the cursor
    r.wait_status(p, IDLE, 15, t0)
    r.expect_one_click_at(t0, SPOT_B)
    expect_equal(r.watch.statuses(p.hwnd, t0), [started(3), running(2), running(1), IDLE],
                 "statuses from 确认 to the end")
    r.shot("04-clicked")
    r.ends_with_code_zero(p, lambda: r.d.key("Escape"), "Esc")


def scenario_notice_running(r):
    """确认 during a countdown: notice; the countdown goes on behind it and clicks while it is open."""
    p = r.start()
    r.choose(p, 0)
    t0 = r.press(p, CONFIRM)
    r.wait_status(p, started(3), 10, t0)
    t1 = r.press(p, CONFIRM)
    n = r.wait_notice(p, t1)
    expect_equal((n.title, n.text), (NOTICE_TITLE, ALREADY_RUNNING), "notice title and text")
    r.d.xdo("mousemove", *SPOT_C)
    w = r.wait(p, lambda w, s: not w.enabled, "the main window disabled under the notice", 10, t1)
    r.shot("05-notice-running")
    # The countdown ends, clicks and goes idle while the notice is still open.
    r.wait(p, lambda w, s: w.status == IDLE and r.notices_of(p, s), "the idle status behind the notice", 15, t1)
    r.expect_one_click_at(t0, SPOT_C)
    w, s = r.settled(p, time.time(), 0.3)
    expect(r.notices_of(p, s), "the notice closed by itself")
    expect_equal(r.watch.statuses(p.hwnd, t0), [started(3), running(2), running(1), IDLE],
                 "statuses with the notice open")
    t2 = r.d.key("Return")
    w = r.wait(p, lambda w, s: not r.notices_of(p, s) and w.enabled, "the notice to close", 10, t2)
    expect_equal(w.status, IDLE, "status after the notice")
    r.press(p, STATUS)  # back into the window, where Esc closes it
    r.ends_with_code_zero(p, lambda: r.d.key("Escape"), "Esc")


def scenario_notice_no_selection(r):
    """Text typed into the field leaves no selection: 确认 brings the notice, also during a countdown."""
    p = r.start()
    r.choose(p, 0)
    t0 = r.press(p, CONFIRM)
    r.wait_status(p, started(3), 10, t0)
    r.type_into_field(p, "abc")
    t1 = r.press(p, CONFIRM)
    n = r.wait_notice(p, t1)
    expect_equal((n.title, n.text), (NOTICE_TITLE, NO_SELECTION), "notice during the countdown")
    r.d.xdo("mousemove", *SPOT_A)
    r.shot("06-notice-no-selection")
    r.wait(p, lambda w, s: w.status == IDLE and r.notices_of(p, s), "the countdown's end behind the notice", 15, t1)
    r.expect_one_click_at(t0, SPOT_A)
    t2 = r.d.key("Escape")  # closes the notice only
    w, s = r.settled(p, t2)
    expect(not r.notices_of(p, s), "Esc left the notice open")
    expect(p.alive() and w.enabled, "Esc on the notice closed the program or left it disabled")
    # While idle, the same notice, and nothing starts.
    t3 = r.press(p, CONFIRM)
    n = r.wait_notice(p, t3)
    expect_equal((n.title, n.text), (NOTICE_TITLE, NO_SELECTION), "notice while idle")
    ok = next(b for b in n.buttons())
    left, top, right, bottom = (int(v) for v in ok["rect"].split(","))
    t4 = r.d.click((left + right) // 2, (top + bottom) // 2)
    w, s = r.settled(p, t4, 1.5)
    expect(not r.notices_of(p, s), "the notice's button did not close it")
    expect_equal((w.status, w.control(LIST)["sel"]), (IDLE, "-1"), "status and selection after the notice")
    r.press(p, STATUS)  # back into the window, where Esc closes it
    r.ends_with_code_zero(p, lambda: r.d.key("Escape"), "Esc")


def scenario_cancel(r):
    """取消 idle and during a countdown; the cancelled countdown never clicks; 确认 starts afresh."""
    p = r.start()
    t0 = r.press(p, CANCEL)
    r.wait_status(p, CANCELLED, 10, t0)
    r.choose(p, 0)
    t1 = r.press(p, CONFIRM)
    r.d.xdo("mousemove", *SPOT_A)
    r.wait_status(p, running(2), 10, t1)
    r.press(p, CANCEL)
    r.wait_status(p, CANCELLED, 10, t1)
    # Well past the moment the countdown would have ended.
    w, _ = r.settled(p, t1 + 3.0, 1.5)
    expect_equal(w.status, CANCELLED, "status after the cancelled countdown's time")
    expect_equal(r.clicks_since(t1), [], "clicks after a cancelled countdown")
    r.shot("07-cancelled")
    t2 = r.press(p, CONFIRM)
    r.wait_status(p, started(3), 10, t2)
    r.d.xdo("mousemove", *SPOT_C)
    r.wait_status(p, IDLE, 15, t2)
    r.expect_one_click_at(t2, SPOT_C)
    expect_equal(r.watch.statuses(p.hwnd, t2), [started(3), running(2), running(1), IDLE],
                 "statuses of the countdown after a cancel")
    r.ends_with_code_zero(p, lambda: r.d.key("Escape"), "Esc")


def scenario_keys(r):
    """Tab and Shift+Tab order; Enter presses nothing; Space presses the focused button."""
    p = r.start()
    expect_equal(r.window(p).focus_id, LIST, "focus at start")
    for key, ident in [("Tab", CONFIRM), ("Tab", CANCEL), ("Tab", LIST),
                       ("shift+Tab", CANCEL), ("shift+Tab", CONFIRM), ("shift+Tab", LIST)]:
        r.wait_focus(p, ident, r.d.key(key))
    for where, tabs in [(LIST, 0), (CONFIRM, 1)]:
        for _ in range(tabs):
            r.wait_focus(p, where, r.d.key("Tab"))
        w, s = r.settled(p, r.d.key("Return"))
        expect_equal((w.status, w.focus_id, w.text(LIST), r.notices_of(p, s)), (IDLE, where, "10秒", []),
                     f"status, focus, list field and notices after Enter on control {where}")
    r.wait_status(p, started(10), 10, r.d.key("space"))
    r.wait_focus(p, CANCEL, r.d.key("Tab"))
    w, s = r.settled(p, r.d.key("Return"))
    expect(w.status.startswith("倒计时"), f"Enter on 取消 changed the countdown: {w.status!r}")
    r.wait_status(p, CANCELLED, 10, r.d.key("space"))
    r.shot("08-keys")
    r.ends_with_code_zero(p, lambda: r.d.key("Escape"), "Esc on 取消")


def _prepare_dropped(r, p):
    r.open_list(p)


def _prepare_typed(r, p):
    r.type_into_field(p, "xyz")


def _prepare_tabs(count):
    def prepare(r, p):
        for ident in [CONFIRM, CANCEL][:count]:
            r.wait_focus(p, ident, r.d.key("Tab"))
    return prepare


def _close_button(r, p):
    w = r.d.snapshot().window(p.hwnd)
    expect(w.closebox is not None, "no close button found in the title bar")
    left, top, right, bottom = w.closebox
    return r.d.click((left + right) // 2, (top + bottom) // 2)


EXITS = [
    # name, preparation, closing action
    ("Esc in the list", None, lambda r, p: r.d.key("Escape")),
    ("Esc with the list dropped down", _prepare_dropped, lambda r, p: r.d.key("Escape")),
    ("Esc in the list's edit field after typing", _prepare_typed, lambda r, p: r.d.key("Escape")),
    ("Esc on 确认", _prepare_tabs(1), lambda r, p: r.d.key("Escape")),
    ("Esc on 取消", _prepare_tabs(2), lambda r, p: r.d.key("Escape")),
    ("Alt+F4", None, lambda r, p: r.d.key("alt+F4")),
    ("the close button", None, _close_button),
]


def scenario_exits(r):
    """Esc from each place, Alt+F4 and the close button end the program with code 0."""
    failures = []
    for name, prepare, close in EXITS:
        p = r.start()
        try:
            if prepare:
                prepare(r, p)
            r.ends_with_code_zero(p, lambda: close(r, p), name)
        except Failure as e:
            failures.append(f"{name}: {e}")
            r.shot(f"FAIL-exit-{len(failures)}")
            p.kill()
    expect(not failures, "; ".join(failures))


def scenario_close_during_countdown(r):
    """Closing during a countdown ends with code 0 and brings no click."""
    p = r.start()
    r.choose(p, 0)
    t0 = r.press(p, CONFIRM)
    r.wait_status(p, started(3), 10, t0)
    r.d.xdo("mousemove", *SPOT_B)
    r.ends_with_code_zero(p, lambda: r.d.key("Escape"), "Esc during the countdown")
    r.watch.settle(t0 + 3.0, 2.0)
    expect_equal(r.clicks_since(t0), [], "clicks after closing during the countdown")


def scenario_two_copies(r):
    """Two copies run side by side, each with its own countdown and exit."""
    a = r.start()
    b = r.start()
    s = r.d.snapshot()
    wa, wb = s.window(a.hwnd), s.window(b.hwnd)
    expect_equal((wa.rect, wb.rect), (WINDOW_RECT, WINDOW_RECT), "both windows centred")
    # Drag the second one by its title bar to the right.
    x, y = wb.caption
    t = time.time()
    r.d.xdo("mousemove", x, y, "mousedown", 1)
    for step in range(1, 8):
        r.d.xdo("mousemove", x + 60 * step, y)
    r.d.xdo("mouseup", 1)
    width, height = WINDOW_RECT[2] - WINDOW_RECT[0], WINDOW_RECT[3] - WINDOW_RECT[1]

    def beside(w, s):
        left, top, right, bottom = w.rect
        return left >= WINDOW_RECT[2] and (right - left, bottom - top) == (width, height)
    r.wait(b, beside, "the second window dragged by its title bar beside the first", 10, t)
    t0 = r.press(b, CONFIRM)
    r.wait_status(b, started(10), 10, t0)
    t1 = r.press(a, CONFIRM)
    r.wait_status(a, started(10), 10, t1)
    r.press(b, CANCEL)
    wb = r.wait_status(b, CANCELLED, 10, t1)
    wa = r.wait_status(a, running(9), 10, t1)
    r.shot("09-two-copies")
    expect_equal(wb.status, CANCELLED, "second copy after 取消")
    r.press(a, STATUS)  # activates the first copy without pressing anything
    r.ends_with_code_zero(a, lambda: r.d.key("Escape"), "Esc in the first copy")
    wb = r.window(b)
    expect_equal(wb.status, CANCELLED, "second copy after the first ended")
    r.press(b, STATUS)
    r.ends_with_code_zero(b, lambda: r.d.key("Escape"), "Esc in the second copy")
    expect_equal(r.clicks_since(t0), [], "clicks from the two copies")


SCENARIOS = [
    ("start", scenario_start),
    ("countdown 3秒 picked with the mouse, click follows the cursor", scenario_countdown),
    ("确认 during a countdown: notice, countdown clicks behind it", scenario_notice_running),
    ("确认 with no selection: notice, also during a countdown", scenario_notice_no_selection),
    ("取消 idle and during a countdown", scenario_cancel),
    ("keys: Tab order, Enter presses nothing, Space presses", scenario_keys),
    ("exits: Esc everywhere, Alt+F4, close button", scenario_exits),
    ("closing during a countdown brings no click", scenario_close_during_countdown),
    ("two copies side by side", scenario_two_copies),
]


def _stop_on_signal(signum, frame):
    # Unwinds through the Desktop's cleanup, which ends what the run started.
    raise SystemExit(128 + signum)


def main():
    signal.signal(signal.SIGTERM, _stop_on_signal)
    signal.signal(signal.SIGHUP, _stop_on_signal)
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--exe", required=True, help="the 64-bit Morvane.exe under test")
    ap.add_argument("--tools", required=True, help="folder with clicktarget.exe and winreader.exe")
    ap.add_argument("--prefix", default=str(ROOT / "build" / "wine-e2e"))
    ap.add_argument("--out", default=str(ROOT / "build" / "e2e"))
    ap.add_argument("--docs-shot", default="",
                    help="also copy the start picture here (docs/screenshot.png for the README)")
    ap.add_argument("-k", "--only", help="run only the scenarios whose name contains this")
    args = ap.parse_args()

    out = Path(args.out)
    shots = out / "shots"
    if shots.exists():
        shutil.rmtree(shots)
    selected = [(n, f) for n, f in SCENARIOS if not args.only or args.only in n]
    results = []
    began = time.time()
    try:
        with Desktop(out / "work", args.prefix, args.tools, log=lambda m: print(f"  [{m}]", flush=True)) as d:
            run = Run(d, Path(args.exe).resolve(), shots)
            for name, fn in selected:
                t = time.time()
                try:
                    fn(run)
                    results.append((name, True))
                    print(f"ok     {name} ({time.time() - t:.1f} s)", flush=True)
                except (Failure, HarnessError) as e:
                    results.append((name, False))
                    print(f"FAIL   {name} ({time.time() - t:.1f} s)\n       {e}", flush=True)
                    run.shot("FAIL-" + "".join(c if c.isalnum() else "-" for c in name)[:40])
                    d.watch.poll()
                    if d.watch.latest:
                        print(f"       state: {d.watch.latest.describe()}", flush=True)
                except Exception:
                    results.append((name, False))
                    print(f"FAIL   {name}: error in the test\n{traceback.format_exc()}", flush=True)
                finally:
                    for p in d.programs:
                        if p.alive():
                            print(f"       (ended a copy left running, pid {p.pid})", flush=True)
                    for p in d.programs:
                        p.kill()
                    d.programs = []
    except HarnessError as e:
        print(f"e2e: the test environment failed: {e}", file=sys.stderr)
        return 2
    start_shot = shots / "start-window.png"
    if args.docs_shot and start_shot.exists() and all(ok for n, ok in results if n == "start"):
        Path(args.docs_shot).parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(start_shot, args.docs_shot)
    passed = sum(1 for _, ok in results if ok)
    failed = len(results) - passed
    print(f"screenshots in {shots}; {time.time() - began:.0f} s in all")
    print(f"e2e: {passed} passed, {failed} failed")
    return 1 if failed or not results else 0


if __name__ == "__main__":
    sys.exit(main())
