#!/usr/bin/env bash
# Builds the two shipped binaries and packs the release zip into $build/release, printing its
# path and SHA-256. Two runs from one commit give the same bytes. Usage: scripts/release.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIMLET_BUILD_DIR:-$root/build}

# The build talks on stderr: the zip's path and SHA-256 are the output.
"$root/scripts/install-deps.sh" release >&2
"$root/scripts/build.sh" Vimlet vimlet >&2
python3 "$root/scripts/make-release-zip.py" "$root" "$build/bin" "$build/release"
