#!/usr/bin/env python3
"""Measures Morvane beside a minimal Win32 program under the same Wine.

For each architecture (64-bit under wine64, 32-bit under wine through
qemu-i386 where needed), in one run on one private Xvfb and Wine desktop:
  - time from process start to the window shown (median of several starts),
  - process CPU time (from /proc/<pid>/stat) during a 30-second countdown,
    beside the minimal program's over the same span,
  - peak memory (VmHWM from /proc/<pid>/status),
  - the click's lateness against the chosen delay for 3秒 and 10秒: the click
    target's timestamp of the button press minus the moment 确认 was pressed
    (stamped by tools/press.cpp right before its SendInput) minus the delay,
and for the 32-bit executables their size and imported DLLs. Prints a table
with the ratio of each figure and the target it is held against, and saves it
to build/bench/results.txt. Measures only: the exit code says whether the
measuring worked, not whether a target was met.

    bench.py --morvane64 EXE --morvane32 EXE --minimal64 EXE --minimal32 EXE --tools DIR
"""

import argparse
import os
import re
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.dont_write_bytecode = True  # no caches in the source tree
sys.path.insert(0, str(ROOT / "e2e"))
from driver import CONFIRM, DELAYS, IDLE, SPOT_B, Run  # noqa: E402
from harness import WINE32, WINE64, Desktop, Failure, HarnessError, winpath, exit_on_signals  # noqa: E402

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
COUNTDOWN_INDEX = 3  # 30秒
LATENESS_CASES = [(0, 3.0), (1, 10.0)]  # 3秒, 10秒


def cpu_seconds(pid):
    """CPU time of all the process's threads, to the nanosecond where the kernel keeps schedstat."""
    total, precise = 0.0, True
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            total += int((task / "schedstat").read_text().split()[0]) / 1e9
        except (OSError, ValueError, IndexError):
            precise = False
            break
    if precise:
        return total
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS  # utime + stime, in clock ticks


def peak_memory_kb(pid):
    m = re.search(r"^VmHWM:\s+(\d+) kB", Path(f"/proc/{pid}/status").read_text(), re.MULTILINE)
    return int(m.group(1))


def imports(exe):
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(exe)], capture_output=True, text=True,
                          timeout=60).stdout
    return sorted({d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)})


class Bench:
    def __init__(self, desktop, log):
        self.d = desktop
        self.log = log

    def start(self, exe, loader, timeout):
        p = self.d.start_program(exe, loader, timeout=timeout)
        cmdline = Path(f"/proc/{p.pid}/cmdline").read_bytes().replace(b"\0", b" ").decode("utf-8", "replace")
        if Path(exe).name.lower() not in cmdline.lower():
            raise HarnessError(f"pid {p.pid} is not the program itself ({cmdline!r}): /proc figures would be wrong")
        return p, p.first_shown.time - p.started

    def close(self, p, run):
        w = run.window(p)
        left, top, right, bottom = w.rect
        self.d.click(left + 60, top + 10)  # the title bar: activates without pressing anything
        t = self.d.key("alt+F4")
        rc = p.wait_exit(60 * run.patience)
        self.d.watch.wait(lambda s: s.window(p.hwnd) is None, "the window to go", 30 * run.patience, t)
        return rc

    def release_confirm(self, run, p):
        """Presses 确认 with injected input; returns the moment of the press.

        press.exe stamps the moment right before its SendInput, to the
        microsecond on the clock the click target also uses (xdotool's own
        run time, often tens of milliseconds on a busy machine, would blur it)."""
        x, y = run.window(p).center(CONFIRM)
        self.d.xdo("mousemove", x, y)
        log = self.d.workdir / "press.log"
        if log.exists():
            log.unlink()
        with open(self.d.workdir / "press.out", "wb") as o:
            subprocess.run([WINE64, str(self.d.tools / "press.exe"), winpath(log), str(x), str(y)],
                           env=self.d.env, stdin=subprocess.DEVNULL, stdout=o, stderr=subprocess.STDOUT,
                           timeout=60)
        fields = log.read_text().split("\t") if log.exists() else []
        if len(fields) != 4 or fields[0] != "press":
            raise HarnessError("press.exe recorded no press")
        return float(fields[1])

    def countdown(self, run, p, index):
        """One countdown with the reader quiet; returns (press time, click time, CPU seconds used)."""
        run.choose(p, index)
        self.d.set_quiet(True)
        try:
            cpu0 = cpu_seconds(p.pid)
            t0 = self.release_confirm(run, p)
            self.d.xdo("mousemove", *SPOT_B)
            delay = DELAYS[index][1] / 1000
            clicks = self.d.clicks.wait(1, t0, timeout=delay + 30 * run.patience)
            cpu1 = cpu_seconds(p.pid)
        finally:
            self.d.set_quiet(False)
        if not clicks or clicks[0][1] != "LBUTTONDOWN":
            raise Failure(f"no click after the {DELAYS[index][0]} countdown")
        run.wait_status(p, IDLE, 30, clicks[0][0])
        return t0, clicks[0][0], cpu1 - cpu0

    def idle_cpu(self, p, seconds):
        self.d.set_quiet(True)
        try:
            cpu0 = cpu_seconds(p.pid)
            t = time.time()
            time.sleep(seconds)
            return cpu_seconds(p.pid) - cpu0, time.time() - t
        finally:
            self.d.set_quiet(False)

    def measure(self, morvane, minimal, loader, starts, late_reps, patience):
        """All figures of one architecture."""
        run_m = Run(self.d, morvane, None, loader=loader, patience=patience)
        run_b = Run(self.d, minimal, None, loader=loader, patience=patience)
        start_timeout = 60 * patience
        res = {"start": {"Morvane": [], "minimal": []}}
        # The first start of an architecture loads Wine's DLLs from disk (and, emulated,
        # translates them): a start that is not counted puts both programs on equal terms.
        p, shown = self.start(minimal, loader, start_timeout)
        self.log(f"warm-up start: window after {shown:.3f} s (not counted)")
        self.close(p, run_b)
        for i in range(starts):
            # Alternating who goes first; Morvane last in the last round, so that its
            # window lies on top of the minimal one's for the measurements that follow.
            order = [("minimal", minimal, run_b), ("Morvane", morvane, run_m)]
            if (starts - 1 - i) % 2:
                order.reverse()
            for name, exe, run in order:
                p, shown = self.start(exe, loader, start_timeout)
                res["start"][name].append(shown)
                self.log(f"{name}: window after {shown:.3f} s")
                if i < starts - 1:
                    self.close(p, run)
                elif name == "Morvane":
                    pm = p
                else:
                    pb = p
        # Morvane: lateness of the click, then the 30-second countdown's CPU time.
        res["late"] = {}
        for index, delay in LATENESS_CASES:
            late = []
            for _ in range(late_reps):
                t0, tc, _ = self.countdown(run_m, pm, index)
                late.append(tc - t0 - delay)
                self.log(f"{DELAYS[index][0]}: click {1000 * late[-1]:+.1f} ms against the delay")
            res["late"][DELAYS[index][0]] = late
        t0, tc, cpu = self.countdown(run_m, pm, COUNTDOWN_INDEX)
        span = tc - t0
        res["cpu"] = {"Morvane": cpu}
        res["span"] = span
        self.log(f"Morvane: {cpu:.3f} s CPU in a {span:.1f} s countdown")
        # The minimal program over the same span, idle with its window shown.
        cpu_b, _ = self.idle_cpu(pb, span)
        res["cpu"]["minimal"] = cpu_b
        self.log(f"minimal: {cpu_b:.3f} s CPU in {span:.1f} s")
        res["mem"] = {"Morvane": peak_memory_kb(pm.pid), "minimal": peak_memory_kb(pb.pid)}
        res["exit"] = {"Morvane": self.close(pm, run_m), "minimal": self.close(pb, run_b)}
        return res


def ratio(a, b):
    return f"{a / b:.2f}" if b else "—"


def table(results, files):
    rows = [("figure", "Morvane", "minimal", "ratio", "target", "met")]

    def within5(a, b):
        return "yes" if b and a <= 1.05 * b else "no"

    for arch, r in results.items():
        rows.append((f"{arch}", "", "", "", "", ""))
        sm, sb = statistics.median(r["start"]["Morvane"]), statistics.median(r["start"]["minimal"])
        n = len(r["start"]["Morvane"])
        rows.append((f"  start to window shown (median of {n})", f"{sm:.3f} s", f"{sb:.3f} s", ratio(sm, sb),
                     "≤ 1.05 × minimal", within5(sm, sb)))
        cm, cb = r["cpu"]["Morvane"], r["cpu"]["minimal"]
        rows.append((f"  CPU during a {r['span']:.0f} s countdown (idle for minimal)", f"{cm:.2f} s", f"{cb:.2f} s",
                     ratio(cm, cb), "≤ 1.05 × minimal", within5(cm, cb)))
        mm, mb = r["mem"]["Morvane"], r["mem"]["minimal"]
        rows.append(("  peak memory (VmHWM)", f"{mm / 1024:.1f} MiB", f"{mb / 1024:.1f} MiB", ratio(mm, mb),
                     "≤ 1.05 × minimal", within5(mm, mb)))
        for name, late in r["late"].items():
            worst = max(late)
            target = "≤ 15 ms" if name == "3秒" else ""
            met = ("yes" if worst <= 0.015 else "no") if target else ""
            rows.append((f"  click lateness {name} (median / worst of {len(late)})",
                         f"{1000 * statistics.median(late):+.0f} / {1000 * worst:+.0f} ms", "—", "", target, met))
        rows.append(("  exit code after Alt+F4", str(r["exit"]["Morvane"]), str(r["exit"]["minimal"]), "", "0", ""))
    if files:
        rows.append(("32-bit executables", "", "", "", "", ""))
        (m_size, m_dlls), (b_size, b_dlls) = files["Morvane"], files["minimal"]
        rows.append(("  size", f"{m_size / 1024:.0f} KB ({m_size} B)", f"{b_size / 1024:.0f} KB", ratio(m_size, b_size),
                     "≤ 300 KB", "yes" if m_size <= 300 * 1024 else "no"))
        rows.append(("  imported DLLs", str(len(m_dlls)), str(len(b_dlls)), "", "system DLLs only", ""))
    widths = [max(len(row[i]) for row in rows) for i in range(6)]
    text = "\n".join("  ".join(c.ljust(w) for c, w in zip(row, widths)).rstrip() for row in rows)
    if files:
        text += f"\n\nimports of the 32-bit Morvane.exe: {' '.join(files['Morvane'][1])}" \
                f"\nimports of the 32-bit minimal program: {' '.join(files['minimal'][1])}"
    return text



def main():
    exit_on_signals()
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--morvane64", required=True)
    ap.add_argument("--morvane32", required=True)
    ap.add_argument("--minimal64", required=True)
    ap.add_argument("--minimal32", required=True)
    ap.add_argument("--tools", required=True)
    ap.add_argument("--arch", default="64,32", help="which architectures to measure: 64, 32 or 64,32")
    ap.add_argument("--starts64", type=int, default=5)
    ap.add_argument("--starts32", type=int, default=2)
    ap.add_argument("--late-reps", type=int, default=3, help="countdowns per delay for the lateness")
    ap.add_argument("--prefix", default=str(ROOT / "build" / "wine-e2e"))
    ap.add_argument("--out", default=str(ROOT / "build" / "bench"))
    args = ap.parse_args()
    out = Path(args.out)

    def log(msg):
        print(f"  [{msg}]", flush=True)

    files = {"Morvane": (Path(args.morvane32).stat().st_size, imports(args.morvane32)),
             "minimal": (Path(args.minimal32).stat().st_size, imports(args.minimal32))}
    results = {}
    began = time.time()
    archs = [a.strip() for a in args.arch.split(",")]
    try:
        with Desktop(out / "work", args.prefix, args.tools, log=log, watch_interval_ms=10) as d:
            b = Bench(d, log)
            if "64" in archs:
                results["64-bit, wine64"] = b.measure(Path(args.morvane64).resolve(), Path(args.minimal64).resolve(),
                                                      WINE64, args.starts64, args.late_reps, 1.0)
            if "32" in archs:
                results["32-bit, wine (qemu-i386 where needed)"] = b.measure(
                    Path(args.morvane32).resolve(), Path(args.minimal32).resolve(), WINE32, args.starts32,
                    args.late_reps, 8.0)
    except (Failure, HarnessError) as e:
        print(f"bench: measuring failed: {e}", file=sys.stderr)
        return 1
    text = table(results, files)
    text += "\nclick lateness: the click target's time of the button press minus the moment press.exe pressed " \
            "确认 (SendInput) minus the delay"
    text += f"\n\nmeasured {time.strftime('%Y-%m-%d %H:%M')} in {time.time() - began:.0f} s; " \
            f"{subprocess.run(['wine', '--version'], capture_output=True, text=True).stdout.strip()}; " \
            f"{os.cpu_count()} CPUs\n"
    print(text)
    out.mkdir(parents=True, exist_ok=True)
    (out / "results.txt").write_text(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
