#!/usr/bin/env bash
# Plays the intro on Linux through Wine: builds intro.exe if needed, then runs
# it in a scratch folder (it writes an empty dbgout.txt into its working
# folder). On Windows, run intro.exe itself.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
exe="$root/build/windows-cross/host/intro.exe"

if [ ! -f "$exe" ]; then
  echo "play: building intro.exe (preset windows-cross)"
  cmake --preset windows-cross -S "$root" >/dev/null
  cmake --build --preset windows-cross --target intro
fi

if ! command -v wine >/dev/null 2>&1; then
  echo "play: wine is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
if ! wine --version >/dev/null 2>&1; then
  echo "play: wine cannot run 32-bit programs here (this kernel may lack 32-bit support)" >&2
  exit 1
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
WINEDEBUG="${WINEDEBUG:--all}" wine "$exe" || status=$?
if [ "$status" -ne 0 ]; then
  echo "play: intro.exe ended with $status. If message boxes said \"waveOutOpen failed.\" there is no" >&2
  echo "      sound device; if the window stayed black or never opened, the GL driver may lack OpenGL 4.4." >&2
fi
exit "$status"
