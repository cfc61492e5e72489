#!/usr/bin/env python3
"""Runs the real quillex.exe under Wine against a few demo windows made by the
fixture program, on a virtual display when there is none.

    run_demo.py --build build/win32-i686 [switches...]
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from fixture_run import Build, FixtureRun  # noqa: E402
from winehost import Host, WineError  # noqa: E402

DEMO = os.path.join(HERE, "..", "scenarios", "demo.desktop")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--prefix", default="build/wineprefix")
    ap.add_argument("switches", nargs=argparse.REMAINDER)
    args = ap.parse_args()
    try:
        build = Build(args.build)
        with Host(args.prefix) as host:
            host.require(build.arch)
            with FixtureRun(host, build, DEMO):
                return host.run(build.arch, [build.quillex] + args.switches,
                                stdin=None).returncode
    except WineError as e:
        print("run_demo: %s" % e, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
