#!/usr/bin/env python3
"""Runs the batch recipes of the user's guide under Wine's cmd.exe, with
quillex.exe on the PATH, against Wine's own Notepad, and compares what each
prints with the output the guide shows for it. The scripts and outputs are
read from the guide itself, so the guide cannot drift from the program.

    guide_batch_test.py --build build/win32-i686 [--guide docs/guide.md]
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from fixture_run import Build, run_quillex, wait_for_window, window_exists  # noqa: E402
from winehost import Host, WineError, winpath  # noqa: E402

NOTEPAD = "Untitled - Notepad"
GUIDE = os.path.join(HERE, "..", "..", "docs", "guide.md")


class Desk:
    """Wine's Notepad, started and brought to the state a recipe needs."""

    def __init__(self, host, build):
        self.host, self.build = host, build
        self.typist = os.path.join(build.folder, "tests", "wine", "typist.exe")

    def exists(self, title):
        return window_exists(self.host, self.build, title)

    def wait_for(self, title, present=True):
        if not wait_for_window(self.host, self.build, title, present):
            raise WineError("%s did not %s within 30 s" % (title, "appear" if present else "go"))

    def start_notepad(self):
        self.host.popen(self.build.arch, ["notepad.exe"], stdout=subprocess.DEVNULL,
                        stderr=subprocess.DEVNULL)
        self.wait_for(NOTEPAD)

    def type_text(self):
        if self.host.run(self.build.arch, [self.typist, NOTEPAD, "unsaved"]).returncode != 0:
            raise WineError("could not type into Notepad")

    def ask_to_save(self):
        run_quillex(self.host, self.build, '/w:"%s" /close' % NOTEPAD,
                    stdout=subprocess.DEVNULL)
        self.wait_for("Notepad")

    def clear(self):
        """Ends every Notepad, whatever it was doing."""
        self.host.run(self.build.arch, ["taskkill.exe", "/f", "/im", "notepad.exe"],
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_for(NOTEPAD, present=False)


# What each recipe needs on the desktop before it runs, and what must hold after.
BATCH_CASES = {
    "wait-for-window": (lambda d: None, lambda d: d.exists(NOTEPAD)),
    "hide-and-check": (lambda d: d.start_notepad(), lambda d: d.exists(NOTEPAD)),
    "close-and-detect-refusal": (lambda d: (d.start_notepad(), d.type_text()),
                                 lambda d: d.exists("Notepad")),
    "press-a-button": (lambda d: (d.start_notepad(), d.type_text(), d.ask_to_save()),
                       lambda d: (d.wait_for(NOTEPAD, present=False), True)[1]),
}


def guide_blocks(path):
    """{(kind, name): text} for the guide's batch scripts and outputs."""
    text = open(path, encoding="utf-8").read()
    found = {}
    for m in re.finditer(r"<!-- (batch|batch-output): ([\w-]+) -->\n```[a-z]*\n(.*?)```", text,
                         re.S):
        found[(m.group(1), m.group(2))] = m.group(3)
    return found


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--prefix", default="build/wineprefix")
    ap.add_argument("--guide", default=GUIDE)
    args = ap.parse_args()
    name = "guide-batch-" + os.path.basename(os.path.normpath(args.build))
    blocks = guide_blocks(args.guide)
    failed = ran = 0
    try:
        build = Build(args.build)
        with Host(args.prefix) as host, tempfile.TemporaryDirectory() as tmp:
            desk = Desk(host, build)
            env = dict(host.env_for(build.arch), WINEPATH=winpath(os.path.dirname(build.quillex)))
            for recipe, (prepare, holds) in BATCH_CASES.items():
                script = blocks.get(("batch", recipe))
                expected = blocks.get(("batch-output", recipe))
                if script is None or expected is None:
                    print("FAIL %s: not in the guide" % recipe)
                    failed += 1
                    continue
                bat, out = os.path.join(tmp, recipe + ".bat"), os.path.join(tmp, "out")
                with open(bat, "w", newline="\r\n") as f:
                    f.write(script)
                try:
                    prepare(desk)
                    # Output to a file: a program the script starts would
                    # keep a pipe open after the script ends.
                    with open(out, "wb") as o:
                        code = subprocess.run(host.command(build.arch, ["cmd.exe", "/c",
                                                                        winpath(bat)]),
                                              env=env, stdin=subprocess.DEVNULL, stdout=o,
                                              stderr=subprocess.DEVNULL, timeout=120).returncode
                    printed = open(out, "rb").read()
                    want = expected.replace("\n", "\r\n").encode()
                    ok = code == 0 and printed == want and holds(desk)
                    print("%s %s: exit %d, %r" % ("ok  " if ok else "FAIL", recipe, code, printed))
                    if not ok:
                        print("     expected exit 0, %r" % want)
                    failed += not ok
                    ran += 1
                finally:
                    desk.clear()
    except WineError as e:
        print("%s: stopped: %s" % (name, e))
        return 1
    print("%s: %d recipes, %d failed" % (name, ran, failed))
    return 1 if failed or ran != len(BATCH_CASES) else 0


if __name__ == "__main__":
    sys.exit(main())
