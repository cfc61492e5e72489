#!/usr/bin/env python3
"""Checks what the run and test commands do on machines unlike this one
(the README's table says what), by pointing the Wine loaders at a program
that cannot start, and qemu-i386 and unshare at ones that are missing or
fail; and that a fixture that cannot start stops the scenario runner at once
with one message. Whole outputs are compared. The nested runs install
nothing and replay one quick scenario, on Wine prefixes of their own.
"""
import os
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)
import winehost  # noqa: E402
from suite import Report, listing  # noqa: E402

UNRUNNABLE = os.path.join(HERE, "unrunnable-loader")
NO_QEMU = "/nonexistent/qemu-i386"
NO_32_BIT = {"QUILLEX_WINE32_LOADER": UNRUNNABLE, "QUILLEX_QEMU_I386": NO_QEMU}
NO_WINE = dict(NO_32_BIT, QUILLEX_WINE64_LOADER=UNRUNNABLE)
NOT_32 = ("this kernel cannot run 32-bit programs (%s: Exec format error), and not through "
          "qemu-i386 either: %s is not installed (scripts/install_deps.sh installs qemu-user "
          "where 32-bit programs cannot run)" % (UNRUNNABLE, NO_QEMU))
NOT_64 = "this kernel cannot run 64-bit programs (%s: Exec format error)" % UNRUNNABLE
PREFIXES = os.environ.get("QUILLEX_PREFIX_ROOT", "build/wineprefix-fallbacks")
QUICK = "tests/scenarios/corpus/not-found-quiet.scn"
report = Report()


def run(argv, extra_env, timeout=1800):
    start = time.time()
    env = dict(os.environ, QUILLEX_NO_INSTALL="1", QUILLEX_PREFIX_ROOT=PREFIXES,
               QUILLEX_WINE_PREFIX=PREFIXES + "-run", **extra_env)
    # The machine simulated here is the one the loaders make it.
    env.pop("QUILLEX_WINE32_THROUGH_QEMU", None)
    with tempfile.TemporaryDirectory() as logs:  # not the outer test run's logs
        p = subprocess.run(argv, cwd=ROOT, env=dict(env, QUILLEX_TEST_LOGS=logs),
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=timeout)
    return p.returncode, p.stdout, p.stderr, time.time() - start


def expect(what, expected, actual):
    report.check(what, expected == actual, repr(actual), repr(expected))


def stages(stdout):
    """How each stage of scripts/test.sh ended, its time left off."""
    ended = re.findall(r"^\[\d+/\d+\] (.*?)(?: (passed|FAILED) in \d+ s.*|: (skipped), .*)$",
                       stdout.decode("utf-8", "replace"), re.M)
    return [(name, passed or skipped) for name, passed, skipped in ended]


# The demo's listing under Wine: the fixture's demo windows, then Wine's own
# Registry Editor. It ends after the last window's children: with no target
# window, /listsub enumerates the children of the null window, which on
# Windows (and the simulated desktop) are the top-level windows again, and
# under Wine none.
DEMO_LISTING = (b'"Calculator"\r\n'
                b'\t"OK" id=1 (0x1)\r\n'
                b'\t"Cancel" id=2 (0x2)\r\n'
                b'"Notes - Untitled" - Maximized\r\n'
                b'\t"Status bar"\r\n'
                b'"Background Helper" - Hidden\r\n'
                b'"Music Player" - Iconized\r\n'
                b'\t"Orphan Button" id=7 (0x7)\r\n'
                b'"Registry Editor"\r\n'
                b'\t"regedit child window"\r\n'
                b'\t"Tree View" id=2002 (0x7d2)\r\n'
                b'\t"List View" id=2003 (0x7d3)\r\n')


def check_run_without_32_bit():
    code, out, err, _ = run(["scripts/run.sh", "/listwin", "/listsub"], NO_32_BIT)
    expect("run.sh without 32-bit support: exit code", 0, code)
    expect("run.sh without 32-bit support: the notice", (
        "quillex: running the x86_64 quillex.exe under 64-bit Wine, since the i686 one cannot "
        "run here: %s\n" % NOT_32).encode(), err)
    # Wine's own windows ("Default IME", one per GUI thread) left out.
    expect("run.sh without 32-bit support: the demo listing", DEMO_LISTING,
           b"".join(l.line for l in listing(out) if l.title != b"Default IME"))


def script(folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + text)
    os.chmod(path, 0o755)
    return path


WINE_ONLY = [("cross build i686", "passed"), ("cross build x86_64", "passed"),
             ("import tables", "passed")]


def check_test_without_32_bit(tmp):
    no_namespace = dict(
        NO_32_BIT, QUILLEX_QEMU_I386=script(tmp, "qemu-i386", "echo 'qemu-i386 version 10.0.2'\n"),
        QUILLEX_UNSHARE=script(tmp, "unshare", "echo 'unshare: unshare failed: Operation not "
                               "permitted' >&2\nexit 1\n"))
    not_32 = NOT_32.split(", and")[0] + ", and not through qemu-i386 either: "
    for what, env, reason in (
            ("without 32-bit support or qemu-i386", NO_32_BIT, NOT_32),
            ("without 32-bit support or user namespaces", no_namespace,
             not_32 + "no user namespace: unshare: unshare failed: Operation not permitted")):
        code, out, _, _ = run(["scripts/test.sh", "--wine-only", QUICK], env)
        expect("test.sh %s: exit code" % what, 0, code)
        expect("test.sh %s: the skip line" % what, True,
               ("] i686 under Wine: skipped, %s\n" % reason).encode() in out)
        expect("test.sh %s: the stages" % what, WINE_ONLY + [
            ("i686 under Wine", "skipped"), ("x86_64 under Wine", "passed")], stages(out))


def check_without_wine():
    code, out, err, seconds = run(["scripts/run.sh", "/listwin"], NO_WINE)
    expect("run.sh without Wine: exit code", 1, code)
    expect("run.sh without Wine: nothing on standard output", b"", out)
    expect("run.sh without Wine: the message", (
        "Wine cannot start on this machine:\n  i686: %s\n  x86_64: %s\n"
        "Install Wine with scripts/install_deps.sh (as root), or run the native build on the "
        "simulated desktop: scripts/run.sh --native /listwin /listsub\n" % (NOT_32, NOT_64)
    ).encode(), err)
    expect("run.sh without Wine: stops at once", True, seconds < 30)
    code, out, _, _ = run(["scripts/test.sh", "--wine-only", QUICK], NO_WINE)
    expect("test.sh without Wine: exit code", 1, code)
    expect("test.sh without Wine: the stages", WINE_ONLY + [
        ("i686 under Wine", "skipped"), ("x86_64 under Wine", "skipped")], stages(out))
    expect("test.sh without Wine: says why it fails", True,
           b"\nFAILED: no Wine suite could run: quillex.exe was not tried on real windows\n" in out)


def check_fixture_cannot_start():
    arch = "x86_64" if winehost.can_run("x86_64")[0] else "i686"
    build = os.path.join(ROOT, "build", "win32-" + arch)
    with tempfile.TemporaryDirectory() as tmp:
        bad = os.path.join(tmp, "bad.scn")
        with open(bad, "w") as f:
            f.write('window w1 "A" bogus\ncmdline quillex.exe /listwin\n\nexit 0\n')
        code, out, _, seconds = run(["python3", "tests/scenarios/run_scenarios.py", "--host",
                                     "wine", "--build", build, bad, bad, bad], {})
    expect("a fixture that cannot start: exit code", 1, code)
    expect("a fixture that cannot start: one message", (
        "not ok 1 the suite goes on (stopped: the fixture (%s) did not start under Wine for "
        "bad.scn: it ended with exit code 2: fixture: unknown window attribute bogus)\n"
        "0 passed, 1 failed, 0 skipped\n" % os.path.join(build, "tests", "wine", "fixture.exe")
    ).encode(), out)
    expect("a fixture that cannot start: stops at once", True, seconds < 30)


def main():
    check_run_without_32_bit()
    with tempfile.TemporaryDirectory() as tmp:
        check_test_without_32_bit(tmp)
    check_without_wine()
    check_fixture_cannot_start()
    return report.close()


if __name__ == "__main__":
    sys.exit(main())
