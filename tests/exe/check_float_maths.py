#!/usr/bin/env python3
"""Checks that the 32-bit intro does its single-precision maths in SSE
registers, not on the x87 stack: x87 keeps intermediates in 80 bits, so the
status line's rates and average (and the frame time) would not be rounded to
float at each step.

  check_float_maths.py OBJDUMP INTRO.EXE

Disassembles the functions that compute those values and fails if any x87
instruction appears in them, or if they hold no scalar SSE arithmetic.
"""

import re
import subprocess
import sys

# The functions whose float arithmetic the program's output depends on.
FUNCTIONS = ["debug_status_update", "intro_frame"]

# x87 mnemonics all start with f (fld, fstp, fild, fdiv, fmul, faddp, fxch,
# fucomi, fnstcw, ...); no integer or SSE mnemonic does.
X87 = re.compile(r"^f[a-z0-9]*$")
SSE_SCALAR = {"divss", "mulss", "addss", "subss", "cvtsi2ss", "cvtss2sd"}


def disassembly(objdump, exe):
    out = subprocess.run([objdump, "-d", "--no-show-raw-insn", exe], capture_output=True, text=True, check=True)
    functions, current = {}, None
    for line in out.stdout.splitlines():
        header = re.match(r"^[0-9a-f]+ <(.+)>:$", line)
        if header:
            current = header.group(1)
            functions[current] = []
        elif current and "\t" in line:
            fields = line.split("\t")
            if len(fields) >= 2 and fields[1].strip():
                functions[current].append(fields[1].split()[0])
    return functions


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    functions = disassembly(sys.argv[1], sys.argv[2])
    failures = []
    for name in FUNCTIONS:
        # C++ names are decorated (__Z19debug_status_updatef): match the plain name inside.
        matches = [f for f in functions if re.search(rf"\d{name}[a-z]*$|^_?{name}$", f)]
        if not matches:
            failures.append(f"{name}: not found in the disassembly (symbols stripped?)")
            continue
        mnemonics = [m for f in matches for m in functions[f]]
        x87 = sorted({m for m in mnemonics if X87.match(m)})
        sse = sorted({m for m in mnemonics if m in SSE_SCALAR})
        if x87:
            failures.append(f"{name}: x87 instructions {', '.join(x87)}")
        if not sse:
            failures.append(f"{name}: no scalar SSE arithmetic")
        print(f"{name}: {len(mnemonics)} instructions, SSE scalar ops {', '.join(sse) or 'none'}, x87 {', '.join(x87) or 'none'}")
    for f in failures:
        print(f"FAIL {f}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
