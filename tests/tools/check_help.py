#!/usr/bin/env python3
"""Checks that a command answers --help: exit status 0, a usage line on
standard output naming the program, nothing on standard error, and no work
done (it returns within seconds, without a GL context or output files).

  check_help.py NAME PROGRAM [ARGS...]
"""

import subprocess
import sys


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    name, command = sys.argv[1], sys.argv[2:]
    result = subprocess.run(command, capture_output=True, text=True, timeout=30)
    problems = []
    if result.returncode != 0:
        problems.append(f"exit status {result.returncode}, expected 0")
    if not result.stdout.startswith(f"usage: {name}"):
        problems.append(f"standard output does not start with 'usage: {name}'")
    if result.stderr:
        problems.append("it wrote to standard error")
    if problems:
        print(f"{' '.join(command)}:")
        for p in problems:
            print(f"  {p}")
        print(f"--- stdout ---\n{result.stdout}--- stderr ---\n{result.stderr}")
        return 1
    print(result.stdout, end="")
    return 0


if __name__ == "__main__":
    sys.exit(main())
