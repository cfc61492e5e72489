#!/usr/bin/env python3
"""Checks that a quillex.exe build needs no DLL beyond the ones Windows ships
with itself, and reports its size and imports.

    check_imports.py build/win32-i686/tool/quillex.exe ...
"""
import os
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "msvcrt.dll"}


def imports(exe):
    out = subprocess.run(["objdump", "-p", exe], stdout=subprocess.PIPE, check=True,
                         universal_newlines=True).stdout
    return re.findall(r"DLL Name: (\S+)", out)


def main():
    failed = 0
    for exe in sys.argv[1:]:
        dlls = imports(exe)
        foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS]
        print("%s: %d bytes, imports %s" % (exe, os.path.getsize(exe), ", ".join(dlls)))
        if foreign or not dlls:
            print("  FAIL: needs %s" % (", ".join(foreign) or "an import table"))
            failed += 1
    print("imports: %d passed, %d failed" % (len(sys.argv) - 1 - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
