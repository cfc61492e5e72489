#!/usr/bin/env python3
"""Times "/listwin /listsub" under Wine over fixture desktops of real windows
(each top-level window with 5 child controls), output to a file, and reports
the time per size, so that the growth can be read off. The start-up of a run
that lists nothing ("/exist /w:NoSuchWindow") is timed beside it.

Every query Quillex makes (title, visibility, state, control id) is a round
trip to the Wine server. On a virtual machine whose cores sleep when idle,
each round trip also pays for waking a core, which makes the same listing
several times slower on an idle machine than on one with a busy core. Both
are measured: "idle", and "busy" with one other process spinning.

    wine_listing_bench.py --build build/win32-i686 [--runs 5] [sizes...]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "wine"))
from suite import FixtureRun, run_suite  # noqa: E402


def make_desktop(path, windows, children=5):
    with open(path, "w") as f:
        f.write("unordered\n")
        for w in range(windows):
            f.write('window w%d "Window number %d"%s\n' % (w, w, " hidden" if w % 7 == 0 else ""))
            for c in range(children):
                f.write('child c%d_%d "Button %d" id=%d\n' % (w, c, c, 1000 + c))


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def settle(pid):
    """Waits until the fixture has stopped working on its new windows."""
    last = cpu_ticks(pid)
    while True:
        time.sleep(1)
        now = cpu_ticks(pid)
        if now - last <= 2:
            return
        last = now


def timed(host, build, argv, out_path):
    with open(out_path, "wb") as out:
        start = time.perf_counter()
        host.run(build.arch, [build.quillex] + argv, stdout=out, stderr=subprocess.DEVNULL,
                 timeout=600)
        return time.perf_counter() - start


def measure(host, build, runs, out_path):
    listing = [timed(host, build, ["/listwin", "/listsub"], out_path) for _ in range(runs)]
    startup = [timed(host, build, ["/exist", "/w:NoSuchWindow"], out_path) for _ in range(runs)]
    return statistics.median(listing), statistics.median(startup)


def bench(args, build, host, report):
    print("# %s, /listwin /listsub to a file, median of %d runs; per window: (listing - "
          "start-up) / windows" % (os.path.basename(os.path.normpath(args.build)), args.runs))
    print("# | top-level windows | lines | idle | per window | start-up | busy | per window "
          "| start-up |")
    with tempfile.TemporaryDirectory() as tmp:
        desktop, out_path = os.path.join(tmp, "desktop"), os.path.join(tmp, "out")
        for size in args.sizes:
            make_desktop(desktop, size)
            with FixtureRun(host, build, desktop, ready_seconds=600) as fixture:
                settle(fixture.process.pid)
                timed(host, build, ["/listwin", "/listsub"], out_path)  # warm up
                with open(out_path, "rb") as f:
                    lines = f.read().count(b"\n")
                idle = measure(host, build, args.runs, out_path)
                spinner = subprocess.Popen([sys.executable, "-c", "while True: pass"])
                try:
                    busy = measure(host, build, args.runs, out_path)
                finally:
                    spinner.kill()
                    spinner.wait()
            report.check("| %d | %d | %.0f ms | %.0f µs | %.0f ms | %.0f ms | %.0f µs | %.0f ms |" % (
                size, lines, idle[0] * 1e3, (idle[0] - idle[1]) / size * 1e6, idle[1] * 1e3,
                busy[0] * 1e3, (busy[0] - busy[1]) / size * 1e6, busy[1] * 1e3), True)


if __name__ == "__main__":
    sys.exit(run_suite(bench, more=[("--runs", dict(type=int, default=5)),
                                    ("sizes", dict(nargs="*", type=int,
                                                   default=[250, 500, 1000, 2000]))]))
