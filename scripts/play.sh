#!/usr/bin/env bash
# Plays the intro on Linux. By default in the native viewer (intro-view:
# the intro's own shader and frame in an SDL2 window, with pause, seeking,
# cut keys and live editing); with --wine the Windows program itself through
# Wine. Installs what it needs and builds what is missing first. Other
# arguments go to the viewer (intro-view --help lists them) or, with --wine,
# are refused. On Windows, run intro.exe itself.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

wine_mode=0
if [ "${1:-}" = "--wine" ]; then
  wine_mode=1
  shift
fi
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
  echo
  echo "usage: scripts/play.sh [VIEWER OPTIONS]   or   scripts/play.sh --wine"
  exit 0
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "play: no display (\$DISPLAY is unset); run this from a desktop session" >&2
  exit 1
fi

# Packages first, as scripts/test.sh does; apt skips what is already there.
scripts/install-deps.sh

if [ "$wine_mode" -eq 0 ]; then
  viewer="$root/build/linux/tools/view/intro-view"
  if [ ! -f build/linux/CMakeCache.txt ]; then
    echo "play: configuring the linux build"
    cmake --preset linux >/dev/null
  fi
  echo "play: building intro-view"
  cmake --build --preset linux --target intro-view >/dev/null
  echo "play: starting the viewer; Space pauses, Escape or Q ends it (intro-view --help lists the keys)"
  exec "$viewer" "$@"
fi

if [ "$#" -gt 0 ]; then
  echo "play: the Windows program takes no options (got: $*)" >&2
  exit 2
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
