#!/usr/bin/env python3
"""Replays the scenario corpus against the native quillex on the simulated
desktop and reports every difference as a diff of the scenario's own lines.

A scenario file holds the desktop (window, child, keys, cmdline lines) and the
expected result: the exit code, the bytes on standard output (out lines, with
C escapes), the platform calls made (call lines), the messages each window
received and the windows' final states (received and final lines).

    run_scenarios.py --exe build/native/tool/quillex tests/scenarios
    run_scenarios.py --exe ... --update FILE...   # rewrite expectations
"""
import argparse
import difflib
import json
import os
import random
import re
import subprocess
import sys
import tempfile

EXPECTATION_KEYS = ("exit", "out", "err", "call", "received", "final")
# What a scenario's desktop and run may say; anything else is a mistake.
SETUP_KEYS = ("window", "child", "cmdline", "keys", "stdout", "titles", "build", "churn",
              "unordered", "wine-skip", "native-skip", "windows-skip", "seconds", "startup")
# A run of calls repeated (a wait that looks again and again) is written
# once, then this line.
REPEATED = "call (the %d calls above, %d times more)"


def escape(data: bytes) -> str:
    out = []
    for b in data:
        c = chr(b)
        if c == "\\":
            out.append("\\\\")
        elif c == "\n":
            out.append("\\n")
        elif c == "\r":
            out.append("\\r")
        elif c == "\t":
            out.append("\\t")
        elif 32 <= b < 127:
            out.append(c)
        else:
            out.append("\\x%02x" % b)
    return "".join(out)


def unescape(text: str) -> bytes:
    out = bytearray()
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            if n == "x":
                out.append(int(text[i + 2:i + 4], 16))
                i += 4
                continue
            out += {"n": b"\n", "r": b"\r", "t": b"\t", "\\": b"\\"}.get(n, n.encode())
            i += 2
            continue
        out += c.encode("latin-1")
        i += 1
    return bytes(out)


def out_lines(stdout: bytes, key="out"):
    """Standard output as out lines (or standard error as err lines), one per
    line the program wrote."""
    lines, start = [], 0
    while start < len(stdout):
        end = stdout.find(b"\n", start)
        end = len(stdout) if end < 0 else end + 1
        lines.append(key + " " + escape(stdout[start:end]))
        start = end
    return lines


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
        for line in self.setup:
            if line.startswith(key + " "):
                return line[len(key) + 1:]
        return None


def load_scenarios(paths):
    """(path, Scenario) for every scenario file of the paths (files, or
    folders of .scn files); a file that is not a scenario gives (path, the
    error) instead, after printing it as a failure."""
    files = []
    for p in paths:
        files += sorted(os.path.join(p, f) for f in os.listdir(p) if f.endswith(".scn")) \
            if os.path.isdir(p) else [p]
    for path in files:
        try:
            yield path, Scenario(path)
        except ValueError as e:
            print("FAIL %s" % e)
            yield path, e


def run_native(exe, scenario):
    """Runs the scenario; returns its result in the scenario's own lines."""
    with tempfile.TemporaryDirectory() as tmp:
        trace_path = os.path.join(tmp, "trace")
        env = dict(os.environ, QUILLEX_SIM_SCENARIO=scenario.path, QUILLEX_SIM_TRACE=trace_path)
        target = stdout_target(scenario)
        try:
            p = subprocess.run([exe], env=env, stdout=target or subprocess.PIPE,
                               stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=20)
            code, stdout, stderr = p.returncode, p.stdout or b"", p.stderr
        except subprocess.TimeoutExpired as e:
            code, stdout, stderr = "timeout", e.stdout or b"", e.stderr or b""
        finally:
            if target:
                target.close()
        trace = []
        if os.path.exists(trace_path):
            with open(trace_path, encoding="latin-1") as f:
                trace = f.read().splitlines()
    lines = ["exit %s" % code] + out_lines(stdout) + out_lines(stderr, "err")
    trailer = ("received ", "final ", "elapsed ", "handle ", "pid ")
    lines += collapse_repeats(["call " + t for t in trace if not t.startswith(trailer)])
    lines += [t for t in trace if t.startswith("received ")]
    lines += [t for t in trace if t.startswith("final ")]
    # The virtual clock, for the scenario's time bounds.
    elapsed = [int(t.split()[1]) for t in trace if t.startswith("elapsed ")]
    late = seconds_check(scenario, (elapsed[0] if elapsed else 0) / 1000.0)
    return lines + ([late] if late else []), host_names(trace)


def host_names(lines):
    """What a scenario's {ID} and {pid} stand for on this host, from its
    "handle ID 0x..." and "pid N" lines."""
    names = {}
    for line in lines:
        words = line.split()
        if len(words) == 3 and words[0] == "handle":
            names["{%s}" % words[1]] = words[2]
        elif len(words) == 2 and words[0] == "pid":
            names["{pid}"] = words[1]
    return names


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
    out = []
    for line in lines:
        for name, value in names.items():
            line = line.replace(name, value)
        out.append(line)
    return out


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
    bounds = scenario.option("seconds")
    if bounds is None:
        return None
    low, high = map(float, bounds.split())
    if low <= seconds <= high:
        return None
    return "ran %.1f s, not %s to %s s" % (seconds, bounds.split()[0], bounds.split()[1])


def compare(name, expected, actual):
    if expected == actual:
        return True
    diff = difflib.unified_diff(expected, actual, "expected", "actual", lineterm="", n=2)
    print("FAIL %s" % name)
    for line in diff:
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


TEXT_LINE = re.compile(r'^"(.*)"( - Iconized| - Maximized)?( - Hidden)?$')


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
            listing = subprocess.run([exe, "/listwin", "/json"], env=env,
                                     stdout=subprocess.PIPE).stdout
            shown = [TEXT_LINE.match(l).groups() for l in text.decode("latin-1").splitlines()]
            objects = [o for o in json.loads(listing) if o["title"]]
            same = len(shown) == len(objects) and all(
                (o["minimized"], o["maximized"] and not o["minimized"], not o["visible"]) ==
                (state == " - Iconized", state == " - Maximized", hidden is not None) and
                (o["title"] == title or len(title) >= 127 or not title.isascii())
                for (title, state, hidden), o in zip(shown, objects))
            if not same:
                problems.append("desktop %d:\n%s\n%s" % (run, open(path).read(), listing))
    return problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--update", action="store_true", help="rewrite the expectations")
    ap.add_argument("--random-json", type=int, metavar="N",
                    help="instead: compare the JSON and text listings of N random desktops")
    ap.add_argument("paths", nargs="*")
    args = ap.parse_args()
    if args.random_json:
        problems = json_agrees_with_text(os.path.abspath(args.exe), args.random_json)
        for p in problems[:5]:
            print("FAIL " + p)
        print("random desktops: %d, JSON and text listings disagree on %d" % (
            args.random_json, len(problems)))
        return 1 if problems else 0

    passed = failed = skipped = 0
    for path, s in load_scenarios(args.paths):
        if isinstance(s, ValueError):
            failed += 1
            continue
        if s.option("native-skip"):
            print("SKIP %s: %s" % (os.path.basename(path), s.option("native-skip")))
            skipped += 1
            continue
        actual, names = run_native(os.path.abspath(args.exe), s)
        if args.update:
            with open(path, "w", encoding="latin-1") as f:
                f.write("\n".join(s.setup + [""] + as_names(actual, names)) + "\n")
            print("updated %s" % path)
            continue
        if compare(os.path.basename(path), with_names([l for l in s.expected if l], names), actual):
            passed += 1
        else:
            failed += 1
    if not args.update:
        print("scenarios: %d passed, %d failed, %d skipped" % (passed, failed, skipped))
    return 1 if failed or not (passed or skipped or args.update) else 0


if __name__ == "__main__":
    sys.exit(main())
