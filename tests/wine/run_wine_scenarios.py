#!/usr/bin/env python3
"""Replays the scenario corpus against the real quillex.exe under Wine.

For each scenario the fixture program builds the desktop out of real windows,
the launcher starts quillex.exe with the scenario's exact raw command line,
and the result is compared with the scenario's expectations: standard output
(as the text-mode stream writes it, "\\n" as "\\r\\n"), the exit code, the
messages the windows received and their final states. Platform calls are the
simulated desktop's own record and are not compared here.

Scenarios with keys run on a console of their own, whose input the console
typist (console_typist.exe) fills with the scenario's keys before quillex
starts; the others run with pipes, where it has none.

The build's architecture must be one this machine can run (winehost.py
check ARCH); otherwise the runner stops at once and says why. It also stops,
rather than time out scenario after scenario, when a fixture cannot start.

    run_wine_scenarios.py --build build/win32-i686 tests/scenarios/corpus
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scenarios"))
from run_scenarios import (as_names, compare, load_scenarios, out_lines,  # noqa: E402
                           seconds_check, stdout_target, with_names)
from fixture_run import (Build, FixtureRun, quillex_argv, run_command_line,  # noqa: E402
                         suite_arguments)
from winehost import ON_WINDOWS, Host, WineError, winpath  # noqa: E402

# The system has top-level windows of its own ("Default IME", one per GUI
# thread), and on Windows the machine has many more. They are not part of any
# scenario: their listing lines, and the child lines that follow them, are
# dropped before comparing, and their questions are answered "n".
TOP_LINE = re.compile(rb'^"(.*?)"(?: - Iconized| - Maximized)?(?: - Hidden)?(?:\. Do |\r?\n)')

# The typist's key lines for the scenario's key tokens (console_typist.cpp):
# characters, and keys by the names the scenarios give them.
# Answers for the questions about Wine's own windows, which come after the
# scenario's; a "y" would touch a window the test did not make.
SPARE_ANSWERS = 100


def typist_key(token):
    if token == "^C":
        return "key ctrl+c"
    if re.fullmatch(r"<[^<>]+>", token):
        return "key " + token[1:-1]
    if len(token) == 1:
        return "char %02x" % ord(token)
    raise ValueError("unknown key %s" % token)


def command_line(scenario, names):
    """The scenario's command line, its {ID}s standing for the windows'
    handles."""
    return with_names([scenario.option("cmdline") or ""], names)[0]


def run_piped(host, build, scenario, names):
    target = stdout_target(scenario)
    try:
        p = run_command_line(host, build, command_line(scenario, names),
                             startup=scenario.option("startup"),
                             stdout=target or subprocess.PIPE, stderr=subprocess.PIPE, timeout=90)
    finally:
        if target:
            target.close()
    return p.returncode, p.stdout or b"", p.stderr


def printable(data):
    """The visible characters of a text, blanks and control bytes left out."""
    return bytes(b for b in data if 32 < b < 127 or b >= 128).decode("latin-1")


def console_windows(scenario):
    """The scenario's window lines marked as the console Quillex runs in."""
    return [l for l in scenario.setup
            if l.startswith("window ") and "console" in l.rsplit('"', 1)[1].split()]


def run_on_console(host, build, scenario, names, tmp):
    """Runs quillex.exe on a console of its own that holds the scenario's
    keys. Returns (exit code, standard output, the keys echoed on the
    console, standard error)."""
    keys, screen = os.path.join(tmp, "keys"), os.path.join(tmp, "screen")
    with open(keys, "w") as f:
        f.write("".join(typist_key(k) + "\n" for k in scenario.option("keys").split()))
        f.write("char 6e\n" * SPARE_ANSWERS)
    # quillex's standard input is a file of "y" answers: the questions must
    # read the console itself, never standard input.
    answers = os.path.join(tmp, "stdin")
    with open(answers, "wb") as f:
        f.write(b"yyyyyyyyyyyyyyyy\r\n" * 8)
    quillex = quillex_argv(build, command_line(scenario, names), tmp,
                           scenario.option("startup"))
    # A scenario window marked as the console is the typist's, by its title.
    title = [l.split('"')[1] for l in console_windows(scenario)]
    p = host.run(build.arch, [build.typist] + (["--title", title[0]] if title else []) +
                 [winpath(keys), winpath(screen)] + quillex + [winpath(answers)],
                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=90)
    shown = open(screen, "rb").read().split(b"\n")[1:] if os.path.exists(screen) else []
    return p.returncode, p.stdout, printable(b"".join(shown)), p.stderr


def output_lines(stdout):
    return re.split(rb"(?<=\n)", stdout)


def without_foreign_windows(stdout, foreign):
    """The output without the lines of the system's own windows (foreign
    maps their titles to their child lines), and the number of questions
    those lines asked."""
    kept, asked, children = [], 0, None
    for line in output_lines(stdout):
        top = TOP_LINE.match(line)
        if top and top.group(1) in foreign:
            asked += b"(y/n):" in line
            children = foreign[top.group(1)]
            continue
        if not (children and line.startswith(b"\t") and line in children):
            children = None
            kept.append(line)
    return b"".join(kept), asked


def listed_windows(host, build):
    """The titled top-level windows there are now, in listing order, each
    with the child lines listed under it."""
    p = run_command_line(host, build, "quillex.exe /listwin /listsub", stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, timeout=60)
    windows = []
    for line in output_lines(p.stdout):
        top = TOP_LINE.match(line)
        if top:
            windows.append((top.group(1), set()))
        elif windows and line.startswith(b"\t"):
            windows[-1][1].add(line)
    return windows


def system_windows(host, build):
    """The windows that are there before any scenario's: their titles, each
    with its child lines."""
    return dict([(b"Default IME", set())] + listed_windows(host, build))


def scenario_windows_first(host, build, foreign):
    """Whether every listing line before the last scenario window's is a
    scenario window's: then the scenario's keys answer its own windows."""
    mine = [title not in foreign for title, _ in listed_windows(host, build)]
    return all(mine[:max((i + 1 for i, m in enumerate(mine) if m), default=0)])


def scenario_keys(scenario):
    """The scenario's console keys; none when it runs without a console."""
    keys = (scenario.option("keys") or "none").split()
    return [] if keys == ["none"] else keys


def may_say_yes(keys):
    """Whether a key could answer a question yes: its character is Y or y,
    or, held with a modifier, its classic code may be (Shift+F6 is 89, Y)."""
    return any(k in ("y", "Y") or (k.startswith("<") and "+" in k) for k in keys)


def run_scenario(host, build, scenario, foreign):
    """The scenario's result lines, or None when it cannot run safely here."""
    with tempfile.TemporaryDirectory() as tmp:
        with FixtureRun(host, build, scenario.path) as fixture:
            keys = scenario_keys(scenario)
            # A yes must never reach a window the test did not make.
            if may_say_yes(keys) and not scenario_windows_first(host, build, foreign):
                return None, {}
            echo = []
            fixture.started()
            start = time.time()
            stderr = b""
            if keys:
                code, stdout, echoed, stderr = run_on_console(host, build, scenario,
                                                              fixture.names, tmp)
            else:
                code, stdout, stderr = run_piped(host, build, scenario, fixture.names)
            seconds = time.time() - start
        states, names = fixture.report, fixture.names
    if stdout.startswith(b"["):
        stdout, spare = json_without_foreign_windows(stdout, names), 0
    else:
        stdout, spare = without_foreign_windows(stdout, foreign)
    if keys:
        # The "n" answers to the questions about the system's windows.
        if spare and echoed.endswith("n" * spare):
            echoed = echoed[:len(echoed) - spare]
        echo = ["echo " + echoed]
    lines = ["exit %s" % code] + out_lines(stdout) + out_lines(stderr, "err") + echo + states
    asks = asking_seconds(scenario)
    late = seconds_check(scenario, seconds)
    if late:
        lines.append(late)
    elif has_hung_window(scenario) or asks or scenario.option("seconds"):
        # A run beside a window that stops answering must end after its
        # bounded waits, not wait for the window; one beside a window that
        # asks its user must wait for the answer (unless a deadline cuts
        # the wait, and the scenario says how long it takes). Report the
        # time, and fail a run that did not.
        print("time %s: quillex ended in %.1f s" % (os.path.basename(scenario.path), seconds))
        if seconds > HUNG_RUN_LIMIT and not scenario.option("seconds"):
            lines.append("ran %.1f s beside a hung window, over %d s" % (seconds, HUNG_RUN_LIMIT))
        if seconds < asks and not scenario.option("seconds"):
            lines.append("ended after %.1f s, before the window's %d s question" % (seconds, asks))
    return lines, names


def json_without_foreign_windows(stdout, names):
    """The JSON listing without the system's windows: the objects of the
    scenario's windows and their children. An array that does not parse
    whole is left as it is, to fail."""
    text = stdout.decode("ascii", "replace")
    try:
        json.loads(text)
    except ValueError:
        return stdout
    handles = set(names.values())
    kept = [line.rstrip(",") for line in text.split("\r\n") if line.startswith("{")]
    kept = [o for o in kept if json.loads(o).get("parent", json.loads(o)["handle"]) in handles]
    return ("[\r\n" + ",\r\n".join(kept) + "\r\n]\r\n" if kept else "[]\r\n").encode()


# Above the longest bounded wait (8 s for an answer), far below the
# runner's timeouts.
HUNG_RUN_LIMIT = 12
# The words of windows that stop answering, or never answer, for a while.
UNANSWERING = re.compile(r" (hung|wakes|stalls|busy=\d+|ponders|drops|saves=\d+|cleans=\d+)\b")


def asking_seconds(scenario):
    """How long the scenario's windows ask their user, at most."""
    asks = re.findall(r" asks=(\d+)", "\n".join(l for l in scenario.setup if l.startswith("window ")))
    return max(map(int, asks), default=0)


def has_hung_window(scenario):
    return any(l.startswith("window ") and UNANSWERING.search(l) for l in scenario.setup)


ECHOED_KEY = re.compile(r"^call read_console_key\(\) = (?:'(.)'|0x([0-9a-f]{2})), echoed$")


def expected_lines(scenario):
    """The scenario's expectations as Windows shows them: text-mode output,
    and, for scenarios with keys, the characters echoed on the console."""
    stdout = scenario.expected_stdout().replace(b"\n", b"\r\n")
    stderr = scenario.expected_stdout("err").replace(b"\n", b"\r\n")
    exit_line = [l for l in scenario.expected if l.startswith("exit ")]
    # The console is the test's own: it has gone with the run.
    consoles = tuple("final %s " % l.split()[1] for l in console_windows(scenario))
    states = [l for l in scenario.expected if l.startswith(("received ", "final "))
              and not l.startswith(consoles or ("\0",))]
    echo = []
    if scenario_keys(scenario):
        chars = [ECHOED_KEY.match(l) for l in scenario.expected]
        echoed = bytes(ord(m.group(1)) if m.group(1) else int(m.group(2), 16)
                       for m in chars if m)
        echo = ["echo " + printable(echoed)]
    return exit_line + out_lines(stdout) + out_lines(stderr, "err") + echo + states


def skip_reason(scenario, build):
    reason = scenario.option("windows-skip" if ON_WINDOWS else "wine-skip")
    if reason:
        return reason
    if ON_WINDOWS and scenario.option("stdout") == "full":
        return "Windows has no device that is always full"
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
    if utf8 and (has_hung_window(scenario) or asking_seconds(scenario)):
        # Seconds of waiting each, on code that does not touch text.
        return "its waits are the same with quillex.exe, which runs it"
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
    args, name = suite_arguments("windows" if ON_WINDOWS else "wine", more=[
        ("--exe", dict(default="quillex.exe", help="the exe of the build's tool folder")),
        ("--update", dict(action="store_true",
                          help="rewrite the expectations of scenarios that run only under Wine")),
        ("paths", dict(nargs="+"))])
    if args.exe != "quillex.exe":
        name += "-" + args.exe[:-4]

    passed = failed = skipped = 0
    try:
        build = Build(args.build, args.exe)
        with Host(args.prefix) as host:
            host.smoke_test(build.hello)
            foreign = system_windows(host, build)
            for path, s in load_scenarios(args.paths):
                if isinstance(s, ValueError):
                    failed += 1
                    continue
                reason = skip_reason(s, build)
                actual, names = (None, {}) if reason else run_scenario(host, build, s, foreign)
                if actual is None:
                    print("SKIP %s: %s" % (os.path.basename(path), reason or (
                        "a window the test did not make comes before the scenario's, and a "
                        "yes must not reach it")))
                    skipped += 1
                    continue
                if args.update and s.option("native-skip"):
                    write_expectations(s, as_names(actual, names))
                    continue
                if compare(os.path.basename(path), with_names(expected_lines(s), names), actual):
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
