"""What the tests know of Morvane's window, and the actions a user takes on it.

`Run` wraps a harness Desktop: it starts copies of the program, clicks and
types with xdotool, and waits (with deadlines, scaled by `patience` for slow
emulated runs) for states that the window reader reports.
"""

import time

from harness import TARGET_RECT, WINE64, Failure

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


def seconds_left(status):
    """The seconds a countdown status shows; None for the other statuses."""
    for prefix in ("倒计时开始，剩余：", "倒计时中，剩余："):
        if status and status.startswith(prefix) and status.endswith(" 秒"):
            number = status[len(prefix):-2]
            if number.isdigit():
                return int(number)
    return None


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

    def __init__(self, desktop, exe, shots, loader=WINE64, patience=1.0):
        self.d = desktop
        self.exe = exe
        self.shots = shots
        self.watch = desktop.watch
        self.loader = loader
        self.patience = patience

    def start(self, timeout=60.0):
        return self.d.start_program(self.exe, self.loader, timeout=timeout * self.patience)

    def window(self, p):
        self.watch.poll()
        w = self.watch.latest.window(p.hwnd)
        if w is None:
            raise Failure(f"the window of pid {p.pid} is gone")
        return w

    def wait(self, p, pred, what, timeout=15.0, after=0.0):
        """The window in the first state that satisfies pred and was still
        current at `after` or came later; `seen` on it tells when it was read.
        A state before an action still counts when it lasted past `after`: to
        wait for a change, pass a moment at which the old state had gone (the
        `seen` of the window from an earlier wait)."""
        def ok(s):
            w = s.window(p.hwnd)
            return w is not None and pred(w, s)
        s = self.watch.wait(ok, what, timeout=timeout * self.patience, after=after)
        w = s.window(p.hwnd)
        w.seen = s.time
        return w

    def wait_status(self, p, text, timeout=15.0, after=0.0):
        return self.wait(p, lambda w, s: w.status == text, f"status {text!r}", timeout, after)

    def wait_focus(self, p, ident, after):
        return self.wait(p, lambda w, s: w.focus_id == ident, f"focus on control {ident}", 10, after)

    def wait_notice(self, p, after, timeout=15.0):
        s = self.watch.wait(lambda s: any(n.pid == p.win_pid for n in s.notices), "a notice box",
                            timeout * self.patience, after)
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
        deadline = time.time() + 10 * self.patience
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
        rc = p.wait_exit(30 * self.patience)
        expect_equal(rc, 0, f"exit code after {what}")
        self.watch.wait(lambda s: s.window(p.hwnd) is None, "the window to go", 10 * self.patience, t)

    def statuses_since(self, p, before, previous):
        """The statuses shown since an action begun at `before`, the status
        `previous` that the window showed until then left out."""
        seq = self.watch.statuses(p.hwnd, before)
        while seq and seq[0] == previous:
            seq.pop(0)
        return seq

    def clicks_since(self, t):
        return self.d.clicks.entries(since=t)

    def expect_one_click_at(self, since, spot):
        entries = self.d.clicks.wait(2, since, timeout=10 * self.patience)
        got = [(m, x, y) for _, m, x, y in entries]
        expect_equal(got, [("LBUTTONDOWN", *spot), ("LBUTTONUP", *spot)], "mouse messages on the click target")
        return entries

    def shot(self, name, crop=None):
        self.watch.settle(time.time(), 0.4)  # lets a window that has just appeared paint itself
        return self.d.screenshot(self.shots / f"{name}.png", crop)
