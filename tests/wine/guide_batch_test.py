#!/usr/bin/env python3
"""Runs the batch recipes of the user's guide under Wine's cmd.exe, with
quillex.exe beside them, against Wine's own Notepad, and compares what each
prints, and its exit code, with what the guide shows for it. Each also runs
without its title, for a window that is not there (a plain title, and one
of the characters batch files trip over), and without quillex.exe beside
it: each must then end with its own code and say why. A few run once more
where they must fail (no such button, a close nobody answers, seconds that
are not a number). The scripts and outputs are read from the guide itself,
so the guide cannot drift from the program. A recipe about console windows
runs on a console of its own (the starter's), the others with their
output to a file.

    guide_batch_test.py --build build/win32-i686 [--guide docs/guide.md]
"""
import collections
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from suite import (listing, run_quillex, run_suite, start_quillex, starter_argv,  # noqa: E402
                   wait_for_window, wait_until, window_exists)
from winehost import WineError, winpath  # noqa: E402

NOTEPAD = "Untitled - Notepad"
# What Wine's cmd.exe writes a script's echo in, to a file: the ANSI code
# page (Windows' own cmd.exe writes the console's).
CMD_ENCODING = "cp1252"
GUIDE = os.path.join(HERE, "..", "..", "docs", "guide.md")


class Desk:
    """Wine's Notepad, started and brought to the state a recipe needs, and a
    person at the keyboard who answers its save questions."""

    def __init__(self, host, build, tmp):
        self.host, self.build, self.tmp = host, build, tmp
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

    def start_notepads(self, count):
        """Starts Notepads until count windows of its title are listed."""
        for _ in range(count):
            self.start_notepad(wait=False)
        listed = lambda: sum(not l.child and l.title == NOTEPAD.encode() for l in listing(
            run_quillex(self.host, self.build, "/listwin", stdout=subprocess.PIPE).stdout))
        # Through qemu, beside the sanitizers, two Notepads have taken over 30 s.
        if not wait_until(lambda: listed() == count, 90):
            raise WineError("%d Notepads did not come up within 90 s (%d listed)"
                            % (count, listed()))

    def type_text(self):
        if self.host.run(self.build.arch, [self.build.typist, NOTEPAD, "unsaved"]).returncode != 0:
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

    def close_later(self, stop):
        """Closes Notepad, three seconds after the recipe started."""
        if not stop.wait(3):
            run_quillex(self.host, self.build, '/w:"%s" /close' % NOTEPAD,
                        stdout=subprocess.DEVNULL)

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


# Per recipe: its argument, what the desktop needs before it runs, what
# happens meanwhile (a person answering Notepad's questions, say), what must
# hold after, its exit code, whether it runs on a console, the arguments
# after the title, and what the argument is.
Case = collections.namedtuple("Case", "argument prepare during holds code console more noun",
                              defaults=(None, lambda d: True, 0, False, (), "window's title"))
BATCH_CASES = {
    "wait-for-window": Case(NOTEPAD, lambda d: d.start_notepad(wait=False),
                            holds=lambda d: d.exists(NOTEPAD)),
    "wait-until-gone": Case(NOTEPAD, lambda d: d.start_notepad(), Desk.close_later,
                            lambda d: not d.exists(NOTEPAD)),
    # In other case than the window's: Quillex ignores case.
    "hide-and-check": Case(NOTEPAD.lower(), lambda d: d.start_notepad(),
                           holds=lambda d: d.exists(NOTEPAD)),
    # A person answers No to each save question.
    "close-with-deadline": Case(NOTEPAD, lambda d: (d.start_notepad(), d.type_text()),
                                Desk.answer_no, lambda d: not d.exists(NOTEPAD)),
    "close-program": Case("notepad.exe", lambda d: d.start_notepads(2),
                          holds=lambda d: not d.exists(NOTEPAD), noun="program's name"),
    "bring-to-front": Case(NOTEPAD, lambda d: d.start_notepad(), holds=lambda d: d.exists(NOTEPAD)),
    "press-a-button": Case(QUESTION, lambda d: (d.start_notepad(), d.type_text(), d.ask_to_save()),
                           holds=answered_in_background),
    "hide-console": Case(None, lambda d: None, console=True),
}
# A title of the characters cmd.exe treats specially, and a letter beyond
# ASCII; no window has it. Not %: Wine's cmd.exe expands a variable's value
# again, so a % in a title is lost there whatever the script does (Windows'
# cmd.exe expands it once, and the recipes keep it).
TRICKY = "Q&A | (1) ^ 100 done! café"
# What each recipe says, and its exit code, for a window that is not there
# (%s: the title), and the arguments it gets beside the title.
NOT_THERE = {
    "wait-for-window": ('"%s" did not come up within 2 seconds', 1, ["2"]),
    "close-program": ('Window not found: "process=%s"\r\n"%s" is not there', 1, []),
}
# Those that run Quillex with /log print its own line first.
for logged in ("hide-and-check", "close-with-deadline", "bring-to-front"):
    NOT_THERE[logged] = ('Window not found: "%s"\r\n"%s" is not there', 1, [])
NOT_THERE_DEFAULT = ('"%s" is not there', 1, [])
MISSING_EXE = "%s.bat: quillex.exe is not beside this script"
# Recipes run once more, on a desktop where they must fail, and what each
# then prints.
NOBODY_ANSWERS = lambda d: (d.start_notepad(), d.type_text())  # noqa: E731
STILL_ASKING = lambda d: d.exists(QUESTION)  # noqa: E731
MORE_CASES = [
    # A guard for a missing button: it must not press OK instead.
    ("press-a-button", "where no button matches",
     Case(NOTEPAD, lambda d: d.start_notepad(), code=1), '"%s" has 0 buttons "&No"\n' % NOTEPAD),
    # Nobody answers the save question: the deadline passes, the question
    # stays open.
    ("close-with-deadline", "where nobody answers",
     Case(NOTEPAD, NOBODY_ANSWERS, holds=STILL_ASKING, code=1, more=("5",)),
     'Sent ShutDown Message to %s - failed\n"%s" did not close within 5 seconds\n' % (
         NOTEPAD, NOTEPAD)),
    ("close-program", "where nobody answers",
     Case("notepad.exe", NOBODY_ANSWERS, holds=STILL_ASKING, code=1, more=("5",)),
     'Sent ShutDown Message to %s - failed\na window of "notepad.exe" did not close within 5 '
     'seconds\n' % NOTEPAD),
    ("wait-for-window", "with seconds that are not a number",
     Case(NOTEPAD, lambda d: None, code=2, more=("soon",)),
     'wait-for-window.bat: "soon" is not a number of seconds\n'),
]


def guide_blocks(path):
    """{(kind, name): text} for the guide's batch scripts and outputs."""
    text = open(path, encoding="utf-8").read()
    found = {}
    for m in re.finditer(r"<!-- (batch|batch-output): ([\w-]+) -->\n```[a-z]*\n(.*?)```", text,
                         re.S):
        found[(m.group(1), m.group(2))] = m.group(3)
    return found


def run_recipe(host, build, folder, script, recipe, arguments, console=False):
    """Runs the script under cmd.exe from the folder (on a console of its
    own when asked); returns (exit code, what it printed)."""
    bat, out = os.path.join(folder, recipe + ".bat"), os.path.join(folder, "out")
    with open(bat, "w", newline="\r\n") as f:
        f.write(script)
    cmd = "C:\\windows\\system32\\cmd.exe"
    line = " ".join([cmd, "/c", winpath(bat)] + ['"%s"' % a for a in arguments])
    keys = (os.path.join(folder, "keys"), os.path.join(folder, "screen")) if console else None
    if keys:
        open(keys[0], "w").close()
    # Output to a file: a program the script starts would keep a pipe open
    # after the script ends.
    with open(out, "wb") as o:
        code = host.run(build.arch, starter_argv(build, cmd, line.encode("utf-8"), folder,
                                                 keys=keys),
                        stdout=o, stderr=subprocess.DEVNULL, timeout=120).returncode
    return code, open(out, "rb").read()


def recipes(args, build, host, report):
    blocks = guide_blocks(args.guide)

    def outcome(what, code, printed, want_code, want, held=True):
        report.check(what, (code, printed) == (want_code, want) and held,
                     "exit %d, %r%s" % (code, printed, "" if held else
                                        "; the desktop after it is not as it must be"),
                     "exit %d, %r" % (want_code, want))

    with tempfile.TemporaryDirectory() as tmp:
        desk = Desk(host, build, tmp)
        # The recipes run quillex.exe from their own folder; one folder has
        # none.
        shutil.copy(build.quillex, os.path.join(tmp, "quillex.exe"))
        bare = os.path.join(tmp, "without-quillex")
        os.mkdir(bare)

        def run_case(recipe, what, case, expected):
            """Runs the recipe on the desktop the case prepares."""
            stop = threading.Event()
            meanwhile = threading.Thread(target=case.during, args=(desk, stop))
            try:
                case.prepare(desk)
                if case.during:
                    meanwhile.start()
                title = [] if case.argument is None else [case.argument]
                code, printed = run_recipe(host, build, tmp, blocks[("batch", recipe)], recipe,
                                           title + list(case.more), case.console)
                stop.set()
                if case.during:
                    meanwhile.join()
                outcome(what, code, printed, case.code, expected.replace("\n", "\r\n").encode(),
                        case.holds(desk))
            finally:
                stop.set()
                desk.clear()

        for recipe, case in BATCH_CASES.items():
            script = blocks.get(("batch", recipe))
            expected = blocks.get(("batch-output", recipe))
            if not report.check("%s is in the guide" % recipe, script and expected):
                continue
            # Without its argument, or without quillex.exe, a recipe stops
            # before it runs Quillex; for a window that is not there it says
            # so, whatever the title holds.
            message, code, more = NOT_THERE.get(recipe, NOT_THERE_DEFAULT)
            failing = [("without quillex.exe", bare, ["Window"], 3, MISSING_EXE % recipe)]
            # A recipe that names its window by a title (not its console).
            if case.argument is not None:
                failing += [
                    ("without a title", tmp, [], 2, "%s.bat: give the %s" % (recipe, case.noun)),
                    ("with a title of characters cmd.exe treats specially", tmp,
                     [TRICKY] + more, code, message.replace("%s", TRICKY)),
                    ("for a window that is not there", tmp, ["No Such Window"] + more, code,
                     message.replace("%s", "No Such Window"))]
            for what, folder, arguments, want_code, said in failing:
                got, printed = run_recipe(host, build, folder, script, recipe, arguments,
                                          case.console)
                outcome("%s %s" % (recipe, what), got, printed, want_code,
                        (said + "\r\n").encode(CMD_ENCODING))
            run_case(recipe, recipe, case, expected)
        for recipe, what, case, expected in MORE_CASES:
            run_case(recipe, "%s %s" % (recipe, what), case, expected)


if __name__ == "__main__":
    sys.exit(run_suite(recipes, more=[("--guide", dict(default=GUIDE))],
                       wine_only="its recipes run against Wine's own Notepad"))
