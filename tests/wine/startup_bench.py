#!/usr/bin/env python3
"""Median wall time of "quillex.exe /exist /windowname:NoSuchWindow" against a
trivial console exe built the same way, both under Wine in one run.

    startup_bench.py --build build/win32-i686 [--runs 31]
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_wine_scenarios import Wine  # noqa: E402


def timed(wine, argv):
    start = time.perf_counter()
    subprocess.run(["wine"] + argv, env=wine.env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--prefix", default="build/wineprefix")
    ap.add_argument("--runs", type=int, default=31)
    args = ap.parse_args()
    quillex = [os.path.join(args.build, "tool", "quillex.exe"), "/exist", "/windowname:NoSuchWindow"]
    hello = [os.path.join(args.build, "tests", "wine", "hello.exe")]
    wine = Wine(args.prefix)
    try:
        timed(wine, quillex), timed(wine, hello)  # warm the caches
        q, h = [], []
        for _ in range(args.runs):  # alternate, so both see the same conditions
            q.append(timed(wine, quillex))
            h.append(timed(wine, hello))
    finally:
        wine.close()
    print("%s, %d runs each: quillex /exist median %.1f ms, hello median %.1f ms" % (
        os.path.basename(args.build), args.runs, statistics.median(q) * 1e3,
        statistics.median(h) * 1e3))


if __name__ == "__main__":
    main()
