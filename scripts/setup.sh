#!/usr/bin/env bash
# Installs every Debian package the project needs: the mingw-w64 cross
# compilers, Wine for both bitnesses (i386 architecture included), CMake and
# Ninja, GoogleTest's sources, jxrlib's tools and library, and what the dialog
# screenshots need (Xvfb, fonts). Idempotent; quiet when everything is present.
set -euo pipefail

packages=(
  cmake ninja-build
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  googletest
  wine wine32:i386 wine64
  libjxr-tools libjxr-dev
  gcc g++ python3 zip
  xvfb xauth fonts-ipafont-gothic fonts-wine x11-apps imagemagick
)

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
else
  sudo=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
