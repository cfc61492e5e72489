#!/usr/bin/env python3
"""32-bit Wine where the kernel runs no 32-bit programs: through qemu-i386,
in a user namespace of its own whose binfmt_misc hands every i386 program
to qemu (Linux 6.7 and later give each user namespace its own). A suite for
i686 re-runs itself inside it, with everything it starts. QUILLEX_QEMU_I386
and QUILLEX_UNSHARE name the programs to use.
"""
import os
import re
import shutil
import subprocess
import sys

# Set inside the namespace, to the qemu-i386 that runs 32-bit programs there.
INSIDE_VARIABLE = "QUILLEX_WINE32_NAMESPACE"
INSIDE = os.environ.get(INSIDE_VARIABLE)
# qemu-user 7.2 spends 45 to 90 s in its page-table search per Wine process;
# 10.0, the oldest tried here, about half a second.
QEMU_OLDEST = (10, 0)
BINFMT = "/proc/sys/fs/binfmt_misc"
# The ELF header of an i386 program, and which of its bits count.
I386_MAGIC = r"\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
I386_MASK = r"\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"
NO_BINFMT = 121


def qemu_i386():
    return (os.environ.get("QUILLEX_QEMU_I386") or shutil.which("qemu-i386") or
            shutil.which("qemu-i386-static") or "qemu-i386")


def last_words(p):
    said = (p.stderr or p.stdout or b"").decode("utf-8", "replace").strip().splitlines()
    return (": " + said[-1]) if said else ""


def namespace_command(argv):
    """The command line that runs argv in a user namespace of its own where
    i386 programs run through qemu."""
    unshare = os.environ.get("QUILLEX_UNSHARE") or "unshare"
    return [unshare, "--user", "--map-root-user", "--mount", "--", sys.executable,
            os.path.abspath(__file__), qemu_i386(), "--"] + list(argv)


def probe(loader):
    """Tries 32-bit Wine's loader through qemu-i386 in a user namespace.
    Returns (True, how and the version) or (False, reason)."""
    qemu = qemu_i386()
    try:
        p = subprocess.run([qemu, "--version"], stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
    except OSError:
        return False, ("%s is not installed (scripts/install_deps.sh installs qemu-user where "
                       "32-bit programs cannot run)" % qemu)
    found = re.search(rb"version (\d+)\.(\d+)[.\d]*", p.stdout)
    if not found:
        return False, "%s --version gave no version%s" % (qemu, last_words(p))
    version = found.group(0).split()[1].decode()
    if tuple(map(int, found.groups())) < QEMU_OLDEST:
        return False, ("qemu-i386 %s is too old: 32-bit Wine takes 45 to 90 s to start a program "
                       "under 7.2, half a second under %d.%d or later (Debian's bookworm-backports)"
                       % (version, QEMU_OLDEST[0], QEMU_OLDEST[1]))
    try:
        p = subprocess.run(namespace_command([loader, "--version"]), stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    except OSError as e:
        return False, "no user namespace: %s cannot start: %s" % (
            namespace_command([])[0], e.strerror)
    except subprocess.TimeoutExpired:
        return False, "32-bit Wine through qemu-i386 did not answer within 120 s"
    if p.returncode == 0:
        return True, "through qemu-i386 %s in a user namespace of its own: %s" % (
            version, p.stdout.decode("utf-8", "replace").strip())
    said = last_words(p)
    if said.startswith(": unshare"):
        return False, "no user namespace%s" % said
    if p.returncode == NO_BINFMT:
        return False, ("no binfmt_misc of its own in a user namespace (Linux 6.7 and later have "
                       "one)%s" % said)
    return False, "32-bit Wine did not start through qemu-i386: exit code %d%s" % (
        p.returncode, said)


def enter(qemu, argv):
    """Inside the new namespace: hands i386 programs to qemu, then runs argv."""
    mounted = subprocess.run(["mount", "-t", "binfmt_misc", "binfmt_misc", BINFMT],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        if mounted.returncode != 0:
            raise OSError(mounted.stdout.decode("utf-8", "replace").strip())
        with open(os.path.join(BINFMT, "register"), "w") as f:
            f.write(":quillex-i386:M::%s:%s:%s:F" % (I386_MAGIC, I386_MASK, qemu))
    except OSError as e:
        print("qemu_namespace: %s" % e, file=sys.stderr)
        return NO_BINFMT
    env = dict(os.environ, **{INSIDE_VARIABLE: qemu})
    try:
        os.execvpe(argv[0], argv, env)
    except OSError as e:
        print("qemu_namespace: %s: %s" % (argv[0], e.strerror), file=sys.stderr)
        return 127


if __name__ == "__main__":
    # qemu_namespace.py QEMU -- PROGRAM [ARGUMENT...], as namespace_command runs it.
    sys.exit(enter(sys.argv[1], sys.argv[3:]))
