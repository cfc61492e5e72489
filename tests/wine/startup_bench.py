#!/usr/bin/env python3
"""Median wall time of "quillex.exe /exist /windowname:NoSuchWindow" against a
trivial console exe built the same way that calls FindWindowA once, both
under Wine in one run, alternating; the target is 1.05 times as long, or 3 ms
more, at most.

    startup_bench.py --build build/win32-i686 [--runs 31]
"""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from suite import run_suite  # noqa: E402


def timed(host, arch, argv):
    start = time.perf_counter()
    host.run(arch, argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def bench(args, build, host, report):
    quillex = [build.quillex, "/exist", "/windowname:NoSuchWindow"]
    finder = [build.hello, "find"]
    timed(host, build.arch, quillex), timed(host, build.arch, finder)  # warm caches
    q, h = [], []
    for _ in range(args.runs):  # alternate, so both see the same conditions
        q.append(timed(host, build.arch, quillex))
        h.append(timed(host, build.arch, finder))
    mq, mh = statistics.median(q) * 1e3, statistics.median(h) * 1e3
    print("# %s, %d runs each: quillex /exist median %.1f ms, one FindWindowA median %.1f ms: "
          "%.3f times, %+.1f ms" % (os.path.basename(args.build), args.runs, mq, mh, mq / mh,
                                   mq - mh))
    report.check("within 1.05 times or 3 ms of one FindWindowA call",
                 mq <= mh * 1.05 or mq - mh <= 3)


if __name__ == "__main__":
    sys.exit(run_suite(bench, more=[("--runs", dict(type=int, default=31))]))
