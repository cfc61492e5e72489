#!/usr/bin/env python3
"""Lists windows under Wine while the fixture keeps creating, retitling and
destroying others, many times over (Wine's own errors on, to say why a run
fails), and checks every run: it ends with exit code 0, every line of its
output is well formed, and each steady window is listed once, as it is.

    churn_test.py --build build/win32-i686 [--runs 100]
"""
import os
import re
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from suite import FixtureRun, listing, run_suite  # noqa: E402

DESKTOP = os.path.join(HERE, "churn.desktop")
STEADY = [b'"Steady Editor"\r\n\t"Save Button" id=11 (0xb)\r\n\t"Cancel" id=2 (0x2)\r\n',
          b'"Steady Hidden" - Hidden\r\n',
          b'"Steady Small" - Iconized\r\n']
RUN_LIMIT = 30


def malformed(output):
    """The first line that is not a listing line, or None."""
    for l in listing(output):
        well_formed = (l.title is not None and not l.question and not l.rest and
                       l.line.endswith(b"\r\n") and b"\r" not in l.line[:-2] and
                       len(l.title) <= 127 and (len(l.title) >= 2 or not l.child) and
                       (l.id is None or int(l.hex, 16) == int(l.id) & 0xFFFFFFFF) and
                       (not l.child or not (l.state or l.hidden)))
        if not well_formed:
            return l.line
    return None


def churn(args, build, host, report):
    times, churn_lines, child_lines = [], [], []
    with FixtureRun(host, build, DESKTOP) as fixture:
        host.env["WINEDEBUG"] = "-all,err+all"
        for run in range(1, args.runs + 1):
            start = time.time()
            try:
                p = host.run(build.arch, [build.quillex, "/listwin", "/listsub"],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=RUN_LIMIT)
            except subprocess.TimeoutExpired:
                report.check("run %d ends" % run, False, "no end within %d s" % RUN_LIMIT)
                continue
            times.append(time.time() - start)
            out, bad = p.stdout, malformed(p.stdout)
            counts = [out.count(steady) for steady in STEADY]
            if p.returncode or bad is not None or counts != [1, 1, 1]:
                report.check("run %d" % run, False, "exit code %d, malformed line %r, steady "
                             "windows listed %s times %r" % (p.returncode, bad, counts, p.stderr))
            churn_lines.append(len(re.findall(rb'^"Churn', out, re.M)))
            child_lines.append(len(re.findall(rb'^\t"Churn child', out, re.M)))
    churned = [l.split()[1:] for l in fixture.report if l.startswith("churned ")]
    made, destroyed = map(int, churned[0]) if churned else (0, 0)
    report.check("%d runs end with exit code 0, every line well formed, each steady window "
                 "listed once" % args.runs, report.counts["failed"] == 0 and len(times) == args.runs,
                 "each run %.2f s median, %.2f s max" % (statistics.median(times or [0]),
                                                         max(times or [0])))
    # A run with nothing coming and going would prove nothing.
    report.check("windows came and went meanwhile, and runs listed them",
                 made and destroyed and max(churn_lines, default=0),
                 "%d windows and controls made and %d destroyed; churning windows listed per "
                 "run %d to %d, their child lines %d to %d" % (
                     made, destroyed, min(churn_lines, default=0), max(churn_lines, default=0),
                     min(child_lines, default=0), max(child_lines, default=0)))


if __name__ == "__main__":
    sys.exit(run_suite(churn, more=[("--runs", dict(type=int, default=100))]))
