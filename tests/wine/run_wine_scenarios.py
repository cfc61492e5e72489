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

The build's architecture must be one this machine can run (winehost.py
check ARCH); otherwise the runner stops at once and says why. It also stops,
rather than time out scenario after scenario, when a fixture cannot start.

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

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scenarios"))
from run_scenarios import Scenario, compare, out_lines, stdout_target  # noqa: E402
from fixture_run import Build, FixtureRun, run_command_line  # noqa: E402
from terminal_run import KEY_DELAY, quillex_in_terminal  # noqa: E402
from winehost import Host, WineError  # noqa: E402

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


def run_piped(host, build, scenario):
    target = stdout_target(scenario)
    try:
        p = run_command_line(host, build, scenario.option("cmdline") or "",
                             stdout=target or subprocess.PIPE, stderr=subprocess.PIPE, timeout=90)
    finally:
        if target:
            target.close()
    return p.returncode, p.stdout or b"", p.stderr


def printable(data):
    """The visible characters of a text, blanks and control bytes left out."""
    return "".join(chr(b) for b in data if 32 < b < 127)


def run_in_terminal(host, build, command_line, keys, tmp):
    """Runs in a terminal; sends each key once the question it answers is
    shown, and "n" to the questions about Wine's own windows after them."""
    # quillex's standard input is a file of "y" answers: the questions must
    # read the console itself, never standard input. (Wine's terminal console
    # reads the terminal through the Unix standard input, so the redirection
    # is made by the launcher, on the Windows side.)
    answers = os.path.join(tmp, "stdin")
    with open(answers, "wb") as f:
        f.write(b"yyyyyyyyyyyyyyyy\r\n" * 8)
    schedule, answered = [], 0  # (question number, key)
    for k in keys:
        schedule.append((answered + 1, k))
        answered += 2 if k in TWO_BYTE_KEYS else 1
    sent = {"keys": 0, "questions": answered}

    def react(shown, send):
        asked = shown.count(b"(y/n):")
        if sent["keys"] < len(schedule) and asked >= schedule[sent["keys"]][0]:
            time.sleep(KEY_DELAY)
            key = schedule[sent["keys"]][1]
            send(*([TMUX_KEYS[key]] if key in TMUX_KEYS else ["-l", key]))
            sent["keys"] += 1
        elif sent["keys"] == len(schedule) and asked > sent["questions"]:
            time.sleep(KEY_DELAY)
            send("-l", "n")
            sent["questions"] += 1

    code, stdout, pane = quillex_in_terminal(host, build, command_line, react, tmp, answers)
    # The keys echoed on the console, with the "n" answers to Wine's own
    # windows' questions (sent after the scenario's keys) left off.
    echo = printable(pane)
    extra_answers = sent["questions"] - answered
    if extra_answers and echo.endswith("n" * extra_answers):
        echo = echo[:len(echo) - extra_answers]
    return code, stdout, echo


def run_scenario(host, build, scenario):
    with tempfile.TemporaryDirectory() as tmp:
        with FixtureRun(host, build, scenario.path) as fixture:
            keys = (scenario.option("keys") or "none").split()
            echo = []
            start = time.time()
            stderr = b""
            if keys and keys != ["none"]:
                code, stdout, echoed = run_in_terminal(
                    host, build, scenario.option("cmdline") or "", keys, tmp)
                echo = ["echo " + echoed]
            else:
                code, stdout, stderr = run_piped(host, build, scenario)
            seconds = time.time() - start
        states = fixture.report
    stdout = WINE_OWN_LINE.sub(b"", stdout)
    lines = ["exit %s" % code] + out_lines(stdout) + out_lines(stderr, "err") + echo + states
    asks = asking_seconds(scenario)
    if has_hung_window(scenario) or asks:
        # A run beside a hung window must end after its bounded waits, not
        # wait for the window; one beside a window that asks its user must
        # wait for the answer. Report the time, and fail a run that did not.
        print("time %s: quillex ended in %.1f s" % (os.path.basename(scenario.path), seconds))
        if seconds > HUNG_RUN_LIMIT:
            lines.append("ran %.1f s beside a hung window, over %d s" % (seconds, HUNG_RUN_LIMIT))
        if seconds < asks:
            lines.append("ended after %.1f s, before the window's %d s question" % (seconds, asks))
    return lines


# Far above the bounded waits (about 5 s), far below the runner's timeouts.
HUNG_RUN_LIMIT = 20


def asking_seconds(scenario):
    """How long the scenario's windows ask their user, at most."""
    asks = re.findall(r" asks=(\d+)", "\n".join(l for l in scenario.setup if l.startswith("window ")))
    return max(map(int, asks), default=0)


def has_hung_window(scenario):
    return any(l.startswith("window ") and " hung" in l for l in scenario.setup)


ECHOED_KEY = re.compile(r"^call read_console_key\(\) = ('(.)'|0x00), echoed$")


def expected_lines(scenario):
    """The scenario's expectations as Windows shows them: text-mode output,
    and, for scenarios with keys, the characters echoed on the console."""
    stdout = scenario.expected_stdout().replace(b"\n", b"\r\n")
    stderr = scenario.expected_stdout("err").replace(b"\n", b"\r\n")
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
    return exit_line + out_lines(stdout) + out_lines(stderr, "err") + echo + states


def skip_reason(scenario, build):
    reason = scenario.option("wine-skip")
    if reason:
        return reason
    # Scenarios of titles outside the ANSI code page are written for one of
    # the two builds: what the other one does there is another scenario.
    wanted = scenario.option("build")
    utf8 = build.exe == "quillex-utf8.exe"
    if wanted == "utf-8" and not utf8:
        return "written for quillex-utf8.exe"
    if wanted == "classic" and utf8:
        return "written for the classic quillex.exe"
    if any(" post-fails" in l for l in scenario.setup if l.startswith(("window ", "child "))):
        return "a post that fails is a simulated-only feature"
    return None


def write_expectations(scenario, actual):
    """Writes what Wine gave as the scenario's expectations, in its own form:
    output as the program wrote it, before the text-mode line ends."""
    lines = [l.replace("\\r\\n", "\\n") if l.startswith(("out ", "err ")) else l
             for l in actual if not l.startswith("echo ")]
    with open(scenario.path, "w", encoding="latin-1") as f:
        f.write("\n".join(scenario.setup + [""] + lines) + "\n")
    print("updated %s" % scenario.path)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="a win32 build folder")
    ap.add_argument("--prefix", default="build/wineprefix")
    ap.add_argument("--exe", default="quillex.exe", help="the exe of the build's tool folder")
    ap.add_argument("--update", action="store_true",
                    help="rewrite the expectations of scenarios that run only under Wine")
    ap.add_argument("paths", nargs="+")
    args = ap.parse_args()
    name = "wine-" + os.path.basename(os.path.normpath(args.build))
    if args.exe != "quillex.exe":
        name += "-" + args.exe[:-4]
    for tool in ("Xvfb", "tmux"):
        if not shutil.which(tool):
            sys.exit("%s: %s is missing (scripts/install_deps.sh installs it)" % (name, tool))

    files = []
    for p in args.paths:
        files += sorted(os.path.join(p, f) for f in os.listdir(p) if f.endswith(".scn")) \
            if os.path.isdir(p) else [p]
    passed = failed = skipped = 0
    try:
        build = Build(args.build, args.exe)
        with Host(args.prefix) as host:
            host.smoke_test(build.hello)
            for path in files:
                s = Scenario(path)
                reason = skip_reason(s, build)
                if reason:
                    print("SKIP %s: %s" % (os.path.basename(path), reason))
                    skipped += 1
                    continue
                actual = run_scenario(host, build, s)
                if args.update and s.option("native-skip"):
                    write_expectations(s, actual)
                    continue
                if compare(os.path.basename(path), expected_lines(s), actual):
                    passed += 1
                else:
                    failed += 1
    except WineError as e:
        # Every further scenario would fail the same way: stop here.
        print("%s: stopped after %d passed, %d failed: %s" % (name, passed, failed, e))
        return 1
    print("%s: %d passed, %d failed, %d skipped" % (name, passed, failed, skipped))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
