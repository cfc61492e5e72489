"""What every suite shares: its command line and skeleton, the build it
tests, one way to start quillex.exe, the fixture that makes a scenario's
windows, one parser of Quillex's listings, and one reporter: a line per
check ("ok 1 name (what was seen)", "not ok 2 name", "ok 3 name # SKIP
why"), then "N passed, N failed, N skipped", which the test command reads.
A suite that cannot go on stops with a "not ok" line that says why.
"""
import argparse
import collections
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from winehost import (DEFAULT_PREFIX, Host, WineError, enter_namespace_for, needs_wine,
                      pe_arch, winpath)


class Report:
    def __init__(self):
        self.number = 0
        self.counts = collections.Counter()

    def check(self, name, ok, seen=None, expected=None):
        """Reports a check; returns whether it passed."""
        self.number += 1
        self.counts["passed" if ok else "failed"] += 1
        print("%s %d %s%s" % ("ok" if ok else "not ok", self.number, name,
                              " (%s)" % seen if seen is not None else ""))
        if not ok and expected is not None:
            print("    expected %s" % expected)
        sys.stdout.flush()
        return ok

    def skip(self, name, why):
        self.number += 1
        self.counts["skipped"] += 1
        print("ok %d %s # SKIP %s" % (self.number, name, why))

    def close(self):
        """Prints the closing line; returns the suite's exit code: failing
        when a check failed, or when nothing ran at all."""
        c = self.counts
        print("%d passed, %d failed, %d skipped" % (c["passed"], c["failed"], c["skipped"]))
        return 1 if c["failed"] or not (c["passed"] or c["skipped"]) else 0


def run_suite(body, more=(), wine_only=None, exe="quillex.exe"):
    """The skeleton of a suite on real windows: parses --build and the
    suite's own options (more: (flag, keyword arguments) pairs), stops on
    Windows where the suite runs only under Wine (wine_only: why), goes on in
    a qemu namespace where the build runs only so, and calls
    body(args, build, host, report) on a host where a trivial program of the
    build runs. Returns the exit code."""
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="a win32 build folder")
    for flag, options in more:
        ap.add_argument(flag, **options)
    args = ap.parse_args()
    if wine_only:
        needs_wine(wine_only)
    report = Report()
    try:
        build = Build(args.build, getattr(args, "exe", exe))
        enter_namespace_for(build.arch)
        with Host(DEFAULT_PREFIX) as host:
            host.smoke_test(build.hello)
            body(args, build, host, report)
    except WineError as e:
        report.check("the suite goes on", False, "stopped: %s" % e)
    return report.close()


class Build:
    """The Windows programs of one cross build folder."""

    def __init__(self, folder, exe="quillex.exe"):
        self.folder = folder
        self.exe = exe
        self.quillex = os.path.join(folder, "tool", exe)
        tests = os.path.join(folder, "tests", "wine")
        self.fixture, self.starter, self.hello, self.typist, self.code_page = (
            os.path.join(tests, n + ".exe")
            for n in ("fixture", "starter", "hello", "typist", "console_code_page"))
        for program in (self.quillex, self.fixture, self.starter, self.hello):
            if not os.path.exists(program):
                raise WineError("%s is missing: build the folder first (cmake --build --preset "
                                "%s)" % (program, os.path.basename(os.path.normpath(folder))))
        self.arch = pe_arch(self.quillex)


# The show commands a scenario's startup line may name (STARTF_USESHOWWINDOW).
SHOW_COMMANDS = {"SW_HIDE": 0, "SW_SHOWMINNOACTIVE": 7}


def starter_argv(build, program, command_line, folder, startup=None, keys=None, title=None,
                 stdin=None):
    """The program and arguments that run a program through the starter
    with exactly this raw command line (bytes in UTF-8, kept in a file in
    folder): quotes reach it as written, which they would not if Wine built
    the command line from separate arguments. startup names the show
    command it is started with, as a shortcut would; keys (a file of the
    starter's key lines and one for the screen) give it a console of its own
    with that title; stdin names a file for its standard input."""
    with tempfile.NamedTemporaryFile(dir=folder, prefix="cmdline", delete=False) as f:
        f.write(command_line)
    options = ["--show", str(SHOW_COMMANDS[startup])] if startup else []
    if keys:
        options += ["--keys", winpath(keys[0]), winpath(keys[1])]
    if title:
        options += ["--title", title]
    return ([build.starter] + options + [program, winpath(f.name)] +
            ([winpath(stdin)] if stdin else []))


def quillex_argv(build, command_line, folder, *options):
    """The same for quillex.exe, its command line as a scenario writes it
    (its bytes as Latin-1 characters)."""
    return starter_argv(build, build.quillex, command_line.encode("latin-1"), folder, *options)


def run_command_line(host, build, command_line, **kwargs):
    """Runs quillex.exe with exactly this raw command line."""
    with tempfile.TemporaryDirectory() as tmp:
        return host.run(build.arch, quillex_argv(build, command_line, tmp), **kwargs)


def run_quillex(host, build, args, **kwargs):
    """Runs quillex.exe with the raw command line "quillex.exe ARGS"."""
    return run_command_line(host, build, "quillex.exe " + args, **kwargs)


def start_quillex(host, build, args, folder, **kwargs):
    """Starts quillex.exe with the raw command line "quillex.exe ARGS" and
    returns at once, with its process."""
    return host.popen(build.arch, quillex_argv(build, "quillex.exe " + args, folder), **kwargs)


def window_exists(host, build, title):
    return run_quillex(host, build, '/exist /w:"%s"' % title,
                       stdout=subprocess.DEVNULL).returncode == 0


def wait_until(condition, seconds):
    end = time.time() + seconds
    while time.time() < end:
        if condition():
            return True
        time.sleep(0.05)
    return condition()


def wait_for_window(host, build, title, present=True, seconds=30):
    """Waits until a window of that title exists (or, present false, until
    none does); False on time out."""
    return wait_until(lambda: window_exists(host, build, title) == present, seconds)


# One line of a text listing: a window's (or, after a tab, a child's) title
# in quotes, its id, its states, a question, and what follows (an echoed key).
LISTING_LINE = re.compile(rb'(\t?)"(.*)"(?: id=(-?\d+) \(0x([0-9a-f]+)\))?'
                          rb'( - Iconized| - Maximized)?( - Hidden)?'
                          rb'(\. Do (?:Show|Hide)\? \(y/n\):)?(.*)')
Listed = collections.namedtuple("Listed", "child title id hex state hidden question rest line")


def listing(output):
    """Quillex's text listing, line by line (each line as written, its line
    end included): Listed, or None for a line that is not a listing line."""
    lines = []
    for line in re.split(rb"(?<=\n)", output):
        if not line:
            continue
        m = LISTING_LINE.fullmatch(line.rstrip(b"\r\n"))
        lines.append(Listed(m.group(1) == b"\t", *m.groups()[1:], line) if m else
                     Listed(None, None, None, None, None, None, None, None, line))
    return lines


def host_names(lines):
    """What a scenario's {ID} and {pid} stand for on a host, from its
    "handle ID 0x..." and "pid N" lines."""
    names = {}
    for line in lines:
        words = line.split()
        if len(words) == 3 and words[0] == "handle":
            names["{%s}" % words[1]] = words[2]
        elif len(words) == 2 and words[0] == "pid":
            names["{pid}"] = words[1]
    return names


class FixtureRun:
    """The fixture program on a desktop file: its windows, until stop(),
    which collects its report (the messages its windows received, their
    final states). One that cannot start raises WineError at once (when it
    ends before it is ready) or after ready_seconds, so that a runner stops
    with one clear message instead of timing out scenario after scenario."""

    def __init__(self, host, build, desktop, ready_seconds=30):
        self.tmp = tempfile.mkdtemp(prefix="fixture")
        self.ready, self.stop_file, self.report_file, self.start_file = (
            os.path.join(self.tmp, n) for n in ("ready", "stop", "report", "start"))
        self.report, self.names = [], {}
        self.errors = open(os.path.join(self.tmp, "stderr"), "w+b")
        self.process = host.popen(build.arch, [build.fixture] + [winpath(p) for p in (
            desktop, self.ready, self.stop_file, self.report_file, self.start_file)],
            stdout=subprocess.DEVNULL, stderr=self.errors)
        if not self.wait_for(self.ready, ready_seconds):
            code = self.process.poll()
            if code is None:
                self.process.kill()
                self.process.wait()
                why = "it was not ready within %d s" % ready_seconds
            else:
                self.errors.seek(0)
                said = self.errors.read().decode("utf-8", "replace").strip()
                why = "it ended with exit code %d%s" % (code, (": " + said) if said else "")
            self._cleanup()
            raise WineError("the fixture (%s) did not start under Wine for %s: %s" % (
                build.fixture, os.path.basename(desktop), why))
        # The handles and the process a scenario's {ID} and {pid} stand for.
        self.names = host_names(open(self.ready).read().splitlines())

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def wait_for(self, path, seconds):
        """Waits until path exists, but not once the fixture has ended."""
        return wait_until(lambda: os.path.exists(path) or self.process.poll() is not None,
                          seconds) and os.path.exists(path)

    def started(self):
        """Tells the fixture that the program under test starts now: its
        windows that appear or go later count from here."""
        open(self.start_file, "w").close()

    def stop(self):
        """Tells the fixture to report and end; returns the report lines."""
        if self.process is None:
            return self.report
        open(self.stop_file, "w").close()
        self.wait_for(self.report_file, 15)
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        if os.path.exists(self.report_file):
            with open(self.report_file) as f:
                self.report = f.read().splitlines()
        self.process = None
        self._cleanup()
        return self.report

    def _cleanup(self):
        self.errors.close()
        shutil.rmtree(self.tmp, ignore_errors=True)


if __name__ == "__main__":
    # suite.py junit FILE: the closing line of a ctest run, from its JUnit file.
    import xml.etree.ElementTree as ET
    cases = list(ET.parse(sys.argv[2]).getroot().iter("testcase"))
    failed = sum(c.find("failure") is not None or c.get("status") == "fail" for c in cases)
    skipped = sum(c.find("skipped") is not None for c in cases)
    print("%d passed, %d failed, %d skipped" % (len(cases) - failed - skipped, failed, skipped))
