"""Runs quillex.exe under Wine in a real terminal (tmux), where it has a
console, and answers each of its y/n questions as a test decides from the
window's title: the way a user at the keyboard answers them.
"""
import os
import re
import subprocess
import time

from winehost import winpath

QUESTION = re.compile(rb'"(.*)"(?: - Iconized| - Maximized)?(?: - Hidden)?'
                      rb'\. Do (?:Show|Hide)\? \(y/n\):')


def run_answering(host, build, command_line, decide, tmp, seconds=90):
    """Runs quillex.exe with the exact raw command line; decide(title) gives
    "y" or "n" for each question. Returns (exit code, standard output, the
    (title, answer) pairs in order)."""
    cmd_file, out, rc = (os.path.join(tmp, n) for n in ("cmdline", "out", "rc"))
    for path in (out, rc):
        if os.path.exists(path):
            os.unlink(path)
    with open(cmd_file, "wb") as f:
        f.write(command_line.encode("latin-1"))
    session = "quillex-answers%d" % os.getpid()
    # The terminal passes Ctrl+C on as a key; the pane stays until killed.
    shell = "stty -isig; %s '%s' '%s' '%s' > '%s'; echo $? > '%s'; sleep 60" % (
        host.shell_prefix(build.arch), build.launcher, build.quillex, winpath(cmd_file), out, rc)
    subprocess.run(["tmux", "new-session", "-d", "-s", session, "-x", "200", "-y", "50", shell],
                   check=True)
    answers, deadline = [], time.time() + seconds
    try:
        while not os.path.exists(rc) and time.time() < deadline:
            shown = open(out, "rb").read() if os.path.exists(out) else b""
            asked = QUESTION.findall(shown)
            if len(asked) > len(answers):
                time.sleep(0.3)  # let quillex start reading: see KEY_DELAY there
                title = asked[len(answers)].decode("latin-1")
                key = decide(title)
                subprocess.run(["tmux", "send-keys", "-t", session, "-l", key], check=True)
                answers.append((title, key))
            time.sleep(0.05)
        end = time.time() + 2
        while not os.path.exists(rc) and time.time() < end:
            time.sleep(0.05)
    finally:
        subprocess.run(["tmux", "kill-session", "-t", session], stderr=subprocess.DEVNULL)
    code = int(open(rc).read()) if os.path.exists(rc) else "timeout"
    stdout = open(out, "rb").read() if os.path.exists(out) else b""
    return code, stdout, answers
