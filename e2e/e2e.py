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
import sys
import time
import traceback
from pathlib import Path

sys.dont_write_bytecode = True  # no caches in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
from driver import (ALREADY_RUNNING, CANCEL, CANCELLED, CONFIRM, CREDIT, DELAYS, IDLE, LAYOUT, LIST,  # noqa: E402
                    NO_SELECTION, NOTICE_TITLE, SPOT_A, SPOT_B, SPOT_C, STATUS, TIMER, TITLE, WINDOW_RECT, Run,
                    expect, expect_equal, rect_of, running, seconds_left, started)
from harness import ROOT, Desktop, Failure, HarnessError, exit_on_signals  # noqa: E402


# --- scenarios -------------------------------------------------------------

def scenario_start(r):
    """The first picture: filled list with 10秒, idle status, credit, focus in the list, centred."""
    p = r.start()
    first = p.first_shown.window(p.hwnd)
    expect_equal((first.status, first.text(LIST), first.control(LIST)["sel"], first.control(LIST)["count"]),
                 (IDLE, "10秒", "1", "17"), "status, list field, selection and item count in the first picture")
    expect(first.text(CREDIT).strip() != "", "the first picture has no credit line")
    s = r.d.snapshot()
    w = s.window(p.hwnd)
    expect_equal(w.title, TITLE, "title")
    expect_equal(w.rect, WINDOW_RECT, "window rectangle on the 1920 x 1080 desktop")
    expect_equal(w.items, DELAYS, "the list's items with their values, in order")
    expect_equal(w.text(CONFIRM), "确认", "confirm button")
    expect_equal(w.text(CANCEL), "取消", "cancel button")
    expect_equal(w.status, IDLE, "status")
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
    before = time.time()
    t0 = r.press(p, CONFIRM)
    r.wait_status(p, started(3), 10, t0)
    r.d.xdo("mousemove", *SPOT_A)
    w = r.wait_status(p, running(2), 10, t0)
    r.shot("03-counting")
    r.d.xdo("mousemove", *SPOT_B)  # the click follows the cursor
    r.wait_status(p, IDLE, 15, w.seen)
    r.expect_one_click_at(before, SPOT_B)
    expect_equal(r.statuses_since(p, before, IDLE), [started(3), running(2), running(1), IDLE],
                 "statuses from 确认 to the end")
    r.shot("04-clicked")
    r.ends_with_code_zero(p, lambda: r.d.key("Escape"), "Esc")


def scenario_notice_running(r):
    """确认 during a countdown: notice; the countdown goes on behind it and clicks while it is open."""
    p = r.start()
    r.choose(p, 0)
    before = time.time()
    t0 = r.press(p, CONFIRM)
    r.wait_status(p, started(3), 10, t0)
    t1 = r.press(p, CONFIRM)
    n = r.wait_notice(p, t1)
    expect_equal((n.title, n.text), (NOTICE_TITLE, ALREADY_RUNNING), "notice title and text")
    expect(seconds_left(r.window(p).status) is not None, "no countdown ran when the notice opened")
    r.d.xdo("mousemove", *SPOT_C)
    w = r.wait(p, lambda w, s: not w.enabled, "the main window disabled under the notice", 10, t1)
    r.shot("05-notice-running")
    # The countdown ends, clicks and goes idle while the notice is still open.
    r.wait(p, lambda w, s: w.status == IDLE and r.notices_of(p, s), "the idle status behind the notice", 15, t1)
    r.expect_one_click_at(before, SPOT_C)
    w, s = r.settled(p, time.time(), 0.3)
    expect(r.notices_of(p, s), "the notice closed by itself")
    expect_equal(r.statuses_since(p, before, IDLE), [started(3), running(2), running(1), IDLE],
                 "statuses with the notice open")
    t2 = r.d.key("Return")
    w = r.wait(p, lambda w, s: not r.notices_of(p, s) and w.enabled, "the notice to close", 10, t2)
    expect_equal(w.status, IDLE, "status after the notice")
    r.press(p, STATUS)  # back into the window, where Esc closes it
    r.ends_with_code_zero(p, lambda: r.d.key("Escape"), "Esc")


def scenario_notice_no_selection(r):
    """Text typed into the field leaves no selection: 确认 brings its notice, during a countdown too."""
    p = r.start()
    t0 = r.press(p, CONFIRM)  # 10秒, preselected
    r.wait_status(p, started(10), 10, t0)
    r.type_into_field(p, "abc")
    t1 = r.press(p, CONFIRM)
    n = r.wait_notice(p, t1)
    expect_equal((n.title, n.text), (NOTICE_TITLE, NO_SELECTION), "notice during the countdown")
    at_notice = seconds_left(r.window(p).status)
    expect(at_notice is not None, f"no countdown ran when the notice opened: {r.window(p).status!r}")
    r.shot("06-notice-no-selection")
    r.wait(p, lambda w, s: r.notices_of(p, s) and (seconds_left(w.status) or at_notice) < at_notice,
           "the countdown going on behind the notice", 10, t1)
    t2 = r.d.key("Escape")  # closes the notice only
    w, s = r.settled(p, t2)
    expect(not r.notices_of(p, s), "Esc left the notice open")
    expect(p.alive() and w.enabled, "Esc on the notice closed the program or left it disabled")
    expect(seconds_left(w.status) is not None, f"the countdown stopped with the notice: {w.status!r}")
    r.wait_status(p, CANCELLED, 10, r.press(p, CANCEL))
    # While idle, the same notice, and nothing starts.
    t3 = r.press(p, CONFIRM)
    n = r.wait_notice(p, t3)
    expect_equal((n.title, n.text), (NOTICE_TITLE, NO_SELECTION), "notice while idle")
    ok = next(b for b in n.buttons())
    left, top, right, bottom = (int(v) for v in ok["rect"].split(","))
    t4 = r.d.click((left + right) // 2, (top + bottom) // 2)
    w, s = r.settled(p, t4, 1.5)
    expect(not r.notices_of(p, s), "the notice's button did not close it")
    expect_equal((w.status, w.control(LIST)["sel"]), (CANCELLED, "-1"), "status and selection after the notice")
    expect_equal(r.clicks_since(t0), [], "clicks")
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
    w = r.wait_status(p, running(2), 10, t1)
    r.press(p, CANCEL)
    r.wait_status(p, CANCELLED, 10, w.seen)
    r.d.xdo("mousemove", *SPOT_A)  # a late click would land on the target, not on 取消 again
    # Well past the moment the countdown would have ended.
    w, _ = r.settled(p, t1 + 3.0, 1.5)
    expect_equal(w.status, CANCELLED, "status after the cancelled countdown's time")
    expect_equal(r.clicks_since(t1), [], "clicks after a cancelled countdown")
    r.shot("07-cancelled")
    before = time.time()
    t2 = r.press(p, CONFIRM)
    r.wait_status(p, started(3), 10, t2)
    r.d.xdo("mousemove", *SPOT_C)
    r.wait_status(p, IDLE, 15, t2)
    r.expect_one_click_at(before, SPOT_C)
    expect_equal(r.statuses_since(p, before, CANCELLED), [started(3), running(2), running(1), IDLE],
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
        moving = int(w.focus["flags"]) & 2 if w.focus else 0  # GUI_INMOVESIZE: the drag is still going on
        return left >= WINDOW_RECT[2] and (right - left, bottom - top) == (width, height) and not moving
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
    ("确认 with no selection: notice, during a countdown and idle", scenario_notice_no_selection),
    ("取消 idle and during a countdown", scenario_cancel),
    ("keys: Tab order, Enter presses nothing, Space presses", scenario_keys),
    ("exits: Esc everywhere, Alt+F4, close button", scenario_exits),
    ("closing during a countdown brings no click", scenario_close_during_countdown),
    ("two copies side by side", scenario_two_copies),
]



def main():
    exit_on_signals()
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
