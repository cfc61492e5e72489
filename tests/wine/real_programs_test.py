#!/usr/bin/env python3
"""Quillex against real programs that we did not write: Wine's own Notepad,
Registry Editor, WineMine and Clock, started under Wine on the virtual
display, driven only through quillex.exe and checked only through
quillex.exe (its listings, /exist and exit codes) and the programs' own
visible behaviour (whether their process is still running).

Each step is a check: the program, the step, and what was seen.

    real_programs_test.py --build build/win32-i686

What these programs do that the fixture never does, seen under Wine 8:
- Notepad answers the end-of-session query by asking whether to save, in a
  modal dialog, before it answers; /close waits for that answer, however
  long the user takes. After No its text is still unsaved, so the WM_CLOSE
  that follows asks the same question again: two questions, one after the
  other, never two at once.
- The question's text is a static control with id 0xffff and line breaks.
- The text typed into Notepad is not its edit control's title for another
  process: /listsub shows no line for the edit control.
"""
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from suite import (listing, run_quillex, run_suite, start_quillex, wait_for_window,  # noqa: E402
                   wait_until, window_exists)
from terminal_run import run_answering  # noqa: E402

NOTEPAD, REGEDIT, MINES, CLOCK = "Untitled - Notepad", "Registry Editor", "WineMine", "Clock"
PROGRAMS = [("notepad.exe", NOTEPAD), ("regedit.exe", REGEDIT), ("winemine.exe", MINES),
            ("clock.exe", CLOCK)]
QUESTION = "Notepad"  # the title of Notepad's save question
REGEDIT_CHILDREN = (b'\t"regedit child window"\r\n'
                    b'\t"Tree View" id=2002 (0x7d2)\r\n'
                    b'\t"List View" id=2003 (0x7d3)\r\n')
# How long the person at the keyboard takes to answer each save question.
ANSWER_DELAY = 8


class Suite:
    def __init__(self, host, build, tmp, report):
        self.host, self.build, self.tmp, self.report = host, build, tmp, report
        self.processes = {}

    def quillex(self, args):
        """Runs quillex.exe with the raw command line "quillex.exe ARGS";
        returns (exit code, standard output, seconds)."""
        start = time.time()
        p = run_quillex(self.host, self.build, args, stdout=subprocess.PIPE,
                        stderr=subprocess.PIPE, timeout=120)
        return p.returncode, p.stdout, time.time() - start

    def check(self, program, step, ok, seen):
        self.report.check("%s: %s" % (program, step), ok, seen)

    def expect_run(self, program, step, args, code, stdout):
        got = self.quillex(args)
        self.check(program, step, got[:2] == (code, stdout),
                   "quillex %s: exit %s, %r" % (args, got[0], got[1]))
        return got

    def exists(self, title):
        return window_exists(self.host, self.build, title)

    def listing_line(self, title):
        lines = [l.line for l in listing(self.quillex("/listwin")[1])
                 if not l.child and l.title == title.encode()]
        return lines[0] if len(lines) == 1 else lines

    def start(self):
        for exe, title in PROGRAMS:
            self.processes[title] = self.host.popen(self.build.arch, [exe],
                                                    stdout=subprocess.DEVNULL,
                                                    stderr=subprocess.DEVNULL)
        for exe, title in PROGRAMS:
            self.check(exe, "its main window appears",
                       wait_for_window(self.host, self.build, title), "/exist /w:\"%s\"" % title)

    def stop(self):
        for p in self.processes.values():
            if p.poll() is None:
                p.kill()
            p.wait()

    def running(self, title):
        return self.processes[title].poll() is None

    # The steps, in order.

    def find_and_list(self):
        for exe, title in PROGRAMS:
            self.expect_run(exe, "found by its exact title", '/w:"%s" /exist /log' % title, 0,
                            b"Window found: %s\r\n" % title.encode())
            line = self.listing_line(title)
            self.check(exe, "listed once by /listwin", line == b'"%s"\r\n' % title.encode(),
                       repr(line))
        code, out, _ = self.quillex('/w:"%s" /listwin /listsub' % REGEDIT)
        self.check("regedit.exe", "listed with its child controls",
                   code == 0 and b'"%s"\r\n%s' % (REGEDIT.encode(), REGEDIT_CHILDREN) in out
                   and out.endswith(REGEDIT_CHILDREN), "exit %s" % code)
        self.expect_run("regedit.exe", "its child controls alone", '/w:"%s" /listsub' % REGEDIT,
                        0, REGEDIT_CHILDREN)

    def show_states(self):
        for switch, log, state in (("/hide", b"Hidden window: WineMine\r\n", b" - Hidden"),
                                   ("/show", b"Shown window: WineMine\r\n", b""),
                                   ("/minimize", b"minimized window: WineMine\r\n",
                                    b" - Iconized"),
                                   ("/restore", b"Restored window: WineMine\r\n", b"")):
            self.expect_run("winemine.exe", switch[1:], "/w:%s %s /log" % (MINES, switch), 0, log)
            line = self.listing_line(MINES)
            self.check("winemine.exe", "the listing after " + switch[1:],
                       line == b'"WineMine"%s\r\n' % state, repr(line))

    def close_without_work(self):
        self.expect_run("clock.exe", "closed, nothing to save", "/w:Clock /close /log", 0,
                        b"Sent ShutDown Message to Clock \r\n")
        self.check("clock.exe", "its program ends", wait_until(
            lambda: not self.running(CLOCK), 10), "process exit code %s" %
            self.processes[CLOCK].poll())
        self.expect_run("clock.exe", "/exist then says it is gone", "/w:Clock /exist /log", 1,
                        b"Window not found: Clock\r\n")

    def close_answering(self, button, delay):
        """Closes Notepad with /close /log in the background and answers each
        save question with the button, delay seconds after it shows, through
        a second quillex.exe, as a person would. Returns (exit code, output,
        seconds, questions answered, whether two questions were ever open
        at once)."""
        log = os.path.join(self.tmp, "close-log")
        start = time.time()
        with open(log, "wb") as out:
            closing = start_quillex(self.host, self.build, '/w:"%s" /close /log' % NOTEPAD,
                                    self.tmp, stdout=out, stderr=subprocess.DEVNULL)
        answered, overlap, shown_at = 0, False, None
        while closing.poll() is None and time.time() - start < 120:
            questions = sum(not l.child and l.title == QUESTION.encode()
                            for l in listing(self.quillex("/listwin")[1]))
            overlap |= questions > 1
            if questions and shown_at is None:
                shown_at = time.time()
            if shown_at is not None and time.time() - shown_at >= delay:
                answered += self.press(button)
                wait_until(lambda: not self.exists(QUESTION), 5)
                shown_at = None
            time.sleep(0.2)
        if closing.poll() is None:
            closing.kill()
        code = closing.wait()
        return code, open(log, "rb").read(), time.time() - start, answered, overlap

    def close_with_work(self):
        typed = self.host.run(self.build.arch, [self.build.typist, NOTEPAD, "Quillex was here"])
        self.check("notepad.exe", "has unsaved text", typed.returncode == 0,
                   "typist exit %d" % typed.returncode)
        code, out, seconds, answered, overlap = self.close_answering("Cancel", 1)
        self.check("notepad.exe", "close waits while it asks, Cancel refuses",
                   (code, out) == (0, b"Sent ShutDown Message to Untitled - Notepad - failed\r\n"),
                   "exit %s, %r after %.1f s" % (code, out, seconds))
        self.check("notepad.exe", "asked on the query and again on WM_CLOSE, one at a time",
                   answered == 2 and not overlap, "%d questions, overlap %s" % (answered, overlap))
        self.check("notepad.exe", "carries on after Cancel", self.running(NOTEPAD) and
                   self.exists(NOTEPAD) and not self.exists(QUESTION),
                   "process running %s" % self.running(NOTEPAD))

    def press(self, button):
        """Presses the button of the save question, its id read from a
        /listsub listing of the question; returns whether it did."""
        children = self.quillex("/w:%s /listsub" % QUESTION)[1]
        found = [int(l.id) for l in listing(children)
                 if l.child and l.title == button.encode() and l.id]
        self.check("notepad.exe", "its question lists the button %s" % button, found,
                   repr(children))
        if not found:
            return False
        ident = found[0]
        self.expect_run("notepad.exe", "presses %s" % button,
                        "/w:%s /dook:%d /log" % (QUESTION, ident), 0,
                        b"Sent WM_COMMAND + %d Message to Notepad \r\n" % ident)
        return True

    def answer_question(self):
        code, out, seconds, answered, overlap = self.close_answering("&No", ANSWER_DELAY)
        self.check("notepad.exe", "close waits %d s for each No, then succeeds" % ANSWER_DELAY,
                   (code, out) == (0, b"Sent ShutDown Message to Untitled - Notepad \r\n")
                   and seconds >= 2 * ANSWER_DELAY, "exit %s, %r after %.1f s" % (
                       code, out, seconds))
        self.check("notepad.exe", "asked on the query and again on WM_CLOSE, one at a time",
                   answered == 2 and not overlap, "%d questions, overlap %s" % (answered, overlap))
        self.check("notepad.exe", "ends after No", wait_until(
            lambda: not self.running(NOTEPAD), 10), "process exit code %s" %
            self.processes[NOTEPAD].poll())
        self.expect_run("notepad.exe", "/exist then says it is gone",
                        '/w:"%s" /exist' % NOTEPAD, 1, b"")

    def answer_in_terminal(self):
        for switch, state in (("/hide", b" - Hidden"), ("/show", b"")):
            code, out, answers = run_answering(
                self.host, self.build, "quillex.exe /listwin " + switch,
                lambda title: "y" if title == MINES else "n", self.tmp)
            said_yes = [t for t, a in answers if a == "y"]
            self.check("winemine.exe", "listwin %s answered y for WineMine, n for %d others" % (
                switch, len(answers) - len(said_yes)), code == 0 and said_yes == [MINES],
                "exit %s, %d questions" % (code, len(answers)))
            line = self.listing_line(MINES)
            self.check("winemine.exe", "the listing after answering " + switch[1:],
                       line == b'"WineMine"%s\r\n' % state, repr(line))
            line = self.listing_line(REGEDIT)
            self.check("regedit.exe", "unchanged by its n answer", line == b'"%s"\r\n' %
                       REGEDIT.encode(), repr(line))


def real_programs(args, build, host, report):
    with tempfile.TemporaryDirectory() as tmp:
        suite = Suite(host, build, tmp, report)
        try:
            suite.start()
            suite.find_and_list()
            suite.show_states()
            suite.answer_in_terminal()
            suite.close_without_work()
            suite.close_with_work()
            suite.answer_question()
        finally:
            suite.stop()


if __name__ == "__main__":
    sys.exit(run_suite(real_programs, wine_only="it drives Wine's own Notepad, Registry Editor, "
                       "WineMine and Clock"))
