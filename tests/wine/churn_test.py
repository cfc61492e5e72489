#!/usr/bin/env python3
"""Lists windows under Wine while the fixture keeps creating, retitling and
destroying others, many times over, and checks every run: it ends (no hang)
with exit code 0, every line of its output is well formed, and each steady
window is listed exactly once, as it is.

    churn_test.py --build build/win32-i686 [--runs 100]

Wine's own errors are on for these runs, so that a run that fails says why.
"""
import os
import re
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from fixture_run import Build, FixtureRun, suite_arguments  # noqa: E402
from winehost import Host, WineError  # noqa: E402

DESKTOP = os.path.join(HERE, "churn.desktop")
TOP_LINE = re.compile(rb'"([^\r\n]{1,127})"( - Iconized| - Maximized)?( - Hidden)?\r\n')
CHILD_LINE = re.compile(rb'\t"([^\r\n]{2,127})"( id=(-?\d+) \(0x([0-9a-f]+)\))?\r\n')
STEADY = [b'"Steady Editor"\r\n\t"Save Button" id=11 (0xb)\r\n\t"Cancel" id=2 (0x2)\r\n',
          b'"Steady Hidden" - Hidden\r\n',
          b'"Steady Small" - Iconized\r\n']
RUN_LIMIT = 30


def malformed(output):
    """The first line that is not a listing line, or None."""
    lines = output.split(b"\r\n")
    if lines[-1] != b"":
        return b"unterminated: " + lines[-1]
    for line in lines[:-1]:
        line += b"\r\n"
        child = CHILD_LINE.fullmatch(line)
        if child:
            if child.group(2) and int(child.group(4), 16) != int(child.group(3)) & 0xFFFFFFFF:
                return line
            continue
        if not TOP_LINE.fullmatch(line):
            return line
    return None


def main():
    args, name = suite_arguments("churn", more=[("--runs", dict(type=int, default=100))])
    problems, times, churn_lines, child_lines = [], [], [], []
    try:
        build = Build(args.build)
        with Host(args.prefix) as host:
            host.smoke_test(build.hello)
            with FixtureRun(host, build, DESKTOP) as fixture:
                host.env["WINEDEBUG"] = "-all,err+all"
                for run in range(1, args.runs + 1):
                    start = time.time()
                    try:
                        p = host.run(build.arch, [build.quillex, "/listwin", "/listsub"],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     timeout=RUN_LIMIT)
                    except subprocess.TimeoutExpired:
                        problems.append("run %d: no end within %d s" % (run, RUN_LIMIT))
                        continue
                    times.append(time.time() - start)
                    out = p.stdout
                    if p.returncode != 0:
                        problems.append("run %d: exit code %d %r" % (run, p.returncode, p.stderr))
                    bad = malformed(out)
                    if bad is not None:
                        problems.append("run %d: malformed line %r" % (run, bad))
                    for steady in STEADY:
                        if out.count(steady) != 1:
                            problems.append("run %d: %r listed %d times" % (
                                run, steady, out.count(steady)))
                    churn_lines.append(len(re.findall(rb'^"Churn', out, re.M)))
                    child_lines.append(len(re.findall(rb'^\t"Churn child', out, re.M)))
            churned = [l.split()[1:] for l in fixture.report if l.startswith("churned ")]
            made, destroyed = map(int, churned[0]) if churned else (0, 0)
            # A run with nothing coming and going would prove nothing.
            if not made or not destroyed:
                problems.append("no windows came and went: %d made, %d destroyed" % (
                    made, destroyed))
            if not max(churn_lines, default=0):
                problems.append("no run listed a churning window")
    except WineError as e:
        print("%s: stopped: %s" % (name, e))
        return 1
    for p in problems[:20]:
        print("FAIL " + p)
    print("%s: %d runs, %d failed; each run %.2f s median, %.2f s max; %d windows and controls "
          "made and %d destroyed meanwhile; churning windows listed per run %d to %d (median "
          "%d), their child lines %d to %d" % (
              name, args.runs, len(problems), statistics.median(times), max(times), made,
              destroyed, min(churn_lines), max(churn_lines), statistics.median(churn_lines),
              min(child_lines), max(child_lines)))
    return 1 if problems or len(times) != args.runs else 0


if __name__ == "__main__":
    sys.exit(main())
