#!/usr/bin/env python3
"""Replays the scenario corpus and reports every difference as a diff of the
scenario's own lines, on one of three hosts:

- sim (the default): the native quillex on the simulated desktop, with the
  platform calls a scenario states;
- wine: the real quillex.exe of a cross build under Wine, against real
  windows that the fixture program makes; output, exit code, the keys echoed
  on the console, the messages the windows received and their final states
  are compared (the platform calls are the simulated desktop's own record);
- windows: the same, on Windows itself.

A scenario holds the desktop (window, child, keys, cmdline... lines) and the
expected result (exit, out, err, received, final lines, and the calls it
states); the README describes every line.

    run_scenarios.py --exe build/native/tool/quillex tests/scenarios/corpus
    run_scenarios.py --host wine --build build/win32-i686 [--exe quillex-utf8.exe] PATH...
    ... --timed only|none      only the scenarios that assert a time, or the others
    ... --update FILE...       rewrite the expectations (under Wine: of native-skip ones)
    run_scenarios.py --exe ... --random-json N   compare the JSON and text listings of
                                                 N random simulated desktops
    run_scenarios.py --exe ... --sweep PATH...   run each scenario with each of its
                                                 platform calls failed in turn
"""
import argparse
import concurrent.futures
import difflib
import json
import os
import random
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
from suite import (FixtureRun, Report, host_names, listing, quillex_argv,  # noqa: E402
                   run_command_line, run_suite)

EXPECTATION_KEYS = ("exit", "out", "err", "call", "no-call", "received", "final")
# What a scenario's desktop and run may say; anything else is a mistake.
SETUP_KEYS = ("window", "child", "cmdline", "keys", "stdout", "titles", "build", "churn",
              "unordered", "wine-skip", "native-skip", "windows-skip", "seconds", "startup",
              "calls", "stderr", "foreground", "fail")
# A run of calls repeated (a wait that looks again and again) is written
# once, then this line.
REPEATED = "call (the %d calls above, %d times more)"


ESCAPES = {"\\": "\\\\", "\n": "\\n", "\r": "\\r", "\t": "\\t"}
UNESCAPES = {"n": "\n", "r": "\r", "t": "\t"}


def escape(data: bytes) -> str:
    return "".join(ESCAPES.get(chr(b)) or (chr(b) if 32 <= b < 127 else "\\x%02x" % b)
                   for b in data)


def unescape(text: str) -> bytes:
    return re.sub(r"\\(x[0-9a-fA-F]{2}|.)", lambda m: chr(int(m.group(1)[1:], 16))
                  if len(m.group(1)) == 3 else UNESCAPES.get(m.group(1), m.group(1)),
                  text).encode("latin-1")


def out_lines(data: bytes, key="out"):
    """Standard output as out lines (or standard error as err lines), one per
    line the program wrote."""
    return [key + " " + escape(l) for l in re.split(rb"(?<=\n)", data) if l]


def stderr_target(scenario):
    """Standard error: its own pipe, or where standard output goes (2>&1)."""
    return subprocess.STDOUT if scenario.option("stderr") == "stdout" else subprocess.PIPE


def stdout_target(scenario):
    """Where the scenario sends standard output: a pipe that is read (None),
    /dev/full, or a pipe whose reading end is already closed."""
    kind = scenario.option("stdout")
    if kind == "full":
        return open("/dev/full", "wb")
    if kind == "closed":
        read, write = os.pipe()
        os.close(read)
        return os.fdopen(write, "wb")
    if kind:
        raise ValueError("%s: unknown stdout %s" % (scenario.path, kind))
    return None


class Scenario:
    def __init__(self, path):
        self.path = path
        self.setup = []  # every line that is not an expectation, in order
        self.expected = []
        with open(path, encoding="latin-1") as f:
            for number, line in enumerate(f.read().split("\n"), 1):
                key = line.split(" ", 1)[0]
                if key in EXPECTATION_KEYS:
                    self.expected.append(line)
                elif key in SETUP_KEYS or not line.strip() or line.startswith("#"):
                    self.setup.append(line)
                else:
                    raise ValueError("%s:%d: unknown scenario line %r" % (path, number, line))
        while self.setup and self.setup[-1] == "":
            self.setup.pop()

    def expected_stdout(self, key="out"):
        return b"".join(unescape(l[len(key) + 1:]) for l in self.expected
                        if l.startswith(key + " "))

    def option(self, key):
        return next((l[len(key) + 1:] for l in self.setup if l.startswith(key + " ")), None)


def run_sim(exe, scenario, fail=None):
    """Runs the scenario on the simulated desktop (its fail-th platform call
    failed, when given); returns (exit code, stdout, stderr, trace lines)."""
    with tempfile.TemporaryDirectory() as tmp:
        trace_path = os.path.join(tmp, "trace")
        env = dict(os.environ, QUILLEX_SIM_SCENARIO=scenario.path, QUILLEX_SIM_TRACE=trace_path)
        fail = fail or scenario.option("fail")
        if fail:
            env["QUILLEX_SIM_FAIL"] = str(fail)
        target = stdout_target(scenario)
        try:
            p = subprocess.run([exe], env=env, stdout=target or subprocess.PIPE,
                               stderr=stderr_target(scenario), stdin=subprocess.DEVNULL,
                               timeout=20)
            code, stdout, stderr = p.returncode, p.stdout or b"", p.stderr or b""
        except subprocess.TimeoutExpired as e:
            code, stdout, stderr = "timeout", e.stdout or b"", e.stderr or b""
        finally:
            if target:
                target.close()
        trace = (open(trace_path, encoding="latin-1").read().splitlines()
                 if os.path.exists(trace_path) else [])
    return code, stdout, stderr, trace


def trailing(trace, key):
    """The number a trailing trace line ("elapsed 5000 ms", "calls 12")
    gives, or 0."""
    return next((int(t.split()[1]) for t in trace if t.startswith(key + " ")), 0)


def run_native(exe, scenario):
    """Runs the scenario; returns its result in the scenario's own lines."""
    code, stdout, stderr, trace = run_sim(exe, scenario)
    lines = ["exit %s" % code] + out_lines(stdout) + out_lines(stderr, "err")
    trailer = ("received ", "final ", "elapsed ", "handle ", "pid ", "calls ")
    lines += stated_calls(scenario, [t for t in trace if not t.startswith(trailer)])
    lines += [t for t in trace if t.startswith("received ")]
    lines += [t for t in trace if t.startswith("final ")]
    # The virtual clock, for the scenario's time bounds.
    late = seconds_check(scenario, trailing(trace, "elapsed") / 1000.0)
    return lines + ([late] if late else []), host_names(trace)


def stated_calls(scenario, calls):
    """The run's calls as the scenario states them: the whole trace (calls
    whole); else each call line found in the trace, in its order, and each
    no-call line whose text no call begins with. A line that does not hold
    shows what was made instead."""
    if scenario.option("calls") == "whole":
        return collapse_repeats(["call " + c for c in calls])
    out, at = [], 0
    for line in scenario.expected:
        if line.startswith("call "):
            want = line[5:]
            if want in calls[at:]:
                at = calls.index(want, at) + 1
                out.append(line)
            else:
                made = [c for c in calls[at:] if c.split("(")[0] == want.split("(")[0]]
                out += ["call " + c for c in made[:3]] or ["call (none after the line above)"]
        elif line.startswith("no-call "):
            made = [c for c in calls if c.startswith(line[8:])]
            out.append(line + (" (made: %s)" % made[0] if made else ""))
    return out


# Under /strict (not negated), in any of its abbreviations.
STRICT = re.compile(r"(?i)(?:^|\s)/st(?:r(?:i(?:c(?:t)?)?)?)?(?=$|[\s/:=])")
SANITIZER = re.compile(rb"Sanitizer|runtime error:")


def sweep_findings(exe, scenario, fail, clean):
    """What is wrong with the run whose fail-th call failed, given the clean
    run: it must end by itself within 120 s of virtual time beyond the clean
    run's, with one of the program's exit codes, without a sanitizer
    finding; under /strict, 0 only where the effects hold as in a clean
    success, and 3 with its lines on standard error."""
    code, stdout, stderr, trace = run_sim(exe, scenario, fail)
    stderr += stdout if scenario.option("stderr") == "stdout" else b""
    problems = []
    if SANITIZER.search(stderr):
        problems.append("sanitizer: " + stderr.decode("latin-1").strip().splitlines()[0])
    # What a failed call leaves in a buffer it did not fill (sim_trace.cpp).
    unfilled = re.compile(rb"\xcc\xcc|\\uffff")
    if unfilled.search(stdout + stderr) and not unfilled.search(clean[1] + clean[2]):
        problems.append("printed a buffer the failed call did not fill")
    if code not in (0, 1, 2, 3, 4) and code != clean[0]:
        problems.append("exit %s" % code)
    if trailing(trace, "elapsed") > trailing(clean[3], "elapsed") + 120000:
        problems.append("ran %d ms" % trailing(trace, "elapsed"))
    if STRICT.search(scenario.option("cmdline") or ""):
        finals = [t for t in trace if t.startswith("final ")]
        if code == 0 and (clean[0] != 0 or finals != [t for t in clean[3]
                                                     if t.startswith("final ")]):
            problems.append("/strict exit 0, but %s" % " / ".join(finals))
        if code == 3 and b"Quillex: " not in stderr:
            problems.append("/strict exit 3 without its line on standard error")
    if not problems:
        return []
    injected = next((t for t in trace if t.endswith(" injected")), "no call failed")
    return ["%s, call %d (%s): %s" % (os.path.basename(scenario.path), fail, injected,
                                      "; ".join(problems))]


def failure_sweep(exe, scenarios):
    """Runs every scenario with each of its platform calls failed in turn;
    returns (runs, findings)."""
    jobs = []
    for path, s in scenarios:
        clean = run_sim(exe, s)
        jobs += [(s, k, clean) for k in range(1, trailing(clean[3], "calls") + 1)]
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
        found = pool.map(lambda job: sweep_findings(exe, *job), jobs)
        return len(jobs), [f for fs in found for f in fs]


def sim_names(scenario):
    """What {ID} and {pid} stand for on the simulated desktop, for a reader
    of the scenario alone: handles numbered in scenario order from
    0x00010010, 0x10 apart, and one process, 1234 (as sim_desktop.cpp and
    sim_platform.cpp number them)."""
    ids = [l.split()[1] for l in scenario.setup if l.startswith(("window ", "child "))]
    names = {"{%s}" % w: "0x%08X" % (0x00010010 + 0x10 * i) for i, w in enumerate(ids)}
    names["{pid}"] = "1234"
    return names


def with_names(lines, names):
    """The lines with each {ID} and {pid} put in as the host numbered them."""
    for name, value in names.items():
        lines = [l.replace(name, value) for l in lines]
    return lines


def as_names(lines, names):
    """The reverse of with_names, for written expectations: a handle's
    number as its {ID}, a process id as {pid} where JSON shows one."""
    out = []
    for line in lines:
        if line.startswith(("out ", "err ")):
            for name, value in names.items():
                line = (line.replace('"pid":%s,' % value, '"pid":{pid},') if name == "{pid}"
                        else line.replace(value, name))
        out.append(line)
    return out


def collapse_repeats(calls, longest=4):
    """The call lines with each run of a repeated group of up to `longest`
    lines written once, followed by a REPEATED line."""
    out, i = [], 0
    while i < len(calls):
        for size in range(1, longest + 1):
            group = calls[i:i + size]
            times = 1
            while calls[i + times * size:i + (times + 1) * size] == group:
                times += 1
            if times >= 3:
                out += group + [REPEATED % (size, times - 1)]
                i += times * size
                break
        else:
            out.append(calls[i])
            i += 1
    return out


def seconds_check(scenario, seconds):
    """A line that fails the run when it did not end within the scenario's
    seconds MIN MAX, or None."""
    low, high = (scenario.option("seconds") or "0 inf").split()
    if not float(low) <= seconds <= float(high):
        return "ran %.1f s, not %s to %s s" % (seconds, low, high)


def compare(report, name, expected, actual):
    """Reports whether the run gave what the scenario expects, with a diff."""
    if expected == actual:
        return report.check(name, True)
    report.check(name, False)
    for line in difflib.unified_diff(expected, actual, "expected", "actual", lineterm="", n=2):
        print("    " + line)
    return False


def random_desktop(rng, path):
    """A scenario file of a random desktop: titles plain, odd, long, beyond
    ASCII or empty, in every state."""
    lines = []
    for n in range(rng.randint(0, 12)):
        title = rng.choice(["Calc", "Say \\\"hi\\\"", "tab\\there", "caf\\xe9 \\xc0 la",
                            "", "x" * rng.choice([1, 126, 127, 200]), "Report %d" % n])
        states = rng.sample(["hidden", "minimized", "maximized"], rng.randint(0, 2))
        lines.append('window w%d "%s" %s' % (n, title, " ".join(s for s in states
                                                             if s != "maximized" or
                                                             "minimized" not in states)))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def json_agrees_with_text(exe, runs):
    """On random desktops the JSON listing's titled windows are, in order,
    the text listing's, in the same states, with the same titles where the
    text shows them whole (ASCII, not cut). Returns the problems."""
    rng, problems = random.Random(2026), []
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "random.scn")
        for run in range(runs):
            random_desktop(rng, path)
            env = dict(os.environ, QUILLEX_SIM_SCENARIO=path)
            text = subprocess.run([exe, "/listwin"], env=env, stdout=subprocess.PIPE).stdout
            array = subprocess.run([exe, "/listwin", "/json"], env=env,
                                   stdout=subprocess.PIPE).stdout
            shown = [(l.title.decode("latin-1"), (l.state or b"").decode(), l.hidden)
                     for l in listing(text)]
            objects = [o for o in json.loads(array) if o["title"]]
            same = len(shown) == len(objects) and all(
                (o["minimized"], o["maximized"] and not o["minimized"], not o["visible"]) ==
                (state == " - Iconized", state == " - Maximized", hidden is not None) and
                (o["title"] == title or len(title) >= 127 or not title.isascii())
                for (title, state, hidden), o in zip(shown, objects))
            if not same:
                problems.append("desktop %d:\n%s\n%s" % (run, open(path).read(), array))
    return problems


# On a real desktop the system has top-level windows of its own ("Default
# IME", one per GUI thread), and on Windows many more. They are not part of
# any scenario: their lines, and their children's, are dropped before
# comparing, and their questions are answered "n" (a yes must never reach a
# window the test did not make).
SPARE_ANSWERS = 100
ECHOED_KEY = re.compile(r"^call read_console_key\(\) = (?:'(.)'|0x([0-9a-f]{2})), echoed$")


def window_words(scenario, *words, lines=("window ",)):
    """The scenario's window lines that carry one of the words (a word with
    a value by its name: "asks" for "asks=30")."""
    return [l for l in scenario.setup if l.startswith(lines) and
            any(w.split("=")[0] in words for w in l.rsplit('"', 1)[1].split())]


def timed(scenario):
    """Whether the scenario asserts how long its run takes: a run beside a
    window that stops answering must end after its bounded waits, one beside
    a window that asks its user must wait for the answer."""
    return scenario.option("seconds") is not None


def scenario_keys(scenario):
    """The scenario's console keys; none when it runs without a console."""
    keys = (scenario.option("keys") or "none").split()
    return [] if keys == ["none"] else keys


def starter_key(token):
    """The starter's key line for a scenario's key token."""
    if token == "^C":
        return "key ctrl+c"
    if re.fullmatch(r"<[^<>]+>", token):
        return "key " + token[1:-1]
    if len(token) == 1:
        return "char %02x" % ord(token)
    raise ValueError("unknown key %s" % token)


def printable(data):
    """The visible characters of a text, blanks and control bytes left out."""
    return bytes(b for b in data if 32 < b < 127 or b >= 128).decode("latin-1")


def run_on_host(host, build, scenario, names, tmp):
    """Runs quillex.exe as the scenario says: with its keys on a console of
    its own (its standard input a file of "y" answers, which must never
    answer a question), or with pipes. Returns (exit code, standard output,
    standard error, the keys echoed on the console or None)."""
    line = with_names([scenario.option("cmdline") or ""], names)[0]
    keys = scenario_keys(scenario)
    target = stdout_target(scenario)
    title = [l.split('"')[1] for l in window_words(scenario, "console")]
    if keys or title:
        key_file, screen, answers = (os.path.join(tmp, n) for n in ("keys", "screen", "stdin"))
        with open(key_file, "w") as f:
            f.write("".join(starter_key(k) + "\n" for k in keys) + "char 6e\n" * SPARE_ANSWERS)
        with open(answers, "wb") as f:
            f.write(b"yyyyyyyyyyyyyyyy\r\n" * 8)
        argv = quillex_argv(build, line, tmp, scenario.option("startup"), (key_file, screen),
                            title[0] if title else None, answers)
    else:
        argv = quillex_argv(build, line, tmp, scenario.option("startup"))
    try:
        p = host.run(build.arch, argv, stdout=target or subprocess.PIPE,
                     stderr=stderr_target(scenario), timeout=90)
    finally:
        if target:
            target.close()
    echoed = None
    if keys:
        shown = open(screen, "rb").read().split(b"\n")[1:] if os.path.exists(screen) else []
        echoed = printable(b"".join(shown))
    return p.returncode, p.stdout or b"", p.stderr or b"", echoed


def without_foreign_windows(stdout, foreign):
    """The output without the lines of the system's own windows (foreign
    maps their titles to their child lines), and the number of questions
    those lines asked."""
    kept, asked, children = [], 0, None
    for l in listing(stdout):
        if l.title is not None and not l.child and l.title in foreign:
            asked += bool(l.question)
            children = foreign[l.title]
        elif not (children and l.child and l.line in children):
            children = None
            kept.append(l.line)
    return b"".join(kept), asked


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


def listed_windows(host, build):
    """The titled top-level windows there are now, in listing order, each
    with the child lines listed under it."""
    p = run_command_line(host, build, "quillex.exe /listwin /listsub", stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, timeout=60)
    windows = []
    for l in listing(p.stdout):
        if l.title is not None and not l.child:
            windows.append((l.title, set()))
        elif windows and l.child:
            windows[-1][1].add(l.line)
    return windows


def run_wine(host, build, scenario, foreign):
    """The scenario's result lines and names, or (None, names) when it
    cannot run safely here."""
    with tempfile.TemporaryDirectory() as tmp:
        with FixtureRun(host, build, scenario.path) as fixture:
            keys = scenario_keys(scenario)
            # A yes (Y, or a key whose classic code is Y, Shift+F6) must
            # reach only the scenario's windows, which must come first.
            if any(k in ("y", "Y") or (k.startswith("<") and "+" in k) for k in keys):
                mine = [title not in foreign for title, _ in listed_windows(host, build)]
                if not all(mine[:max((i + 1 for i, m in enumerate(mine) if m), default=0)]):
                    return None, fixture.names
            fixture.started()
            start = time.time()
            code, stdout, stderr, echoed = run_on_host(host, build, scenario, fixture.names, tmp)
            seconds = time.time() - start
        states, names = fixture.report, fixture.names
    if stdout.startswith(b"["):
        stdout, spare = json_without_foreign_windows(stdout, names), 0
    else:
        stdout, spare = without_foreign_windows(stdout, foreign)
    echo = []
    if keys:
        # The "n" answers to the questions about the system's windows.
        if spare and echoed.endswith("n" * spare):
            echoed = echoed[:len(echoed) - spare]
        echo = ["echo " + echoed]
    lines = ["exit %s" % code] + out_lines(stdout) + out_lines(stderr, "err") + echo + states
    if timed(scenario):
        print("# time %s: quillex ended in %.1f s" % (os.path.basename(scenario.path), seconds))
    late = seconds_check(scenario, seconds)
    return lines + ([late] if late else []), names


def expected_on_host(scenario):
    """The scenario's expectations as Windows shows them: text-mode output,
    the characters echoed on the console, no final line for the console
    (the test's own, gone with the run)."""
    stdout = scenario.expected_stdout().replace(b"\n", b"\r\n")
    stderr = scenario.expected_stdout("err").replace(b"\n", b"\r\n")
    exit_line = [l for l in scenario.expected if l.startswith("exit ")]
    consoles = tuple("final %s " % l.split()[1] for l in window_words(scenario, "console"))
    states = [l for l in scenario.expected if l.startswith(("received ", "final "))
              and not (consoles and l.startswith(consoles))]
    echo = []
    if scenario_keys(scenario):
        chars = [ECHOED_KEY.match(l) for l in scenario.expected]
        echoed = bytes(ord(m.group(1)) if m.group(1) else int(m.group(2), 16)
                       for m in chars if m)
        echo = ["echo " + printable(echoed)]
    return exit_line + out_lines(stdout) + out_lines(stderr, "err") + echo + states


def skip_reason(scenario, build, on_windows):
    reason = scenario.option("windows-skip" if on_windows else "wine-skip")
    if reason:
        return reason
    if on_windows and scenario.option("stdout") == "full":
        return "Windows has no device that is always full"
    # Scenarios of titles outside the ANSI code page are written for one of
    # the two builds: what the other one does there is another scenario.
    wanted, utf8 = scenario.option("build"), build.exe == "quillex-utf8.exe"
    if wanted == "utf-8" and not utf8:
        return "written for quillex-utf8.exe"
    if wanted == "classic" and utf8:
        return "written for the classic quillex.exe"
    if window_words(scenario, "post-fails", lines=("window ", "child ")) or scenario.option("fail"):
        return "a call that fails on purpose is a simulated-only feature"
    if utf8 and window_words(scenario, "hung", "wakes", "stalls", "busy", "ponders", "drops",
                             "saves", "cleans", "asks"):
        # Seconds of waiting beside a window that does not answer, on code
        # that does not touch text.
        return "its waits are the same with quillex.exe, which runs it"
    return None


def replay_on_host(args, build, host, report):
    """The corpus against real windows."""
    foreign = dict([(b"Default IME", set())] + listed_windows(host, build))
    for path, s in load_scenarios(args.paths, report, args.timed):
        name = os.path.basename(path)
        reason = skip_reason(s, build, host.__class__.__name__ == "WindowsHost")
        actual, names = (None, {}) if reason else run_wine(host, build, s, foreign)
        if actual is None:
            report.skip(name, reason or "a window the test did not make comes before the "
                        "scenario's, and a yes must not reach it")
        elif args.update and s.option("native-skip"):
            write_expectations(s, [l.replace("\\r\\n", "\\n") if l.startswith(("out ", "err "))
                                   else l for l in as_names(actual, names)
                                   if not l.startswith("echo ")])
        else:
            compare(report, name, with_names(expected_on_host(s), names), actual)


def load_scenarios(paths, report, only_timed=None):
    """(path, Scenario) for every scenario file of the paths (files, or
    folders of .scn files), those that assert a time alone or none of them
    (only_timed "only" or "none"); a file that is not a scenario is reported
    as a failure."""
    files = []
    for p in paths:
        files += sorted(os.path.join(p, f) for f in os.listdir(p) if f.endswith(".scn")) \
            if os.path.isdir(p) else [p]
    for path in files:
        try:
            s = Scenario(path)
        except ValueError as e:
            report.check(os.path.basename(path), False, e)
            continue
        if only_timed is None or timed(s) == (only_timed == "only"):
            yield path, s


def write_expectations(scenario, lines):
    with open(scenario.path, "w", encoding="latin-1") as f:
        f.write("\n".join(scenario.setup + [""] + lines) + "\n")
    print("# updated %s" % scenario.path)


def replay_natively(args):
    report = Report()
    exe = os.path.abspath(args.exe)
    if args.random_json:
        problems = json_agrees_with_text(exe, args.random_json)
        report.check("JSON and text listings agree on %d random desktops" % args.random_json,
                     not problems, "\n".join(problems[:3]) or None)
        return report.close()
    if args.sweep:
        # A scenario that fails a call of its own is already one of the sweep's runs.
        scenarios = [(p, s) for p, s in load_scenarios(args.paths, report)
                     if not s.option("native-skip") and not s.option("fail")]
        runs, findings = failure_sweep(exe, scenarios)
        report.check("%d scenarios, each platform call failed in turn: %d runs" % (
            len(scenarios), runs), not findings, "\n".join(findings) or None)
        return report.close()
    for path, s in load_scenarios(args.paths, report, args.timed):
        if s.option("native-skip"):
            report.skip(os.path.basename(path), s.option("native-skip"))
            continue
        actual, names = run_native(exe, s)
        if args.update:
            write_expectations(s, as_names(actual, names))
        else:
            compare(report, os.path.basename(path), with_names([l for l in s.expected if l], names),
                    actual)
    return report.close()


def main():
    more = [("--host", dict(choices=("sim", "wine", "windows"), default="sim")),
            ("--exe", dict(default="quillex.exe", help="sim: the native quillex; else the exe "
                                                       "of the build's tool folder")),
            ("--timed", dict(choices=("only", "none"))),
            ("--update", dict(action="store_true", help="rewrite the expectations")),
            ("--random-json", dict(type=int, metavar="N")),
            ("--sweep", dict(action="store_true", help="sim: fail each platform call in turn")),
            ("paths", dict(nargs="*"))]
    host = argparse.ArgumentParser(add_help=False)
    host.add_argument("--host", default="sim")
    if host.parse_known_args()[0].host != "sim":
        return run_suite(replay_on_host, more)
    ap = argparse.ArgumentParser()
    for flag, options in more:
        ap.add_argument(flag, **options)
    return replay_natively(ap.parse_args())


if __name__ == "__main__":
    sys.exit(main())
