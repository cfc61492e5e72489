#!/usr/bin/env python3
"""Times "/listwin /listsub" over simulated desktops of growing size (each
top-level window with 10 children), output to a file, and reports wall time
and peak memory per size, so that linear growth can be checked.

    listing_bench.py build/native/tool/quillex [sizes...]
"""
import os
import subprocess
import sys
import tempfile
import time


def make_desktop(path, windows, children=10):
    with open(path, "w") as f:
        for w in range(windows):
            f.write('window w%d "Window number %d"%s\n' % (w, w, " hidden" if w % 7 == 0 else ""))
            for c in range(children):
                f.write('child c%d_%d "Button %d" id=%d\n' % (w, c, c, 1000 + c))
        f.write("cmdline quillex.exe /listwin /listsub\n")


def run_once(exe, desktop, out_path):
    env = {k: v for k, v in os.environ.items() if not k.startswith("QUILLEX_SIM")}
    env["QUILLEX_SIM_SCENARIO"] = desktop
    with open(out_path, "wb") as out:
        start = time.perf_counter()
        p = subprocess.Popen([exe], env=env, stdout=out)
        _, status, usage = os.wait4(p.pid, 0)
        elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("quillex failed")
    return elapsed, usage.ru_maxrss  # KiB on Linux


def main():
    exe = os.path.abspath(sys.argv[1])
    sizes = [int(s) for s in sys.argv[2:]] or [2500, 5000, 10000, 20000]
    with tempfile.TemporaryDirectory() as tmp:
        desktop, out = os.path.join(tmp, "desktop.scn"), os.path.join(tmp, "out.txt")
        print("%8s %10s %12s %12s %10s" % ("windows", "best s", "us/window", "peak KiB", "out KiB"))
        for n in sizes:
            make_desktop(desktop, n)
            runs = [run_once(exe, desktop, out) for _ in range(5)]
            best = min(r[0] for r in runs)
            peak = max(r[1] for r in runs)
            print("%8d %10.4f %12.2f %12d %10d" % (n, best, best / n * 1e6, peak,
                                                  os.path.getsize(out) // 1024))


if __name__ == "__main__":
    main()
