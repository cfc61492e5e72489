#!/usr/bin/env python3
"""The one place that knows how to run Windows programs on this machine:
under Wine on Linux (its loaders found by trying them: some kernels cannot
run 32-bit programs, and there 32-bit Wine runs through qemu-i386, see
qemu_namespace.py), or directly on Windows itself. A Wine host owns a Wine
prefix (one run at a time: QUILLEX_WINE_PREFIX gives a run its own), a
virtual display when there is none, and the settings the suites rely on.
The README tells how to simulate other machines (QUILLEX_WINE32_LOADER...).

    winehost.py check ARCH   exit 0 when ARCH programs can run here, with
                             "through qemu-i386" on standard output when that
                             is how; otherwise the reason and exit 1
    winehost.py pick         the architecture the demo runs (i686 where it can,
                             else x86_64, with a one-line notice on standard
                             error); exit 1 with a message when Wine cannot start
    winehost.py status       one line per architecture
"""
import errno
import os
import re
try:
    import fcntl
except ImportError:  # Windows, where there is no Wine prefix to lock
    fcntl = None
import shutil
import subprocess
import sys
import time

import qemu_namespace

ARCHS = ("i686", "x86_64")
DEFAULT_LOADERS = {"i686": "/usr/lib/wine/wine", "x86_64": "/usr/lib/wine/wine64"}
LOADER_VARIABLES = {"i686": "QUILLEX_WINE32_LOADER", "x86_64": "QUILLEX_WINE64_LOADER"}
PE_MACHINES = {0x14C: "i686", 0x8664: "x86_64"}
# Wine's loaders are not position-independent (they sit at 0x7d000000), and
# Debian ships no preloader to reserve Wine's fixed addresses first. With the
# kernel's randomised heap start, the 64-bit loader's heap now and then lands
# on the page Wine needs for the shared user data (0x7ffe0000), and the
# program never starts: "failed to map the shared user data", exit code 1.
# Without randomisation the heap begins right after the loader, far below.
FIXED_LAYOUT = ["setarch", "-R"]
ON_WINDOWS = sys.platform == "win32"
DEFAULT_PREFIX = os.environ.get("QUILLEX_WINE_PREFIX") or (
    "build/wineprefix-qemu" if qemu_namespace.INSIDE else "build/wineprefix")


class WineError(Exception):
    """Wine, the display or a program cannot start; the text says what to do."""


def loader_for(arch):
    path = os.environ.get(LOADER_VARIABLES[arch]) or DEFAULT_LOADERS[arch]
    return os.path.abspath(path)


def probe_loader(arch):
    """Tries the architecture's loader. Returns (True, version) when it
    starts, else (False, reason, whether the kernel refused it)."""
    loader = loader_for(arch)
    try:
        p = subprocess.run([loader, "--version"], stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    except OSError as e:
        if e.errno == errno.ENOEXEC:
            bits = "32" if arch == "i686" else "64"
            return False, "this kernel cannot run %s-bit programs (%s: %s)" % (
                bits, loader, e.strerror), True
        if e.errno == errno.ENOENT:
            return False, "%s is not installed (scripts/install_deps.sh installs it)" % loader, False
        return False, "%s cannot start: %s" % (loader, e.strerror), False
    except subprocess.TimeoutExpired:
        return False, "%s --version did not answer within 60 s" % loader, False
    if p.returncode != 0:
        return False, "%s --version failed with exit code %d%s" % (
            loader, p.returncode, qemu_namespace.last_words(p)), False
    return True, p.stdout.decode("utf-8", "replace").strip(), False


def probe(arch):
    """Tries the architecture's programs: (True, version and how, qemu)
    when they start, else (False, reason, None); qemu is the qemu-i386 they
    run through, or None when they run natively."""
    if ON_WINDOWS:
        # 64-bit Windows runs both architectures itself.
        return True, "Windows runs %s programs itself" % arch, None
    inside = qemu_namespace.INSIDE
    forced = arch == "i686" and not inside and os.environ.get("QUILLEX_WINE32_THROUGH_QEMU")
    if forced:
        ok, reason, refused = False, ("the kernel's own 32-bit support is not used "
                                      "(QUILLEX_WINE32_THROUGH_QEMU is set)"), True
    else:
        ok, reason, refused = probe_loader(arch)
    if ok:
        return True, reason, inside if arch == "i686" else None
    if arch != "i686" or inside or not refused:
        return False, reason, None
    ok, how = qemu_namespace.probe(loader_for("i686"))
    if ok:
        return True, how, qemu_namespace.qemu_i386()
    return False, "%s, and not through qemu-i386 either: %s" % (reason, how), None


_probed = {}


def can_run(arch):
    """(runnable, reason or version) for the architecture, probed once."""
    if arch not in _probed:
        _probed[arch] = probe(arch)
    return _probed[arch][:2]


def through_qemu(arch):
    """Whether the architecture's programs run here through qemu-i386."""
    can_run(arch)
    return _probed[arch][2] is not None


def enter_namespace_for(arch):
    """Where the architecture's programs run only through qemu-i386, runs
    this program again, with the same arguments, inside a user namespace
    where they do; returns at once everywhere else."""
    if qemu_namespace.INSIDE or not can_run(arch)[0] or not through_qemu(arch):
        return
    argv = qemu_namespace.namespace_command([sys.executable] + sys.argv)
    sys.stdout.flush()
    sys.stderr.flush()
    os.execvp(argv[0], argv)


def program_pattern(name):
    """A pattern for the command line (as ps shows it) of a Windows
    program's own process: its path first, or, through qemu, after qemu's
    and the loader's."""
    return r"^(\S*qemu-i386\S* \S+ )?\S*%s " % re.escape(name)


def pe_arch(exe):
    """The architecture a PE file is built for, from its COFF header."""
    with open(exe, "rb") as f:
        head = f.read(4096)
    offset = int.from_bytes(head[0x3C:0x40], "little")
    if head[:2] != b"MZ" or head[offset:offset + 4] != b"PE\0\0":
        raise WineError("%s is not a Windows program" % exe)
    machine = int.from_bytes(head[offset + 4:offset + 6], "little")
    if machine not in PE_MACHINES:
        raise WineError("%s is built for machine 0x%x, which Wine here does not run" % (
            exe, machine))
    return PE_MACHINES[machine]


def winpath(path):
    """The path as a Windows program sees it."""
    if ON_WINDOWS:
        return os.path.abspath(path)
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def cannot_start_message():
    lines = ["Wine cannot start on this machine:"]
    lines += ["  %s: %s" % (a, can_run(a)[1]) for a in ARCHS]
    lines.append("Install Wine with scripts/install_deps.sh (as root), or run the native build "
                 "on the simulated desktop: scripts/run.sh --native /listwin /listsub")
    return "\n".join(lines)


class ProgramHost:
    """What every host does: run a Windows program with its arguments, and
    make sure first that programs of an exe's architecture run at all."""

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def require(self, arch):
        ok, reason = can_run(arch)
        if not ok:
            raise WineError("%s programs cannot run here: %s" % (arch, reason))

    def run(self, arch, argv, **kwargs):
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        return subprocess.run(self.command(arch, argv), env=self.env_for(arch), **kwargs)

    def popen(self, arch, argv, **kwargs):
        return subprocess.Popen(self.command(arch, argv), env=self.env_for(arch), **kwargs)

    def smoke_test(self, exe):
        """Starts a trivial program of exe's architecture and fails at once,
        with the reason, when it cannot run."""
        arch = pe_arch(exe)
        self.require(arch)
        try:
            p = self.run(arch, [exe], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        except subprocess.TimeoutExpired:
            raise WineError("%s did not end within 60 s on %s" % (exe, self))
        if p.returncode != 0:
            raise WineError("%s cannot run on %s: exit code %d %s" % (
                exe, self, p.returncode, p.stderr.decode("utf-8", "replace").strip()))
        return arch


class WindowsHost(ProgramHost):
    """Windows itself: programs run directly on the desktop of the runner,
    whose other windows the suites must leave as they are."""

    def __init__(self):
        self.env = dict(os.environ)

    def __str__(self):
        return "Windows"

    def command(self, arch, argv):
        self.require(arch)
        return list(argv)

    def env_for(self, arch):
        return self.env

    def close(self):
        pass


def Host(prefix=DEFAULT_PREFIX):
    """The host for where this runs: Windows itself, or Wine."""
    return WindowsHost() if ON_WINDOWS else WineHost(prefix)


class WineHost(ProgramHost):
    """A Wine prefix on a display, ready to run programs of every architecture
    this machine can run. Use it as a context manager; closing it stops the
    Wine server and the display it started."""

    def __init__(self, prefix=DEFAULT_PREFIX):
        runnable = [a for a in ARCHS if can_run(a)[0]]
        if not runnable:
            raise WineError(cannot_start_message())
        # The prefix is made by the 64-bit loader where it runs, so that it
        # holds both architectures; 32-bit programs start in it as well.
        self.base_arch = "x86_64" if "x86_64" in runnable else "i686"
        self.prefix = os.path.abspath(prefix)
        self.xvfb = None
        self.lock = self._lock_prefix()
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("WINELOADER", None)
        try:
            self._start_display()
            self._make_prefix()
        except BaseException:
            self.close()
            raise

    def __str__(self):
        return "Wine (%s)" % self.prefix

    def _lock_prefix(self):
        """One run at a time per prefix: another run's programs would see our
        windows, and its end would stop our Wine server."""
        os.makedirs(os.path.dirname(self.prefix), exist_ok=True)
        lock = open(self.prefix + ".lock", "a+")
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            lock.seek(0)
            holder = lock.read().strip() or "another process"
            lock.close()
            raise WineError("another run (%s) is using the Wine prefix %s: wait until it has "
                            "ended, or give this run a prefix of its own "
                            "(QUILLEX_WINE_PREFIX)" % (holder, self.prefix))
        lock.seek(0)
        lock.truncate()
        lock.write("process %d" % os.getpid())
        lock.flush()
        return lock

    def _start_display(self):
        if self.env.get("DISPLAY"):
            return
        if not shutil.which("Xvfb"):
            raise WineError("Xvfb is missing: install it with scripts/install_deps.sh (as root)")
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                      "1280x1024x24", "-nolisten", "tcp"], pass_fds=(write,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        deadline = time.time() + 20
        while time.time() < deadline and not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                break
            number += chunk
        os.close(read)
        if not number.strip().isdigit():
            raise WineError("the virtual display (Xvfb) did not start")
        self.env["DISPLAY"] = ":" + number.strip().decode()

    def _make_prefix(self):
        os.makedirs(self.prefix, exist_ok=True)
        # A run that was killed leaves its server and programs behind, and
        # wineboot would wait for them; no other run holds the prefix now.
        subprocess.run([self.wineserver(), "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        done = os.path.join(self.prefix, "system.reg")
        p = self.run(self.base_arch, ["wineboot", "-i"], stdout=subprocess.PIPE,
                     stderr=subprocess.STDOUT, timeout=300)
        if p.returncode != 0 or not os.path.exists(done):
            said = p.stdout.decode("utf-8", "replace").strip().splitlines()[-3:]
            raise WineError("Wine could not set up its prefix %s with %s (exit code %d)%s" % (
                self.prefix, loader_for(self.base_arch), p.returncode,
                "".join("\n  " + s for s in said)))
        # Without a window manager Wine would wait up to 2 s on every hide for
        # one to withdraw the window; unmanaged windows need no such wait.
        self.run(self.base_arch, ["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v",
                                  "Managed", "/d", "N", "/f"], stdout=subprocess.DEVNULL,
                 stderr=subprocess.DEVNULL, timeout=120)
        # Keep the server up between programs: each start is then quick.
        subprocess.run([self.wineserver(), "-p"], env=self.env)

    def wineserver(self):
        for name in ("wineserver64", "wineserver32"):
            path = os.path.join(os.path.dirname(DEFAULT_LOADERS["x86_64"]), name)
            if os.access(path, os.X_OK):
                return path
        return shutil.which("wineserver") or "wineserver"

    def command(self, arch, argv):
        """The command line that runs argv (a Windows program and its
        arguments) with the architecture's loader."""
        self.require(arch)
        return FIXED_LAYOUT + [loader_for(arch)] + list(argv)

    def env_for(self, arch):
        return dict(self.env, WINELOADER=loader_for(arch))

    def shell_prefix(self, arch):
        """Environment assignments and loader for a shell command line."""
        env = self.env_for(arch)
        names = ("WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "DISPLAY", "WINELOADER")
        return " ".join(["%s='%s'" % (k, env[k]) for k in names] + FIXED_LAYOUT +
                        ["'%s'" % loader_for(arch)])

    def close(self):
        if self.env.get("WINEPREFIX") and os.path.isdir(self.prefix):
            subprocess.run([self.wineserver(), "-k"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()
            self.xvfb = None
        if self.lock:
            self.lock.close()
            self.lock = None


def needs_wine(why):
    """Ends a suite that can only run under Wine, skipped, on Windows."""
    if ON_WINDOWS:
        print("ok 1 the suite # SKIP not run on Windows: %s\n0 passed, 0 failed, 1 skipped" % why)
        sys.exit(0)


def pick():
    """The architecture the demo runs here, and the notice to show, if any."""
    if can_run("i686")[0]:
        if through_qemu("i686") and not qemu_namespace.INSIDE:
            return "i686", ("quillex: running the i686 quillex.exe under 32-bit Wine %s" %
                            can_run("i686")[1])
        return "i686", None
    if can_run("x86_64")[0]:
        return "x86_64", ("quillex: running the x86_64 quillex.exe under 64-bit Wine, "
                          "since the i686 one cannot run here: %s" % can_run("i686")[1])
    raise WineError(cannot_start_message())


def main(argv):
    if len(argv) == 3 and argv[1] == "check" and argv[2] in ARCHS:
        ok, reason = can_run(argv[2])
        if not ok or through_qemu(argv[2]):
            print(reason if not ok else "through qemu-i386")
        return 0 if ok else 1
    if len(argv) == 2 and argv[1] == "pick":
        try:
            arch, notice = pick()
        except WineError as e:
            print(e, file=sys.stderr)
            return 1
        if notice:
            print(notice, file=sys.stderr)
        print(arch)
        return 0
    if len(argv) == 2 and argv[1] == "status":
        for a in ARCHS:
            ok, reason = can_run(a)
            how = "cannot run" if not ok else "can run" if through_qemu(a) else "can run natively"
            print("%s under Wine: %s: %s" % (a, how, reason))
        return 0
    print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
