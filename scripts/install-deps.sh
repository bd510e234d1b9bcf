#!/usr/bin/env bash
# Installs every Debian package the builds and tests need on a fresh Debian 12
# machine. Safe to run again: apt skips what is already there.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

export DEBIAN_FRONTEND=noninteractive

# Wine's 32-bit loader and the 32-bit Mesa driver come from the i386 archive.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

packages=(
  # native toolchain and test frameworks
  build-essential cmake pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  # headless GL through EGL on Mesa
  libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri libglx-mesa0
  # shader validation
  glslang-tools
  # image, audio and video output
  libpng-dev libsndfile1-dev libfftw3-dev ffmpeg sox
  # the Windows build and running it here
  g++-mingw-w64-i686 wine wine32:i386 libgl1-mesa-dri:i386
  # where the kernel runs no 32-bit programs the tests use a 64-bit build
  g++-mingw-w64-x86-64 wine64
  # a display for the real program
  xvfb xdotool x11-utils
  # the release build: the shader minifier (Python) and the size table (xz)
  python3 xz-utils
  # the native viewer: window, GL context, input and sound; its overlay
  # (the Debian build of Dear ImGui carries the SDL2 and OpenGL 3 backends)
  libsdl2-dev libimgui-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
