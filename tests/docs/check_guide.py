#!/usr/bin/env python3
"""Keeps the user's guide true: every example in it must be one a test runs.

Every fenced block in docs/guide.md must follow a marker line:
- <!-- scenario: NAME --> marks a command example. NAME is a scenario of the
  corpus (tests/scenarios/corpus/NAME.scn), which runs on the simulated
  desktop and under Wine. The example's command must be the scenario's raw
  command line (for PowerShell, the line PowerShell builds from it), its
  output the scenario's standard output (the keys echoed at questions
  included) and its exit code, when shown, the scenario's. A PowerShell
  example holds in every version unless its marker names the versions:
  "(PowerShell 5.1 to 7.2)" or "(PowerShell 7.3 and later)", which pass
  arguments to programs by different rules.
- <!-- batch: NAME --> marks a batch script that tests/wine/guide_batch_test.py
  runs under Wine's cmd.exe; it must know NAME. <!-- batch-output: NAME -->
  marks what that script prints, which that test compares.
- <!-- powershell: NAME --> marks the PowerShell form of batch recipe NAME.
  PowerShell does not run here: every quillex.exe in it must pass its
  command line as written in every version (after --%, or in one string
  to Start-Process -ArgumentList) and pass exactly one the batch recipe
  passes ($title standing for %title%). <!-- powershell-only: NAME --> marks
  a recipe that has no batch form: its calls are checked the same way, but
  for the batch recipe's command lines.
A scenario's {ID} and {pid} stand for what the simulated desktop numbers
them (run_scenarios.sim_names).
Every scenario named guide-* must be shown in the guide.

    check_guide.py docs/guide.md tests/scenarios/corpus
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scenarios"))
sys.path.insert(0, os.path.join(HERE, "..", "wine"))
from run_scenarios import Scenario, sim_names, with_names  # noqa: E402
from suite import Report  # noqa: E402

MARKER = re.compile(r"^<!-- (scenario|batch|batch-output|powershell|powershell-only): ([\w-]+)"
                    r"(?: \((PowerShell 5\.1 to 7\.2|PowerShell 7\.3 and later)\))? -->$")
LEGACY, STANDARD = "PowerShell 5.1 to 7.2", "PowerShell 7.3 and later"
CMD_PROMPT, PS_PROMPT = "C:\\> ", "PS C:\\> "
EXIT_QUERIES = ("echo %errorlevel%", "$LASTEXITCODE")
# Where the PowerShell examples' quillex.exe lies; PowerShell passes its path.
PS_PROGRAM = "C:\\Tools\\quillex.exe"
ENV_SET = re.compile(r"^\$env:(\w+) = '([^']*)'$")
# How the batch recipes and their PowerShell forms call quillex.exe: the
# batch command's text (quillex.exe's or its copy's, %copy%) up to a pipe or
# redirection; after --% up to a pipe; the one string given to
# Start-Process, $title standing for %title%.
BATCH_CALL = re.compile(r"(?:quillex\.exe|%copy%)\"? (.*?)(?: \^?\||'\)| >|$)", re.M)
STOP_PARSING_CALL = re.compile(r"quillex\.exe\"? --% ([^|]*?) *(?:\||$)")
# A line that runs quillex.exe (not one that only names it).
RUNS_QUILLEX = re.compile(r'(?:^|[&(=|;])\s*(?:& |Start-Process )?"?[^"\s]*quillex\.exe\b')
START_PROCESS_CALL = re.compile(
    r'Start-Process (?:"[^"]*\\)?quillex\.exe"? -ArgumentList "((?:[^"`]|`.)*)"')


def blocks(text):
    """(marker kind, name, versions, block lines, line number) for every
    fenced block; kind and name are None for a block without a marker."""
    lines = text.split("\n")
    found, i = [], 0
    while i < len(lines):
        if lines[i].startswith("```"):
            start = i
            i += 1
            while i < len(lines) and not lines[i].startswith("```"):
                i += 1
            m = MARKER.match(lines[start - 1]) if start > 0 else None
            found.append((m.group(1) if m else None, m.group(2) if m else None,
                          m.group(3) if m else None, lines[start + 1:i], start + 1))
        i += 1
    return found


def quote_standard(arg):
    """An argument as PowerShell 7.3 and later pass it: quoted when it is
    empty or holds a blank or a double quote, its double quotes (and the
    backslashes before them) escaped with backslashes."""
    if arg and not re.search(r'[\s"]', arg):
        return arg
    return '"' + re.sub(r'(\\*)("|$)', lambda m: m.group(1) * 2 + ("\\" if m.group(2) else "")
                        + m.group(2), arg) + '"'


def quote_legacy(arg):
    """An argument as Windows PowerShell 5.1 and PowerShell 7.0 to 7.2 pass
    it: left out when empty, quoted when it holds a blank outside double
    quotes, otherwise as it is."""
    if not arg:
        return None
    outside = re.sub(r'"[^"]*("|$)', "", arg)
    return '"%s"' % arg if re.search(r"\s", outside) else arg


def with_environment(text, env):
    """Text after --%, with the environment variables PowerShell puts in."""
    return re.sub(r"%(\w+)%", lambda m: env.get(m.group(1), m.group(0)), text)


def powershell_command_line(command, rule, env=None):
    """The command line PowerShell builds for a native program: its path,
    then each argument by the version's rule; after --% the rest of the line
    as typed, with the variables of env put in."""
    program, _, rest = command.partition(" ")
    args, line = [], PS_PROGRAM
    while rest:
        rest = rest.lstrip(" ")
        if rest.startswith("--%"):
            return line + "".join(" " + a for a in args) + " " + with_environment(
                rest[3:].lstrip(" "), env or {})
        if rest.startswith("'"):
            end = rest.index("'", 1)
            word, rest = rest[1:end], rest[end + 1:]
        else:
            word, _, rest = rest.partition(" ")
        quoted = quote_legacy(word) if rule == LEGACY else quote_standard(word)
        if quoted is not None:
            args.append(quoted)
    return line + "".join(" " + a for a in args)


def shown_output(scenario):
    """Standard output as a console shows it: each key echoed after its
    question, then standard error (the examples write it last), line ends as
    plain line feeds, with the handles the simulated desktop gives."""
    out = (scenario.expected_stdout() + scenario.expected_stdout("err")).decode("latin-1")
    out = with_names([out], sim_names(scenario))[0]
    keys = [m.group(1) for m in (re.match(r"call read_console_key\(\) = '(.)', echoed", l)
                                 for l in scenario.expected) if m]
    pieces = out.split("(y/n):")
    shown = pieces[0]
    for n, piece in enumerate(pieces[1:]):
        shown += "(y/n):" + (keys[n] if n < len(keys) else "") + piece
    return shown.replace("\r\n", "\n")


def check_scenario(name, versions, lines, corpus):
    path = os.path.join(corpus, name + ".scn")
    if not os.path.exists(path):
        return ["no scenario %s" % path]
    s = Scenario(path)
    problems = []
    prompt = PS_PROMPT if lines and lines[0].startswith(PS_PROMPT) else CMD_PROMPT
    if not lines or not lines[0].startswith(prompt):
        return ["the example does not start with a prompt"]
    env = {}
    while prompt == PS_PROMPT and len(lines) > 1 and ENV_SET.match(lines[0][len(prompt):]):
        name, value = ENV_SET.match(lines[0][len(prompt):]).groups()
        env[name] = value
        lines = lines[1:]
    command = lines[0][len(prompt):]
    if prompt == PS_PROMPT:
        lines_by_rule = {r: powershell_command_line(command, r, env) for r in (LEGACY, STANDARD)}
        if versions:
            command = lines_by_rule[versions]
        elif lines_by_rule[LEGACY] != lines_by_rule[STANDARD]:
            return ["PowerShell passes this differently by version (%r, %r): name the versions"
                    % (lines_by_rule[LEGACY], lines_by_rule[STANDARD])]
        else:
            command = lines_by_rule[LEGACY]
    runs = with_names([s.option("cmdline")], sim_names(s))[0]
    if command != runs:
        problems.append("command %r, but the scenario runs %r" % (command, runs))
    output, code = [], None
    for n, line in enumerate(lines[1:], 1):
        if line.startswith(prompt) and line[len(prompt):] in EXIT_QUERIES:
            code = lines[n + 1] if n + 1 < len(lines) else None
            break
        output.append(line)
    shown = "".join(l + "\n" for l in output)
    if shown != shown_output(s):
        problems.append("output %r, but the scenario prints %r" % (shown, shown_output(s)))
    expected_exit = [l[5:] for l in s.expected if l.startswith("exit ")]
    if code is not None and [code] != expected_exit:
        problems.append("exit code %s, but the scenario ends with %s" % (code, expected_exit))
    return problems


def check_powershell(name, lines, batch_scripts):
    """Problems of a PowerShell recipe against its batch recipe (none for
    one without a batch form, batch_scripts None)."""
    if batch_scripts is not None and name not in batch_scripts:
        return ["no batch recipe %s to match" % name]
    batch_calls = set(BATCH_CALL.findall(batch_scripts[name])) if batch_scripts else None
    problems, env_set = [], set()
    for line in lines:
        code = line.split("#")[0]
        env_set.update(re.findall(r"\$env:(\w+) =", code))
        if not RUNS_QUILLEX.search(code):
            continue
        stop, start = STOP_PARSING_CALL.search(code), START_PROCESS_CALL.search(code)
        if stop:
            call = stop.group(1)
            missing = set(re.findall(r"%(\w+)%", call)) - env_set
            if missing:
                problems.append("%r uses %s before it is set" % (line.strip(), sorted(missing)))
        elif start:
            call = re.sub(r"`(.)", r"\1", start.group(1)).replace("$env:title", "%title%")
        else:
            problems.append("%r calls quillex.exe in a way that depends on the PowerShell "
                            "version: use --%% or Start-Process -ArgumentList" % line.strip())
            continue
        if batch_calls is not None and call not in batch_calls:
            problems.append("%r passes %r, which the batch recipe never does" % (
                line.strip(), call))
    return problems


def main():
    guide, corpus = sys.argv[1], sys.argv[2]
    from guide_batch_test import BATCH_CASES  # the cases the batch test knows
    text = open(guide, encoding="utf-8").read()
    report, shown = Report(), set()
    batches, outputs = set(), set()
    found = blocks(text)
    batch_scripts = {name: "\n".join(lines) for kind, name, _, lines, _ in found
                     if kind == "batch"}
    for kind, name, versions, lines, number in found:
        where, problems = "%s:%d: %s %s" % (guide, number, kind or "example", name or ""), []
        if kind is None:
            problems.append("an example without a test marker")
        elif kind == "scenario":
            shown.add(name)
            problems = check_scenario(name, versions, lines, corpus)
        elif kind == "batch":
            batches.add(name)
            if name not in BATCH_CASES:
                problems.append("batch %s is not run by guide_batch_test.py" % name)
        elif kind in ("powershell", "powershell-only"):
            problems = check_powershell(name, lines, batch_scripts if kind == "powershell" else None)
        else:
            outputs.add(name)
        report.check(where.rstrip(), not problems, "; ".join(problems) or None)
    for name in sorted(batches | outputs):
        report.check("batch %s has its script and its output" % name, name in batches & outputs)
    for f in sorted(os.listdir(corpus)):
        if f.startswith("guide-"):
            report.check("%s is shown in the guide" % f, f[:-4] in shown)
    return report.close()


if __name__ == "__main__":
    sys.exit(main())
