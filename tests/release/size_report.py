#!/usr/bin/env python3
"""Sizes of the intro's shader and programs, raw and compressed.

  size_report.py table --readable FRAG --minified FRAG --debug-exe EXE --release-exe EXE
  size_report.py budget EXE LIMIT

`table` prints a Markdown table of each file's bytes and its size after
`xz -9e` (a stand-in for an executable packer). `budget` fails when EXE is
not smaller than LIMIT bytes.
"""

import argparse
import os
import shutil
import subprocess
import sys


def xz_size(path):
    with open(path, "rb") as source:
        result = subprocess.run(["xz", "-9e", "--format=xz", "--stdout"], stdin=source,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if result.returncode != 0:
        raise RuntimeError("xz failed on %s: %s" % (path, result.stderr.decode().strip()))
    return len(result.stdout)


def table(args):
    if not shutil.which("xz"):
        sys.stderr.write("size_report: xz not found (Debian package xz-utils)\n")
        return 1
    rows = [("readable shader", args.readable), ("minified shader", args.minified),
            ("intro.exe (debug)", args.debug_exe), ("intro-release.exe", args.release_exe)]
    missing = [path for _, path in rows if not os.path.isfile(path)]
    if missing:
        sys.stderr.write("size_report: missing %s (build first)\n" % ", ".join(missing))
        return 1
    print("| file | bytes | xz -9e bytes |")
    print("|---|---:|---:|")
    for label, path in rows:
        print("| %s | %s | %s |" % (label, format(os.path.getsize(path), ","), format(xz_size(path), ",")))
    return 0


def budget(args):
    if not os.path.isfile(args.exe):
        print("FAILED: %s missing" % args.exe)
        return 1
    size = os.path.getsize(args.exe)
    print("%s: %d bytes, budget below %d" % (args.exe, size, args.limit))
    if size >= args.limit:
        print("FAILED: over the size budget by %d bytes" % (size - args.limit + 1))
        return 1
    return 0


def main():
    parser = argparse.ArgumentParser(description="Sizes of the intro's shader and programs.")
    commands = parser.add_subparsers(dest="command", required=True)
    t = commands.add_parser("table", help="print the size table")
    t.add_argument("--readable", required=True)
    t.add_argument("--minified", required=True)
    t.add_argument("--debug-exe", required=True)
    t.add_argument("--release-exe", required=True)
    b = commands.add_parser("budget", help="fail when EXE is not below LIMIT bytes")
    b.add_argument("exe")
    b.add_argument("limit", type=int)
    args = parser.parse_args()
    return table(args) if args.command == "table" else budget(args)


if __name__ == "__main__":
    sys.exit(main())
