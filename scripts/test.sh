#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test: installs the
# packages, builds the Linux tools and the cross-compiled intro.exe in one
# CMake build, then runs the whole CTest suite (headless GL on Mesa, the
# host logic and the real intro.exe under Wine and Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."

start=$(date +%s)
scripts/install-deps.sh
cmake --preset linux
cmake --build --preset linux
ctest --preset linux "$@"
echo "test.sh: finished in $(( $(date +%s) - start )) s"
