#!/usr/bin/env python3
"""Checks intro-release.exe's PE header without running it: a GUI program
of the expected width (PE32 for the intro, PE32+ for the 64-bit test twin),
importing only the five system DLLs it calls (no C runtime DLL), with no
symbol table left and the entry point inside its code section.

  check_release_pe.py OBJDUMP EXE pe32|pe32+
"""

import re
import subprocess
import sys

ALLOWED = {"user32.dll", "gdi32.dll", "opengl32.dll", "winmm.dll", "kernel32.dll"}
MAGIC = {"pe32": "010b", "pe32+": "020b"}


def main():
    if len(sys.argv) != 4 or sys.argv[3] not in MAGIC:
        print(__doc__)
        return 2
    objdump, exe, kind = sys.argv[1:]
    headers = subprocess.run([objdump, "-p", exe], stdout=subprocess.PIPE, check=True).stdout.decode()
    sections = subprocess.run([objdump, "-h", exe], stdout=subprocess.PIPE, check=True).stdout.decode()
    symbols = subprocess.run([objdump, "-t", exe], stdout=subprocess.PIPE, check=True).stdout.decode()
    failures = []
    fields = {}
    dlls = set()
    for line in headers.splitlines():
        parts = line.split()
        if len(parts) >= 2 and parts[0] in ("Magic", "Subsystem", "AddressOfEntryPoint", "ImageBase"):
            fields[parts[0]] = parts[1]
        if line.strip().startswith("DLL Name:"):
            dlls.add(line.split(":", 1)[1].strip().lower())
    if fields.get("Magic") != MAGIC[kind]:
        failures.append("not %s (Magic %s)" % (kind.upper(), fields.get("Magic")))
    if fields.get("Subsystem") != "00000002":
        failures.append("not the Windows GUI subsystem (%s)" % fields.get("Subsystem"))
    if not dlls:
        failures.append("no imports found")
    if dlls - ALLOWED:
        failures.append("imports other DLLs: %s" % ", ".join(sorted(dlls - ALLOWED)))
    if re.search(r"^\[\s*\d+\]", symbols, re.M):
        failures.append("symbol table not stripped")
    entry = int(fields.get("AddressOfEntryPoint", "0"), 16) + int(fields.get("ImageBase", "0"), 16)
    text = re.search(r"^\s*\d+\s+\.text\s+([0-9a-f]+)\s+([0-9a-f]+)", sections, re.M)
    if not text:
        failures.append("no .text section")
    else:
        size, start = int(text.group(1), 16), int(text.group(2), 16)
        if not start <= entry < start + size:
            failures.append("entry point %x outside .text" % entry)
    for failure in failures:
        print("FAILED:", failure)
    print("imports:", ", ".join(sorted(dlls)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
