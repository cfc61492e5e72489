"""Runs Windows programs under Wine in a real terminal (tmux), where they
have a console: quillex.exe with its y/n questions answered as a test
decides, as a person types at a terminal, or any command whose screen a
test reads. (The corpus's keys go through the console's input buffer
instead: starter.exe --keys.)
"""
import itertools
import os
import subprocess
import time

from suite import listing
from winehost import WineError, winpath


def questions(shown):
    """The titles of the windows asked about in output or on a screen."""
    return [l.title for l in listing(shown) if l.question]


# A key sent the moment its question shows may reach the console before
# quillex has turned the console's own echo off, and then shows twice:
# give it time to start reading first.
KEY_DELAY = 0.3
_terminals = itertools.count()


def in_terminal(shell, finished, react=None, seconds=90):
    """Runs the shell command line in a tmux pane, which stays open after it
    ends. Until the file `finished` exists, calls react(send, pane) every
    50 ms, where send(*keys) types tmux keys into the pane and pane() reads
    what it shows. Returns the pane's text; raises WineError when the
    command has not finished within the seconds."""
    session = "quillex-terminal%d-%d" % (os.getpid(), next(_terminals))
    # A server of this run's own: another one's (the user's, or outside the
    # namespace a 32-bit run lives in) would start the command there.
    tmux = ["tmux", "-L", session]
    started = subprocess.run(tmux + ["new-session", "-d", "-s", session, "-x", "200", "-y", "50",
                                     shell + "; sleep 60"], stderr=subprocess.PIPE)
    if started.returncode != 0:
        raise WineError("tmux could not start a terminal: %s" % started.stderr.decode(
            "utf-8", "replace").strip())

    def send(*keys):
        subprocess.run(tmux + ["send-keys", "-t", session] + list(keys), check=True)

    def pane():
        return subprocess.run(tmux + ["capture-pane", "-p", "-t", session],
                              stdout=subprocess.PIPE).stdout

    try:
        deadline = time.time() + seconds
        while not os.path.exists(finished) and time.time() < deadline:
            if react:
                react(send, pane)
            time.sleep(0.05)
        if not os.path.exists(finished):
            raise WineError("a terminal run did not finish within %d s: %s\n%s" % (
                seconds, shell, pane().decode("utf-8", "replace").rstrip()))
        return pane()
    finally:
        subprocess.run(tmux + ["kill-server"], stderr=subprocess.DEVNULL)


def quillex_in_terminal(host, build, command_line, react, tmp):
    """Runs quillex.exe through the starter with the exact raw command line,
    its standard output to a file; react(output so far, send) is called as
    it runs. Returns (exit code or "timeout", standard output, pane text)."""
    cmd_file, out, rc = (os.path.join(tmp, n) for n in ("cmdline", "out", "rc"))
    for path in (out, rc):
        if os.path.exists(path):
            os.unlink(path)
    with open(cmd_file, "wb") as f:
        f.write(command_line.encode("latin-1"))
    # The terminal passes Ctrl+C on as a key instead of a signal.
    # The exit code appears in one step, once the output is complete.
    shell = "stty -isig; %s '%s' '%s' '%s' > '%s'; echo $? > '%s.part'; mv '%s.part' '%s'" % (
        host.shell_prefix(build.arch), build.starter, build.quillex, winpath(cmd_file), out, rc,
        rc, rc)

    def read(path):
        return open(path, "rb").read() if os.path.exists(path) else b""

    pane = in_terminal(shell, rc, lambda send, _: react(read(out), send))
    code = read(rc).strip()
    return (int(code) if code else "timeout"), read(out), pane


def run_answering(host, build, command_line, decide, tmp):
    """Runs quillex.exe in a terminal; decide(title) gives "y" or "n" for each
    question. Returns (exit code, standard output, the (title, answer) pairs
    in order)."""
    answers = []

    def react(shown, send):
        asked = questions(shown)
        if len(asked) > len(answers):
            time.sleep(KEY_DELAY)
            title = asked[len(answers)].decode("latin-1")
            answers.append((title, decide(title)))
            send("-l", answers[-1][1])

    code, stdout, _ = quillex_in_terminal(host, build, command_line, react, tmp)
    return code, stdout, answers
