#!/usr/bin/env bash
# Installs the tools of one purpose from Debian's packages, and any packages named after it;
# does nothing when they are all there. Usage: scripts/install-deps.sh [build|run|release|test] [package...]
#   build    cross-compiling the binaries and the tests
#   run      build, and Wine on a private X server to start Vimlet.exe
#   release  build, and the converter that makes the guides' HTML pages for the zip
#   test     everything: run, release, the test and benchmark tools, the Japanese locale (default)
set -euo pipefail

build=(
  cmake ninja-build
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  googletest
  python3
)
run=(
  wine wine64
  xvfb
  fonts-ipafont-gothic fonts-wine
)
release=(
  pandoc
)
test=(
  xdotool x11-utils
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  imagemagick
  locales
  gnuplot-nox xbanish libx11-dev libxtst-dev gcc
  faketime
)

purpose=test
case "${1:-}" in build | run | release | test) purpose=$1; shift ;; esac
case $purpose in
  build) packages=("${build[@]}") ;;
  run) packages=("${build[@]}" "${run[@]}") ;;
  release) packages=("${build[@]}" "${release[@]}") ;;
  test) packages=("${build[@]}" "${run[@]}" "${release[@]}" "${test[@]}") ;;
esac
packages+=("$@")

sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo

# The Japanese-system tests run Wine with LANG=ja_JP.UTF-8 (code page 932).
ensure_japanese_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8' && return 0
  echo "making the ja_JP.UTF-8 locale"
  $sudo localedef -i ja_JP -c -f UTF-8 -A /usr/share/locale/locale.alias ja_JP.UTF-8
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  # Another install may hold the package lock: wait for it rather than fail.
  apt=(apt-get -o DPkg::Lock::Timeout=600)
  $sudo "${apt[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive $sudo "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ "$purpose" = test ]; then ensure_japanese_locale; fi
