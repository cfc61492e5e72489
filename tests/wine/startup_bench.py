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
from fixture_run import Build, suite_arguments  # noqa: E402
from winehost import Host  # noqa: E402


def timed(host, arch, argv):
    start = time.perf_counter()
    host.run(arch, argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    args, _ = suite_arguments("startup", more=[("--runs", dict(type=int, default=31))])
    build = Build(args.build)
    quillex = [build.quillex, "/exist", "/windowname:NoSuchWindow"]
    finder = [build.hello, "find"]
    with Host(args.prefix) as host:
        host.smoke_test(build.hello)
        timed(host, build.arch, quillex), timed(host, build.arch, finder)  # warm caches
        q, h = [], []
        for _ in range(args.runs):  # alternate, so both see the same conditions
            q.append(timed(host, build.arch, quillex))
            h.append(timed(host, build.arch, finder))
    mq, mh = statistics.median(q) * 1e3, statistics.median(h) * 1e3
    print("%s, %d runs each: quillex /exist median %.1f ms, one FindWindowA median %.1f ms: "
          "%.3f times, %+.1f ms (%s 1.05 times or 3 ms)" % (
              os.path.basename(args.build), args.runs, mq, mh, mq / mh, mq - mh,
              "within" if mq <= mh * 1.05 or mq - mh <= 3 else "over"))


if __name__ == "__main__":
    main()
