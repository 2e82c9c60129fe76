#!/usr/bin/env bash
# Installs the build tools that are missing, configures and builds. Usage: scripts/build.sh [target...]
# The build folder is $VIMLET_BUILD_DIR, or build/ in the repository.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIMLET_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh" build
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  --no-warn-unused-cli >/dev/null
cmake --build "$build" ${1:+--target "$@"}
