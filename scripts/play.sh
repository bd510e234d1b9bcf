#!/usr/bin/env bash
# Plays the intro on Linux through Wine: builds intro.exe if needed, then runs
# it in a scratch folder (it writes an empty dbgout.txt into its working
# folder). On Windows, run intro.exe itself.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

if ! command -v wine >/dev/null 2>&1; then
  echo "play: wine is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
# The intro is a 32-bit program. Where this kernel runs no 32-bit programs,
# 32-bit Wine cannot start, and the 64-bit build of the same host code is
# played under wine64 instead.
loader=wine
preset=windows-cross
if ! wine --version >/dev/null 2>&1; then
  if [ -x /usr/lib/wine/wine64 ] && /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
    echo "play: this machine cannot run 32-bit programs; playing the 64-bit build under wine64"
    loader=/usr/lib/wine/wine64
    preset=windows64-cross
  else
    echo "play: wine cannot run 32-bit programs here (this kernel may lack 32-bit support) and wine64 is missing" >&2
    exit 1
  fi
fi
exe="$root/build/$preset/host/intro.exe"

if [ ! -f "$exe" ]; then
  echo "play: building intro.exe (preset $preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target intro
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "play: no display (\$DISPLAY is unset); run this from a desktop session" >&2
  exit 1
fi
if command -v glxinfo >/dev/null 2>&1; then
  version="$(glxinfo 2>/dev/null | sed -n 's/^OpenGL version string: \([0-9]*\)\.\([0-9]*\).*/\1\2/p' | head -n1)"
  if [ -n "$version" ] && [ "$version" -lt 44 ]; then
    echo "play: the GL driver offers OpenGL ${version:0:1}.${version:1}; the intro needs 4.4 or later" >&2
    exit 1
  fi
fi

workdir="$(mktemp -d)"
trap 'rm -rf "$workdir"' EXIT
cd "$workdir"
echo "play: starting the intro; Escape or closing the window ends it"
status=0
WINEDEBUG="${WINEDEBUG:--all}" "$loader" "$exe" || status=$?
if [ "$status" -ne 0 ]; then
  echo "play: intro.exe ended with $status. If message boxes said \"waveOutOpen failed.\" there is no" >&2
  echo "      sound device; if the window stayed black or never opened, the GL driver may lack OpenGL 4.4." >&2
fi
exit "$status"
