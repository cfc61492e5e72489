#!/usr/bin/env python3
"""Runs a checker on input made to fail it, and passes only when the checker
both ends with the exit code given and prints what it should: a checker that
reported the failure but exited 0 would let every broken input through.

    fails_as_expected.py EXIT_CODE PATTERN COMMAND [ARGUMENT...]
"""
import re
import subprocess
import sys


def main():
    code, pattern, command = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
    p = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    output = p.stdout.decode("utf-8", "replace")
    print(output, end="")
    if p.returncode != code:
        print("expected exit code %d, got %d" % (code, p.returncode))
        return 1
    if not re.search(pattern, output, re.S):
        print("expected the output to match %r" % pattern)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
