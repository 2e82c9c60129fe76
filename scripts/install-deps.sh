#!/usr/bin/env bash
# Installs the build and test tools from Debian's packages, and any packages named as arguments,
# and makes the Japanese locale available; does nothing when they are all there.
set -euo pipefail

packages=(
  cmake ninja-build
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  googletest
  wine wine64
  xvfb xdotool x11-utils
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  fonts-ipafont-gothic fonts-wine
  imagemagick
  python3 locales
  gnuplot-nox xbanish libx11-dev libxtst-dev gcc
  faketime
  "$@"
)

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
ensure_japanese_locale
