#!/usr/bin/env python3
"""Replays the scenario corpus against the real quillex.exe under Wine.

For each scenario the fixture program builds the desktop out of real windows,
the launcher starts quillex.exe with the scenario's exact raw command line,
and the result is compared with the scenario's expectations: standard output
(as the text-mode stream writes it, "\\n" as "\\r\\n"), the exit code, the
messages the windows received and their final states. Platform calls are the
simulated desktop's own record and are not compared here.

Scenarios with keys run in a real terminal (tmux) so that quillex has a
console; the others run with pipes, where it has none.

    run_wine_scenarios.py --build build/win32-i686 tests/scenarios/corpus
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scenarios"))
from run_scenarios import Scenario, compare, out_lines  # noqa: E402

# Wine has top-level windows of its own ("Default IME", one per GUI thread).
# They are not part of any scenario; their listing lines are dropped before
# comparing, and their questions are answered "n".
WINE_OWN_LINE = re.compile(rb'"Default IME"[^\n]*\n')

# tmux key names for the scenario's key tokens.
TMUX_KEYS = {"^C": "C-c", "<enter>": "Enter", "<esc>": "Escape", "<space>": "Space",
             "<up>": "Up", "<down>": "Down", "<left>": "Left", "<right>": "Right",
             "<home>": "Home", "<del>": "DC", "<f1>": "F1", "<f10>": "F10"}
# Keys without a character answer two questions: their lead byte and key code.
TWO_BYTE_KEYS = {"<up>", "<down>", "<left>", "<right>", "<home>", "<del>", "<f1>", "<f10>"}


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Wine:
    def __init__(self, prefix):
        self.env = dict(os.environ, WINEPREFIX=os.path.abspath(prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.xvfb = None
        if not self.env.get("DISPLAY"):
            display = ":%d" % (90 + os.getpid() % 500)
            self.xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24"],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.env["DISPLAY"] = display
            time.sleep(1)
        subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        # Without a window manager Wine would wait up to 2 s on every hide for
        # one to withdraw the window; unmanaged windows need no such wait.
        subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                        "/d", "N", "/f"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p"], env=self.env)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env)
        if self.xvfb:
            self.xvfb.terminate()


def wait_for(path, seconds):
    end = time.time() + seconds
    while time.time() < end:
        if os.path.exists(path):
            return True
        time.sleep(0.05)
    return False


def run_piped(wine, launcher, quillex, cmd_file):
    p = subprocess.run(["wine", launcher, quillex, winpath(cmd_file)], env=wine.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       timeout=90)
    return p.returncode, p.stdout


def printable(data):
    """The visible characters of a text, blanks and control bytes left out."""
    return "".join(chr(b) for b in data if 32 < b < 127)


def run_in_terminal(wine, launcher, quillex, cmd_file, keys, tmp):
    """Runs under tmux; sends each key once the question it answers is shown."""
    out, rc = os.path.join(tmp, "out"), os.path.join(tmp, "rc")
    session = "quillex%d" % os.getpid()
    env = " ".join("%s='%s'" % (k, wine.env[k]) for k in ("WINEPREFIX", "WINEDEBUG", "DISPLAY"))
    # The terminal passes Ctrl+C on as input instead of a signal.
    # quillex's standard input is a file of "y" answers: the questions must
    # read the console itself, never standard input. (Wine's terminal console
    # reads the terminal through the Unix standard input, so the redirection
    # is made by the launcher, on the Windows side.)
    answers = os.path.join(tmp, "stdin")
    with open(answers, "wb") as f:
        f.write(b"yyyyyyyyyyyyyyyy\r\n" * 8)
    # The pane stays open after the run so that the echo can be read off it.
    shell = "stty -isig; %s wine '%s' '%s' '%s' '%s' > '%s'; echo $? > '%s'; sleep 60" % (
        env, launcher, quillex, winpath(cmd_file), winpath(answers), out, rc)
    subprocess.run(["tmux", "new-session", "-d", "-s", session, "-x", "200", "-y", "50", shell],
                   check=True)
    schedule, answered = [], 0  # (question number, key)
    for k in keys:
        schedule.append((answered + 1, k))
        answered += 2 if k in TWO_BYTE_KEYS else 1
    sent, extra, deadline = 0, answered, time.time() + 90
    try:
        while not os.path.exists(rc) and time.time() < deadline:
            shown = open(out, "rb").read().count(b"(y/n):") if os.path.exists(out) else 0
            if sent < len(schedule) and shown >= schedule[sent][0]:
                name = TMUX_KEYS.get(schedule[sent][1])
                args = [name] if name else ["-l", schedule[sent][1]]
                subprocess.run(["tmux", "send-keys", "-t", session] + args, check=True)
                sent += 1
            elif sent == len(schedule) and shown > extra:
                subprocess.run(["tmux", "send-keys", "-t", session, "-l", "n"], check=True)
                extra += 1
            time.sleep(0.05)
        wait_for(rc, 2)
        pane = subprocess.run(["tmux", "capture-pane", "-p", "-t", session],
                              stdout=subprocess.PIPE).stdout
    finally:
        subprocess.run(["tmux", "kill-session", "-t", session], stderr=subprocess.DEVNULL)
    code = int(open(rc).read()) if os.path.exists(rc) else "timeout"
    # The keys echoed on the console, with the "n" answers to Wine's own
    # windows' questions (sent after the scenario's keys) left off.
    echo = printable(pane)
    extra_answers = extra - answered
    if extra_answers and echo.endswith("n" * extra_answers):
        echo = echo[:len(echo) - extra_answers]
    return code, open(out, "rb").read() if os.path.exists(out) else b"", echo


def run_scenario(wine, build, scenario):
    fixture = os.path.join(build, "tests", "wine", "fixture.exe")
    launcher = os.path.join(build, "tests", "wine", "launcher.exe")
    quillex = os.path.join(build, "tool", "quillex.exe")
    with tempfile.TemporaryDirectory() as tmp:
        ready, stop, report = (os.path.join(tmp, n) for n in ("ready", "stop", "report"))
        cmd_file = os.path.join(tmp, "cmdline")
        with open(cmd_file, "wb") as f:
            f.write((scenario.option("cmdline") or "").encode("latin-1"))
        fx = subprocess.Popen(["wine", fixture, winpath(scenario.path), winpath(ready),
                               winpath(stop), winpath(report)], env=wine.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for(ready, 30):
            fx.kill()
            return ["fixture did not start"]
        keys = (scenario.option("keys") or "none").split()
        echo = []
        if keys and keys != ["none"]:
            code, stdout, echoed = run_in_terminal(wine, launcher, quillex, cmd_file, keys, tmp)
            echo = ["echo " + echoed]
        else:
            code, stdout = run_piped(wine, launcher, quillex, cmd_file)
        open(stop, "w").close()
        wait_for(report, 15)
        try:
            fx.wait(10)
        except subprocess.TimeoutExpired:
            fx.kill()
        states = open(report).read().splitlines() if os.path.exists(report) else []
    stdout = WINE_OWN_LINE.sub(b"", stdout)
    return ["exit %s" % code] + out_lines(stdout) + echo + states


ECHOED_KEY = re.compile(r"^call read_console_key\(\) = ('(.)'|0x00), echoed$")


def expected_lines(scenario):
    """The scenario's expectations as Windows shows them: text-mode output,
    and, for scenarios with keys, the characters echoed on the console."""
    stdout = scenario.expected_stdout().replace(b"\n", b"\r\n")
    exit_line = [l for l in scenario.expected if l.startswith("exit ")]
    states = [l for l in scenario.expected if l.startswith(("received ", "final "))]
    echo = []
    keys = (scenario.option("keys") or "none").split()
    if keys and keys != ["none"]:
        chars = [ECHOED_KEY.match(l) for l in scenario.expected]
        # Wine's terminal console shows an echoed NUL byte (the lead of a key
        # without a character) as "?".
        echoed = "".join(m.group(2) or "?" for m in chars if m)
        echo = ["echo " + printable(echoed.encode("latin-1"))]
    return exit_line + out_lines(stdout) + echo + states


def skip_reason(scenario):
    reason = scenario.option("wine-skip")
    if reason:
        return reason
    if any(" post-fails" in l for l in scenario.setup if l.startswith(("window ", "child "))):
        return "a post that fails is a simulated-only feature"
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="a win32 build folder")
    ap.add_argument("--prefix", default="build/wineprefix")
    ap.add_argument("paths", nargs="+")
    args = ap.parse_args()
    for tool in ("wine", "Xvfb", "tmux"):
        if not shutil.which(tool):
            sys.exit("run_wine_scenarios: %s is missing" % tool)

    files = []
    for p in args.paths:
        files += sorted(os.path.join(p, f) for f in os.listdir(p) if f.endswith(".scn")) \
            if os.path.isdir(p) else [p]
    wine = Wine(args.prefix)
    passed = failed = skipped = 0
    try:
        for path in files:
            s = Scenario(path)
            reason = skip_reason(s)
            if reason:
                print("SKIP %s: %s" % (os.path.basename(path), reason))
                skipped += 1
                continue
            if compare(os.path.basename(path), expected_lines(s), run_scenario(wine, args.build, s)):
                passed += 1
            else:
                failed += 1
    finally:
        wine.close()
    print("wine-%s: %d passed, %d failed, %d skipped" % (os.path.basename(args.build), passed,
                                                          failed, skipped))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
