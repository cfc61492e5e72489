"""Starts the fixture program on a desktop file under Wine and collects its
report: the messages its windows received and their final states.

    with FixtureRun(host, build, desktop_path) as fx:
        ... run quillex.exe against the windows ...
    fx.report   # "received ..." and "final ..." lines

A fixture that cannot start raises WineError at once (when its process ends
before it is ready) or after 30 s, so that a runner stops with one clear
message instead of timing out scenario after scenario.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

from winehost import (DEFAULT_PREFIX, WineError, enter_namespace_for, needs_wine, pe_arch,
                      winpath)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scenarios"))
from run_scenarios import host_names  # noqa: E402

READY_SECONDS = 30


def wait_for(path, seconds, process=None):
    """Waits until path exists; gives up early when process has ended."""
    wait_until(lambda: os.path.exists(path) or (process is not None and
                                                process.poll() is not None), seconds)
    return os.path.exists(path)


class Build:
    """The Windows programs of one cross build folder."""

    def __init__(self, folder, exe="quillex.exe"):
        self.folder = folder
        self.exe = exe
        self.quillex = os.path.join(folder, "tool", exe)
        self.fixture = os.path.join(folder, "tests", "wine", "fixture.exe")
        self.launcher = os.path.join(folder, "tests", "wine", "launcher.exe")
        self.hello = os.path.join(folder, "tests", "wine", "hello.exe")
        self.typist = os.path.join(folder, "tests", "wine", "console_typist.exe")
        for exe in (self.quillex, self.fixture, self.launcher, self.hello, self.typist):
            if not os.path.exists(exe):
                raise WineError("%s is missing: build the folder first (cmake --build --preset "
                                "%s)" % (exe, os.path.basename(folder)))
        self.arch = pe_arch(self.quillex)


def suite_arguments(suite, wine_only=None, more=()):
    """The options of a suite's command line: --build, --prefix and more
    ((flag, keyword arguments) pairs). Returns (arguments, the suite's name
    for this build). A suite that can only run under Wine (wine_only: why)
    stops here on Windows; one whose build runs only through qemu-i386 here
    goes on in a namespace where it does."""
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="a win32 build folder")
    ap.add_argument("--prefix", default=DEFAULT_PREFIX)
    for flag, options in more:
        ap.add_argument(flag, **options)
    args = ap.parse_args()
    name = suite + "-" + os.path.basename(os.path.normpath(args.build))
    if wine_only:
        needs_wine(name, wine_only)
    exe = os.path.join(args.build, "tool", "quillex.exe")
    if os.path.exists(exe):
        enter_namespace_for(pe_arch(exe))
    return args, name


# The show commands a scenario's startup line may name (STARTF_USESHOWWINDOW).
SHOW_COMMANDS = {"SW_HIDE": 0, "SW_SHOWMINNOACTIVE": 7}


def quillex_argv(build, command_line, folder, startup=None):
    """The program and arguments that run quillex.exe through the launcher
    with exactly this raw command line (kept in a file in folder): quotes
    reach it as written, which they would not if Wine built the command
    line from separate arguments. startup names the show command it is
    started with, as a shortcut or "start /min" would."""
    with tempfile.NamedTemporaryFile(dir=folder, prefix="cmdline", delete=False) as f:
        f.write(command_line.encode("latin-1"))
    show = ["--show", str(SHOW_COMMANDS[startup])] if startup else []
    return [build.launcher] + show + [build.quillex, winpath(f.name)]


def run_command_line(host, build, command_line, startup=None, **kwargs):
    """Runs quillex.exe with exactly this raw command line."""
    with tempfile.TemporaryDirectory() as tmp:
        return host.run(build.arch, quillex_argv(build, command_line, tmp, startup), **kwargs)


def start_quillex(host, build, args, folder, **kwargs):
    """Starts quillex.exe with the raw command line "quillex.exe ARGS" and
    returns at once, with its process."""
    return host.popen(build.arch, quillex_argv(build, "quillex.exe " + args, folder), **kwargs)


def run_quillex(host, build, args, **kwargs):
    """Runs quillex.exe with the raw command line "quillex.exe ARGS"."""
    return run_command_line(host, build, "quillex.exe " + args, **kwargs)


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
    none does), as the user's guide's batch recipe does; False on time out."""
    return wait_until(lambda: window_exists(host, build, title) == present, seconds)


class FixtureRun:
    def __init__(self, host, build, desktop, ready_seconds=READY_SECONDS):
        self.tmp = tempfile.mkdtemp(prefix="fixture")
        self.ready, self.stop_file, self.report_file, self.start_file = (
            os.path.join(self.tmp, n) for n in ("ready", "stop", "report", "start"))
        self.report = []
        self.errors = open(os.path.join(self.tmp, "stderr"), "w+b")
        self.process = host.popen(build.arch, [build.fixture, winpath(desktop), winpath(self.ready),
                                               winpath(self.stop_file), winpath(self.report_file),
                                               winpath(self.start_file)],
                                  stdout=subprocess.DEVNULL, stderr=self.errors)
        self.names = {}
        if not wait_for(self.ready, ready_seconds, self.process):
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

    def started(self):
        """Tells the fixture that the program under test starts now: its
        windows that appear or go later count from here."""
        open(self.start_file, "w").close()

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        """Tells the fixture to report and end; returns the report lines."""
        if self.process is None:
            return self.report
        open(self.stop_file, "w").close()
        wait_for(self.report_file, 15, self.process)
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
