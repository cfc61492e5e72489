#!/usr/bin/env python3
"""Checks that a quillex.exe build needs no DLL beyond the ones Windows ships
with itself, and reports its size and imports.

    check_imports.py build/win32-i686/tool/quillex.exe ...
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from suite import Report  # noqa: E402

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "msvcrt.dll"}


def imports(exe):
    out = subprocess.run(["objdump", "-p", exe], stdout=subprocess.PIPE, check=True,
                         universal_newlines=True).stdout
    return re.findall(r"DLL Name: (\S+)", out)


def main():
    report = Report()
    for exe in sys.argv[1:]:
        dlls = imports(exe)
        foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS]
        report.check("%s needs no DLL beyond the system's own" % exe, dlls and not foreign,
                     "%d bytes, imports %s" % (os.path.getsize(exe), ", ".join(dlls)))
    return report.close()


if __name__ == "__main__":
    sys.exit(main())
