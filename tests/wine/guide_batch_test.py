#!/usr/bin/env python3
"""Runs the batch recipes of the user's guide under Wine's cmd.exe, with
quillex.exe on the PATH, against Wine's own Notepad, and compares what each
prints with the output the guide shows for it. The scripts and outputs are
read from the guide itself, so the guide cannot drift from the program.

    guide_batch_test.py --build build/win32-i686 [--guide docs/guide.md]
"""
import os
import re
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from fixture_run import (Build, run_quillex, start_quillex, suite_arguments,  # noqa: E402
                         wait_for_window, window_exists)
from winehost import Host, WineError, winpath  # noqa: E402

NOTEPAD = "Untitled - Notepad"
GUIDE = os.path.join(HERE, "..", "..", "docs", "guide.md")


class Desk:
    """Wine's Notepad, started and brought to the state a recipe needs, and a
    person at the keyboard who answers its save questions."""

    def __init__(self, host, build, tmp):
        self.host, self.build, self.tmp = host, build, tmp
        self.typist = os.path.join(build.folder, "tests", "wine", "typist.exe")
        self.background = []

    def exists(self, title):
        return window_exists(self.host, self.build, title)

    def wait_for(self, title, present=True):
        if not wait_for_window(self.host, self.build, title, present):
            raise WineError("%s did not %s within 30 s" % (title, "appear" if present else "go"))

    def start_notepad(self, wait=True):
        self.host.popen(self.build.arch, ["notepad.exe"], stdout=subprocess.DEVNULL,
                        stderr=subprocess.DEVNULL)
        if wait:
            self.wait_for(NOTEPAD)

    def type_text(self):
        if self.host.run(self.build.arch, [self.typist, NOTEPAD, "unsaved"]).returncode != 0:
            raise WineError("could not type into Notepad")

    def ask_to_save(self):
        """Closes Notepad in the background, where Quillex waits while Notepad
        asks; its log line goes to self.background_log."""
        self.background_log = os.path.join(self.tmp, "background-close")
        with open(self.background_log, "wb") as out:
            self.background.append(start_quillex(self.host, self.build,
                                                 '/w:"%s" /close /log' % NOTEPAD, self.tmp,
                                                 stdout=out, stderr=subprocess.DEVNULL))
        self.wait_for(QUESTION)

    def answer_no(self, stop):
        """Answers every save question with No, a second after it shows,
        until stop is set."""
        while not stop.is_set():
            if self.exists(QUESTION):
                time.sleep(1)
                run_quillex(self.host, self.build, "/w:%s /dook:7" % QUESTION,
                            stdout=subprocess.DEVNULL)
            time.sleep(0.2)

    def clear(self):
        """Ends every Notepad, whatever it was doing, and what waited on it."""
        self.host.run(self.build.arch, ["taskkill.exe", "/f", "/im", "notepad.exe"],
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_for(NOTEPAD, present=False)
        for p in self.background:
            p.wait(30)
        self.background = []


QUESTION = "Notepad"  # the title of Notepad's save question


def answered_in_background(d):
    """The recipe's No answered the background close's query; Notepad then
    asks once more on WM_CLOSE (its text is still unsaved). Once that is
    answered too, the background close ends with its success logged."""
    if not wait_for_window(d.host, d.build, QUESTION, seconds=10):
        return False
    run_quillex(d.host, d.build, "/w:%s /dook:7" % QUESTION, stdout=subprocess.DEVNULL)
    d.background[-1].wait(30)
    return open(d.background_log, "rb").read() == b"Sent ShutDown Message to %s \r\n" % NOTEPAD.encode()


# Per recipe: its argument, what the desktop needs before it runs, whether a
# person answers Notepad's questions meanwhile, and what must hold after.
BATCH_CASES = {
    "wait-for-window": (NOTEPAD, lambda d: d.start_notepad(wait=False), False,
                        lambda d: d.exists(NOTEPAD)),
    "hide-and-check": (NOTEPAD, lambda d: d.start_notepad(), False, lambda d: d.exists(NOTEPAD)),
    "close-and-check": (NOTEPAD, lambda d: (d.start_notepad(), d.type_text()), True,
                        lambda d: not d.exists(NOTEPAD)),
    "close-in-background": (NOTEPAD, lambda d: (d.start_notepad(), d.type_text()), False,
                            lambda d: d.exists(QUESTION)),
    "press-a-button": (QUESTION, lambda d: (d.start_notepad(), d.type_text(), d.ask_to_save()),
                       False, answered_in_background),
}
# A recipe's guard for a missing button: it must not press OK instead.
NO_BUTTON = ("press-a-button", NOTEPAD, lambda d: d.start_notepad(),
             b'%s has no button "&No"\r\n' % NOTEPAD.encode(), 1)


def guide_blocks(path):
    """{(kind, name): text} for the guide's batch scripts and outputs."""
    text = open(path, encoding="utf-8").read()
    found = {}
    for m in re.finditer(r"<!-- (batch|batch-output): ([\w-]+) -->\n```[a-z]*\n(.*?)```", text,
                         re.S):
        found[(m.group(1), m.group(2))] = m.group(3)
    return found


def run_recipe(host, build, env, tmp, script, recipe, argument):
    """Runs the script under cmd.exe; returns (exit code, what it printed)."""
    bat, out = os.path.join(tmp, recipe + ".bat"), os.path.join(tmp, "out")
    with open(bat, "w", newline="\r\n") as f:
        f.write(script)
    # Output to a file: a program the script starts would keep a pipe open
    # after the script ends.
    with open(out, "wb") as o:
        argv = ["cmd.exe", "/c", winpath(bat)] + ([argument] if argument else [])
        code = subprocess.run(host.command(build.arch, argv), env=env,
                              stdin=subprocess.DEVNULL, stdout=o, stderr=subprocess.DEVNULL,
                              timeout=120).returncode
    return code, open(out, "rb").read()


def main():
    args, name = suite_arguments("guide-batch", wine_only="its recipes run against Wine's own "
                                 "Notepad", more=[("--guide", dict(default=GUIDE))])
    blocks = guide_blocks(args.guide)
    failed = ran = 0

    def report(what, ok, code, printed, want_code, want):
        nonlocal failed, ran
        print("%s %s: exit %d, %r" % ("ok  " if ok else "FAIL", what, code, printed))
        if not ok:
            print("     expected exit %d, %r" % (want_code, want))
        failed += not ok
        ran += 1

    try:
        build = Build(args.build)
        with Host(args.prefix) as host, tempfile.TemporaryDirectory() as tmp:
            desk = Desk(host, build, tmp)
            env = dict(host.env_for(build.arch), WINEPATH=winpath(os.path.dirname(build.quillex)))
            for recipe, (argument, prepare, answer, holds) in BATCH_CASES.items():
                script = blocks.get(("batch", recipe))
                expected = blocks.get(("batch-output", recipe))
                if script is None or expected is None:
                    print("FAIL %s: not in the guide" % recipe)
                    failed += 1
                    continue
                # Without its argument a recipe stops before it runs Quillex.
                code, printed = run_recipe(host, build, env, tmp, script, recipe, None)
                want = b"%s.bat: give the window's title\r\n" % recipe.encode()
                report(recipe + " without a title", (code, printed) == (2, want), code, printed,
                       2, want)
                stop = threading.Event()
                answerer = threading.Thread(target=desk.answer_no, args=(stop,))
                try:
                    prepare(desk)
                    if answer:
                        answerer.start()
                    code, printed = run_recipe(host, build, env, tmp, script, recipe, argument)
                    stop.set()
                    if answer:
                        answerer.join()
                    want = expected.replace("\n", "\r\n").encode()
                    report(recipe, code == 0 and printed == want and holds(desk), code, printed, 0,
                           want)
                finally:
                    stop.set()
                    desk.clear()
            recipe, argument, prepare, want, want_code = NO_BUTTON
            try:
                prepare(desk)
                code, printed = run_recipe(host, build, env, tmp, blocks[("batch", recipe)],
                                           recipe, argument)
                report(recipe + " where no button matches", (code, printed) == (want_code, want),
                       code, printed, want_code, want)
            finally:
                desk.clear()
    except WineError as e:
        print("%s: stopped: %s" % (name, e))
        return 1
    print("%s: %d runs, %d failed" % (name, ran, failed))
    return 1 if failed or ran != 2 * len(BATCH_CASES) + 1 else 0


if __name__ == "__main__":
    sys.exit(main())
