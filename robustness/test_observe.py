"""The monkey's rules, fed with made-up observations: each must hold for a good
run and fail for the fault it is there to catch."""

import tempfile
import unittest
from pathlib import Path

from observe import (ALREADY_RUNNING, IDLE, NO_SELECTION, ButtonEvent, Checker, InputLog, ReaderLog, fields)

MAIN, PID, TID = "0x100", 7, "8"
CREDIT = "作者：Morvane 开发组 版权所有"
CONFIRM_AT = (1030, 510)  # inside 确认 below
CANCEL_AT = (1030, 560)  # inside 取消
LABEL_AT = (900, 560)  # on the status label


def started(n):
    return f"倒计时开始，剩余：{n} 秒"


def running(n):
    return f"倒计时中，剩余：{n} 秒"


def snap_lines(t, status=IDLE, sel=1, enabled=None, credit=CREDIT, notice=None, notice_pid=PID,
               notice_title="提示", confirm="确认"):
    if enabled is None:
        enabled = 0 if notice else 1
    lines = [f"snap {t:.3f}", "env\tacp=936\tscreen=1920x1080\tforeground=0x100",
             f"window\thwnd={MAIN}\tpid={PID}\ttid={TID}\ttitle=Morvane\tclass=MorvaneMainWindow"
             f"\trect=826,441,1093,639\tvisible=1\tenabled={enabled}\ticonic=0",
             f"control\tparent={MAIN}\tid=100\thwnd=0x101\tclass=ComboBox\trect=845,501,977,523\tvisible=1"
             f"\tenabled=1\ttext=10秒\tsel={sel}\tcount=17\tdropped=0",
             f"control\tparent={MAIN}\tid=110\thwnd=0x102\tclass=Button\trect=994,495,1074,527\tvisible=1"
             f"\tenabled=1\ttext={confirm}",
             f"control\tparent={MAIN}\tid=120\thwnd=0x103\tclass=Button\trect=994,543,1074,575\tvisible=1"
             f"\tenabled=1\ttext=取消",
             f"control\tparent={MAIN}\tid=140\thwnd=0x105\tclass=MorvaneLabel\trect=845,543,997,575\tvisible=1"
             f"\tenabled=1\ttext={status}",
             f"control\tparent={MAIN}\tid=150\thwnd=0x106\tclass=MorvaneLabel\trect=861,607,1077,631\tvisible=1"
             f"\tenabled=1\ttext={credit}"]
    if notice:
        lines += [f"notice\thwnd=0x200\tpid={notice_pid}\ttid={TID}\ttitle={notice_title}\tclass=#32770"
                  f"\trect=860,500,1060,620\tvisible=1\tenabled=1",
                  f"noticechild\tnotice=0x200\thwnd=0x201\tid=2\tclass=Button\ttext=确定\trect=1,2,3,4\tvisible=1",
                  f"noticechild\tnotice=0x200\thwnd=0x202\tid=65535\tclass=Static\ttext={notice}\trect=1,2,3,4"
                  f"\tvisible=1"]
    return lines + ["end"]


class Run:
    """Feeds a checker the way the monkey does: reader lines through a log file."""

    def __init__(self):
        self.findings = []
        self.checker = Checker(MAIN, PID, lambda when, text: self.findings.append(text))
        self.dir = tempfile.TemporaryDirectory()
        self.path = Path(self.dir.name) / "watch.log"
        self.log = ReaderLog(self.path)
        self.fed = 0
        self.t = 1000.0

    def lines(self, lines):
        with open(self.path, "a", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        self.log.poll()
        while self.fed < len(self.log.snaps):
            self.checker.snapshot(self.log.snaps[self.fed])
            self.fed += 1

    def state(self, after=0.2, **kw):
        """The reader sees a new state `after` seconds after its last line, beating in between."""
        beats = []
        t = self.t
        while t + 0.2 < self.t + after:
            t += 0.2
            beats.append(f"beat {t:.3f}")
        self.t += after
        self.lines(beats + snap_lines(self.t, **kw))
        return self.t

    def click(self, when, at, button="L", injected=True):
        for event in (f"{button}BUTTONDOWN", f"{button}BUTTONUP"):
            self.checker.button(ButtonEvent(when, event, at[0], at[1], injected))
            when += 0.001

    def finish(self):
        self.lines([f"beat {self.t + 0.2 * i:.3f}" for i in range(1, 15)])
        self.checker.settle(self.t + 3.0)
        self.dir.cleanup()
        return self.findings


def countdown(run, seconds=3, click_at=LABEL_AT, end_status=IDLE, clicks=1, move_cursor=True):
    """start, ticks down to 1, then the end (with `clicks` injected clicks at click_at,
    where the cursor was sent first unless move_cursor is False)."""
    if move_cursor:
        run.checker.cursor_sent(run.t, *click_at)
    run.state(after=1.5, status=started(seconds))
    for n in range(seconds - 1, 0, -1):
        run.state(after=1.0, status=running(n))
    when = run.t + 0.99
    for i in range(clicks):
        run.click(when + 0.002 * i, click_at)
    run.state(after=1.0, status=end_status)


class CountdownEnds(unittest.TestCase):
    def test_a_countdown_that_runs_out_with_one_click_at_the_cursor_is_fine(self):
        r = Run()
        r.state()
        countdown(r)
        self.assertEqual(r.finish(), [])
        self.assertEqual((r.checker.started, r.checker.finished, r.checker.injected_clicks), (1, 1, 1))

    def test_a_click_stamped_just_after_the_idle_status_was_seen_belongs_to_the_end(self):
        r = Run()
        r.state()
        r.checker.cursor_sent(r.t, *LABEL_AT)
        r.state(after=1.5, status=started(3))
        r.state(after=1.0, status=running(2))
        r.state(after=1.0, status=running(1))
        seen = r.state(after=1.0, status=IDLE)
        r.click(seen + 0.01, LABEL_AT)  # the input watch came to it a little late
        r.checker.settle(seen + 1.005)  # the click is not decided yet, the end must wait for it
        r.checker.settle(seen + 1.5)
        self.assertEqual(r.finish(), [])

    def test_the_last_click_may_land_on_confirm_and_start_again(self):
        r = Run()
        r.state()
        countdown(r, click_at=CONFIRM_AT, end_status=started(3))
        self.assertEqual(r.finish(), [])

    def test_the_last_click_may_land_on_cancel(self):
        r = Run()
        r.state()
        countdown(r, click_at=CANCEL_AT, end_status="状态：已取消，空闲")
        self.assertEqual(r.finish(), [])

    def test_the_user_may_start_again_right_after_the_last_click(self):
        r = Run()
        r.state()
        countdown(r, click_at=LABEL_AT, end_status=started(10))
        self.assertEqual(r.finish(), [])
        self.assertEqual(r.checker.finished, 1)

    def test_a_click_while_idle_is_a_fault(self):
        r = Run()
        r.state()
        r.state(after=2.0)
        r.checker.cursor_sent(r.t, *LABEL_AT)
        r.click(r.t + 0.5, LABEL_AT)
        r.state(after=2.0, status="状态：已取消，空闲")
        self.assertTrue(any("without a countdown ending" in f for f in r.finish()))

    def test_a_click_in_the_middle_of_a_countdown_is_a_fault(self):
        r = Run()
        r.state()
        r.state(status=started(10))
        r.state(after=1.0, status=running(9))
        r.click(r.t + 0.5, LABEL_AT)
        r.state(after=1.0, status=running(8))
        self.assertTrue(any("without a countdown ending" in f for f in r.finish()))

    def test_a_click_early_in_the_last_second_is_a_fault(self):
        r = Run()
        r.state()
        r.checker.cursor_sent(r.t, *LABEL_AT)
        r.state(after=1.5, status=started(3))
        r.state(after=1.0, status=running(2))
        r.state(after=1.0, status=running(1))
        r.click(r.t + 0.3, LABEL_AT)
        r.click(r.t + 0.99, LABEL_AT)
        r.state(after=1.0, status=IDLE)
        self.assertTrue(any("without a countdown ending" in f for f in r.finish()))

    def test_an_end_without_a_click_is_a_fault(self):
        r = Run()
        r.state()
        countdown(r, clicks=0)
        self.assertTrue(any("with no click" in f for f in r.finish()))

    def test_two_clicks_at_one_end_are_a_fault(self):
        r = Run()
        r.state()
        countdown(r, clicks=2)
        self.assertTrue(any("without a countdown ending" in f for f in r.finish()))

    def test_a_click_away_from_the_cursor_is_a_fault(self):
        r = Run()
        r.state()
        countdown(r, click_at=LABEL_AT)
        r.checker.cursor_sent(r.t, 10, 10)
        countdown(r, click_at=LABEL_AT, move_cursor=False)
        self.assertTrue(any("away from the cursor" in f for f in r.finish()))

    def test_a_right_click_is_a_fault(self):
        r = Run()
        r.state()
        r.checker.cursor_sent(r.t, *LABEL_AT)
        r.click(r.t + 0.1, LABEL_AT, button="R")
        self.assertTrue(any("another button" in f for f in r.finish()))

    def test_real_clicks_are_only_counted(self):
        r = Run()
        r.state()
        r.click(r.t + 0.1, LABEL_AT, injected=False)
        self.assertEqual(r.finish(), [])
        self.assertEqual((r.checker.real_clicks, r.checker.injected_clicks), (1, 0))


class StatusLine(unittest.TestCase):
    def test_every_tick_takes_one_second_off(self):
        r = Run()
        r.state()
        r.state(status=started(10))
        r.state(after=1.0, status=running(9))
        r.state(after=1.0, status=running(7))
        self.assertTrue(any("went from" in f for f in r.finish()))

    def test_a_skip_across_a_blind_spell_of_the_reader_is_not_judged(self):
        r = Run()
        r.state()
        r.state(status=started(10))
        r.state(after=1.0, status=running(9))
        r.lines(snap_lines(r.t + 2.0, status=running(7)))  # no heartbeat for two seconds
        r.t += 2.0
        self.assertEqual(r.finish(), [])
        self.assertEqual(r.checker.blind_gaps, 1)

    def test_idle_before_the_last_second_is_a_fault(self):
        r = Run()
        r.state()
        r.state(status=started(10))
        r.state(after=1.0, status=running(9))
        r.click(r.t + 0.99, LABEL_AT)
        r.state(after=1.0, status=IDLE)
        self.assertTrue(any("went from" in f for f in r.finish()))

    def test_running_without_a_start_is_a_fault(self):
        r = Run()
        r.state()
        r.state(after=1.0, status=running(9))
        self.assertTrue(any("went from" in f for f in r.finish()))

    def test_texts_of_other_forms_are_faults(self):
        for text in ("倒计时中，剩余：0 秒", "倒计时开始，剩余：7 秒", "倒计时中，剩余：5.5 秒", "标签", "状态：空闲 ", ""):
            r = Run()
            r.state()
            r.state(status=text)
            self.assertTrue(any("status label shows" in f for f in r.finish()), text)

    def test_the_first_status_is_idle(self):
        r = Run()
        r.state(status="状态：已取消，空闲")
        self.assertTrue(any("first status" in f for f in r.finish()))

    def test_the_credit_line_never_changes(self):
        r = Run()
        r.state()
        r.state(credit="something else")
        self.assertTrue(any("credit line changed" in f for f in r.finish()))

    def test_the_button_captions_never_change(self):
        r = Run()
        r.state()
        r.state(confirm="OK")
        self.assertTrue(any("button 110 reads" in f for f in r.finish()))


class Notices(unittest.TestCase):
    def test_the_two_notices_in_their_situations_are_fine(self):
        r = Run()
        r.state()
        r.state(sel=-1)
        r.state(sel=-1, notice=NO_SELECTION)
        r.state(sel=-1)
        r.state(sel=0, status=started(3))
        r.state(sel=0, status=started(3), notice=ALREADY_RUNNING)
        r.state(after=1.0, sel=0, status=running(2), notice=ALREADY_RUNNING)
        self.assertEqual(r.finish(), [])
        self.assertEqual(r.checker.notices_opened, {NO_SELECTION: 1, ALREADY_RUNNING: 1})

    def test_a_notice_with_other_texts_is_a_fault(self):
        for kw in ({"notice": "出错了"}, {"notice": NO_SELECTION, "notice_title": "Morvane"}):
            r = Run()
            r.state(sel=-1)
            r.state(sel=-1, **kw)
            self.assertTrue(any("unexpected texts" in f for f in r.finish()), kw)

    def test_a_dialog_of_another_process_is_a_fault(self):
        r = Run()
        r.state(sel=-1)
        r.state(sel=-1, notice=NO_SELECTION, notice_pid=99)
        self.assertTrue(any("another process" in f for f in r.finish()))

    def test_the_window_is_disabled_under_a_notice(self):
        r = Run()
        r.state(sel=-1)
        r.state(sel=-1, notice=NO_SELECTION, enabled=1)
        self.assertTrue(any("takes input while a notice is open" in f for f in r.finish()))

    def test_the_no_selection_notice_needs_no_selection(self):
        r = Run()
        r.state()
        r.state(notice=NO_SELECTION)
        self.assertTrue(any("selected" in f for f in r.finish()))

    def test_the_running_notice_needs_a_countdown(self):
        r = Run()
        r.state()
        r.state(notice=ALREADY_RUNNING)
        self.assertTrue(any("no countdown running" in f for f in r.finish()))


class Census(unittest.TestCase):
    def census(self, tops, gui_flags="0x1"):
        d = tempfile.TemporaryDirectory()
        path = Path(d.name) / "input.log"
        lines = ["ready\t1.0", "windows\t2.0"]
        lines += [f"top\thwnd={h}\tpid={p}\ttid={TID}\tclass={c}\ttitle=\trect=0,0,1,1\tenabled=1" for h, p, c in tops]
        lines += [f"gui\ttid={TID}\tflags={gui_flags}\tmenuowner=0x0\tactive=0x0\tfocus=0x0\tcapture=0x0", "end",
                  "button\t3.5\tLBUTTONDOWN\t10\t20\tinjected=1\tflags=0x1"]
        path.write_text("\n".join(lines) + "\n", encoding="utf-8")
        log = InputLog(path)
        log.poll()
        self.assertTrue(log.ready)
        self.assertEqual([(e.event, e.x, e.y, e.injected) for e in log.buttons], [("LBUTTONDOWN", 10, 20, True)])
        findings = []
        c = Checker(MAIN, PID, lambda when, text: findings.append(text))
        c.census(log.censuses[0])
        d.cleanup()
        return c, findings

    def test_the_window_its_list_and_notices_are_fine(self):
        c, findings = self.census([(MAIN, PID, "MorvaneMainWindow"), ("0x300", PID, "ComboLBox"),
                                   ("0x200", PID, "#32770"), ("0x400", 3, "Whatever")])
        self.assertEqual(findings, [])
        self.assertFalse(c.menu_mode)

    def test_another_window_of_the_program_is_a_fault(self):
        _, findings = self.census([(MAIN, PID, "MorvaneMainWindow"), ("0x500", PID, "tooltips_class32")])
        self.assertTrue(any("tooltips_class32" in f for f in findings))

    def test_menu_mode_is_seen(self):
        c, findings = self.census([(MAIN, PID, "MorvaneMainWindow")], gui_flags="0x5")
        self.assertTrue(c.menu_mode)
        c, findings = self.census([(MAIN, PID, "MorvaneMainWindow"), ("0x600", PID, "#32768")])
        self.assertTrue(c.menu_mode)
        self.assertEqual((findings, c.system_menus), ([], 1))


class LogFields(unittest.TestCase):
    def test_escapes(self):
        self.assertEqual(fields(["a=x\\ty", "b=c\\\\d", "t=倒计时"]), {"a": "x\ty", "b": "c\\d", "t": "倒计时"})


if __name__ == "__main__":
    unittest.main()
