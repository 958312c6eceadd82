#!/usr/bin/env python3
"""Smoke test of the 32-bit product, build/win32/shell/Morvane.exe.

First the file itself: a 32-bit GUI program that imports only system DLLs and
carries the Common Controls 6 manifest for x86 and the 128 x 128 icon group
DEFAULT_ICON. Then one start under 32-bit Wine (through qemu-i386 on kernels
without 32-bit support, about a minute): the window with its title and place,
a 3秒 countdown that clicks on the click target, and Esc with exit code 0.

    smoke32.py --exe build/win32/shell/Morvane.exe --tools build/e2e/tools
"""

import argparse
import re
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.dont_write_bytecode = True  # no caches in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
from driver import (CONFIRM, DELAYS, IDLE, LIST, SPOT_B, STATUS, TITLE, WINDOW_RECT, Run,  # noqa: E402
                    expect, expect_equal, running, started)
from harness import ROOT, WINE32, Desktop, Failure, HarnessError, exit_on_signals  # noqa: E402

SYSTEM_DLLS = re.compile(r"^(kernel32|user32|gdi32|msvcrt|advapi32|shell32|comctl32|ntdll|ucrtbase|"
                         r"api-ms-win-[a-z0-9-]+)\.dll$", re.IGNORECASE)
# Emulated 32-bit code is slow: every deadline of the shared actions is stretched.
PATIENCE = 8.0


def tool(*args):
    return subprocess.run(list(args), capture_output=True, timeout=120)


def check_file(exe):
    dump = tool("i686-w64-mingw32-objdump", "-p", str(exe)).stdout.decode("utf-8", "replace")
    expect("file format pei-i386" in dump, "not a 32-bit (pei-i386) executable")
    expect(re.search(r"^Subsystem\s+0+2\s", dump, re.MULTILINE), "not a program of the Windows GUI subsystem")
    dlls = sorted({m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)})
    expect(dlls, "no imported DLL found")
    foreign = [d for d in dlls if not SYSTEM_DLLS.match(d)]
    expect(not foreign, f"imports DLLs that Windows does not ship: {foreign}")

    manifest = tool("wrestool", "-x", "--raw", "--type=24", str(exe)).stdout.decode("utf-8", "replace")
    for needle in ('name="Microsoft.Windows.Common-Controls"', 'version="6.0.0.0"',
                   'processorArchitecture="x86"', 'publicKeyToken="6595b64144ccf1df"'):
        expect(needle in manifest, f"the manifest lacks {needle}")

    with tempfile.TemporaryDirectory() as tmp:
        ico = Path(tmp) / "icon.ico"
        ico.write_bytes(tool("wrestool", "-x", "--type=14", "--name=DEFAULT_ICON", str(exe)).stdout)
        expect(ico.stat().st_size > 0, "no icon group DEFAULT_ICON")
        images = tool("icotool", "-l", str(ico)).stdout.decode().strip().splitlines()
    expect(len(images) == 1 and "--width=128 --height=128 --bit-depth=32" in images[0],
           f"DEFAULT_ICON should hold one 128 x 128 32-bit image, holds {images}")
    return dlls


def run_program(r):
    began = time.time()
    p = r.start(timeout=300 / r.patience)
    shown_after = time.time() - began
    s = r.d.snapshot()
    w = s.window(p.hwnd)
    expect_equal((w.title, w.rect), (TITLE, WINDOW_RECT), "title and window rectangle")
    expect_equal((w.status, w.text(LIST), w.items, w.focus_id), (IDLE, "10秒", DELAYS, LIST),
                 "status, list field, items and focus at start")
    r.shot("32-start")
    r.choose(p, 0)
    before = time.time()
    t0 = r.press(p, CONFIRM)
    w = r.wait_status(p, started(3), 30, t0)
    r.d.xdo("mousemove", *SPOT_B)
    r.wait_status(p, IDLE, 60, w.seen)
    r.expect_one_click_at(before, SPOT_B)
    expect_equal(r.statuses_since(p, before, IDLE), [started(3), running(2), running(1), IDLE],
                 "statuses from 确认 to the end")
    r.shot("32-clicked")
    r.press(p, STATUS)
    r.ends_with_code_zero(p, lambda: r.d.key("Escape"), "Esc")
    return shown_after



def main():
    exit_on_signals()
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--exe", required=True)
    ap.add_argument("--tools", required=True)
    ap.add_argument("--prefix", default=str(ROOT / "build" / "wine-e2e"))
    ap.add_argument("--out", default=str(ROOT / "build" / "smoke32"))
    args = ap.parse_args()
    exe = Path(args.exe).resolve()
    results = []

    try:
        dlls = check_file(exe)
        results.append(True)
        print(f"ok     the exe: 32-bit GUI, imports {', '.join(dlls)}, manifest and icon", flush=True)
    except Failure as e:
        results.append(False)
        print(f"FAIL   the exe: {e}", flush=True)

    out = Path(args.out)
    try:
        with Desktop(out / "work", args.prefix, args.tools, log=lambda m: print(f"  [{m}]", flush=True)) as d:
            r = Run(d, exe, out / "shots", loader=WINE32, patience=PATIENCE)
            t = time.time()
            try:
                shown = run_program(r)
                results.append(True)
                print(f"ok     one run: window after {shown:.0f} s, 3秒 countdown clicked, Esc ended it with 0 "
                      f"({time.time() - t:.0f} s)", flush=True)
            except Failure as e:
                results.append(False)
                print(f"FAIL   one run ({time.time() - t:.0f} s)\n       {e}", flush=True)
                r.d.screenshot(out / "shots" / "FAIL-32.png")
                d.watch.poll()
                if d.watch.latest:
                    print(f"       state: {d.watch.latest.describe()}", flush=True)
    except HarnessError as e:
        print(f"smoke32: the test environment failed: {e}", file=sys.stderr)
        return 2
    passed = sum(results)
    print(f"smoke32: {passed} passed, {len(results) - passed} failed")
    return 0 if passed == len(results) else 1


if __name__ == "__main__":
    sys.exit(main())
