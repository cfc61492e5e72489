#!/usr/bin/env python3
"""Titles in many scripts on a real console (tmux): the UTF-8 build lists
them as they are and gives the console its code page back when it ends; the
classic build on the same desktop shows what its code page can.

    utf8_console_test.py --build build/win32-i686
"""
import argparse
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from fixture_run import Build, FixtureRun  # noqa: E402
from terminal_run import in_terminal  # noqa: E402
from winehost import Host, WineError, winpath  # noqa: E402

DESKTOP = os.path.join(HERE, "..", "scenarios", "corpus", "utf8-listing.scn")
# Wine's terminal console shows a character outside the Basic Multilingual
# Plane as two unknown ones, whoever writes it (WriteConsoleW included).
EXPECTED = {
    "quillex-utf8.exe": ['"Привет, мир"', '"你好，世界"', '"Καλημέρα κόσμε" - Hidden',
                         '"שלום עולם"', '"Rocket \ufffd\ufffd launch"',
                         '"日本語のウィンドウ" - Iconized'],
    "quillex.exe": ['"??????, ???"', '"??,??"', '"?a??µ??a ??sµe" - Hidden', '"???? ????"',
                    '"Rocket ?? launch"', '"?????????" - Iconized'],
}


def on_console(host, build, commands, tmp):
    """Runs "cmd /c COMMANDS" in a terminal; returns the lines it showed."""
    done = os.path.join(tmp, "done")
    if os.path.exists(done):
        os.unlink(done)
    pane = in_terminal("export LANG=C.UTF-8; %s cmd.exe /c '%s'; touch '%s'" % (
        host.shell_prefix(build.arch), commands, done), done)
    return [l for l in pane.decode("utf-8", "replace").splitlines() if l.strip()]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--prefix", default="build/wineprefix")
    args = ap.parse_args()
    name = "utf8-console-" + os.path.basename(os.path.normpath(args.build))
    failed = 0
    try:
        build = Build(args.build)
        code_page = winpath(os.path.join(build.folder, "tests", "wine", "console_code_page.exe"))
        with Host(args.prefix) as host, FixtureRun(host, build, DESKTOP), \
                tempfile.TemporaryDirectory() as tmp:
            before = on_console(host, build, code_page, tmp)
            for exe, titles in EXPECTED.items():
                quillex = winpath(os.path.join(build.folder, "tool", exe))
                shown = on_console(host, build, "%s /listwin & %s" % (quillex, code_page), tmp)
                listed = [l for l in shown if l.startswith('"') and "Default IME" not in l]
                ok = listed == titles and shown[-1:] == before
                failed += not ok
                print("%s %s on a console: %s; then %s" % (
                    "ok  " if ok else "FAIL", exe, listed, shown[-1:]))
                if not ok:
                    print("     expected %s; then %s" % (titles, before))
    except WineError as e:
        print("%s: stopped: %s" % (name, e))
        return 1
    print("%s: 2 runs, %d failed" % (name, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
