#!/usr/bin/env python3
"""Runs the real quillex.exe under Wine against a few demo windows made by the
fixture program (starting Xvfb when there is no display).

    run_demo.py --build build/win32-i686 [switches...]
"""
import argparse
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_wine_scenarios import Wine, wait_for, winpath  # noqa: E402

DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scenarios", "demo.desktop")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--prefix", default="build/wineprefix")
    ap.add_argument("switches", nargs=argparse.REMAINDER)
    args = ap.parse_args()
    wine = Wine(args.prefix)
    code = 1
    try:
        with tempfile.TemporaryDirectory() as tmp:
            ready, stop, report = (os.path.join(tmp, n) for n in ("ready", "stop", "report"))
            fixture = subprocess.Popen(
                ["wine", os.path.join(args.build, "tests", "wine", "fixture.exe"), winpath(DEMO),
                 winpath(ready), winpath(stop), winpath(report)], env=wine.env,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if wait_for(ready, 30):
                code = subprocess.call(["wine", os.path.join(args.build, "tool", "quillex.exe")]
                                       + args.switches, env=wine.env)
            open(stop, "w").close()
            fixture.wait(15)
    finally:
        wine.close()
    return code


if __name__ == "__main__":
    sys.exit(main())
