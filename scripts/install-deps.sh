#!/usr/bin/env bash
# Installs the build and test tools from Debian's packages, and any packages named as arguments;
# does nothing when they are all there.
set -euo pipefail

packages=(
  cmake ninja-build
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  googletest
  wine wine64
  xvfb xdotool x11-utils
  fonts-ipafont-gothic fonts-wine
  imagemagick
  python3
  gnuplot-nox xbanish libx11-dev libxtst-dev gcc
  faketime
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
# Another install may hold the package lock: wait for it rather than fail.
apt=(apt-get -o DPkg::Lock::Timeout=600)
$sudo "${apt[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
