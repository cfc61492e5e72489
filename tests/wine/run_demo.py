#!/usr/bin/env python3
"""Runs the real quillex.exe under Wine with the given switches, on a virtual
display when there is none, against a real program, Wine's own Registry
Editor, and a few demo windows made by the fixture program.

    run_demo.py --build build/win32-i686 [switches...]
"""
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from suite import Build, FixtureRun, wait_for_window  # noqa: E402
from winehost import DEFAULT_PREFIX, Host, WineError, enter_namespace_for  # noqa: E402

DEMO = os.path.join(HERE, "..", "scenarios", "demo.desktop")
REAL_PROGRAM, REAL_TITLE = "regedit.exe", "Registry Editor"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("switches", nargs=argparse.REMAINDER)
    args = ap.parse_args()
    try:
        build = Build(args.build)
        enter_namespace_for(build.arch)
        with Host(DEFAULT_PREFIX) as host:
            host.require(build.arch)
            program = host.popen(build.arch, [REAL_PROGRAM], stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
            try:
                if not wait_for_window(host, build, REAL_TITLE):
                    raise WineError("%s did not show its window \"%s\" within 30 s" % (
                        REAL_PROGRAM, REAL_TITLE))
                with FixtureRun(host, build, DEMO):
                    return host.run(build.arch, [build.quillex] + args.switches,
                                    stdin=None).returncode
            finally:
                program.kill()
                program.wait()
    except WineError as e:
        print("run_demo: %s" % e, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
