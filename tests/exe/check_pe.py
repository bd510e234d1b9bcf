#!/usr/bin/env python3
"""Checks intro.exe's PE header without running it: a 32-bit (PE32) GUI
program with WinMain, importing only system DLLs.

  check_pe.py OBJDUMP INTRO_EXE
"""

import subprocess
import sys

ALLOWED = {"user32.dll", "gdi32.dll", "opengl32.dll", "winmm.dll", "kernel32.dll", "msvcrt.dll"}


def main():
    objdump, exe = sys.argv[1], sys.argv[2]
    headers = subprocess.run([objdump, "-p", exe], stdout=subprocess.PIPE, check=True).stdout.decode()
    symbols = subprocess.run([objdump, "-t", exe], stdout=subprocess.PIPE, check=True).stdout.decode()
    failures = []
    fields = {}
    dlls = set()
    for line in headers.splitlines():
        parts = line.split()
        if len(parts) >= 2 and parts[0] in ("Magic", "Subsystem"):
            fields[parts[0]] = parts[1]
        if line.strip().startswith("DLL Name:"):
            dlls.add(line.split(":", 1)[1].strip().lower())
    if fields.get("Magic") != "010b":
        failures.append("not PE32 (Magic %s)" % fields.get("Magic"))
    if fields.get("Subsystem") != "00000002":
        failures.append("not the Windows GUI subsystem (%s)" % fields.get("Subsystem"))
    if not dlls:
        failures.append("no imports found")
    if dlls - ALLOWED:
        failures.append("imports other DLLs: %s" % ", ".join(sorted(dlls - ALLOWED)))
    if "_WinMain@16" not in symbols:
        failures.append("no WinMain")
    for failure in failures:
        print("FAILED:", failure)
    print("imports:", ", ".join(sorted(dlls)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
