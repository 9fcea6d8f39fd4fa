#!/usr/bin/env bash
# Installs every Debian package the project needs: the mingw-w64 cross
# compilers, Wine for both bitnesses (i386 architecture included), CMake and
# Ninja, GoogleTest's sources, jxrlib's tools and library, and what the dialog
# screenshots need (Xvfb, fonts); generates the Japanese UTF-8 locale (Wine
# takes its ANSI code page, 932 for Japanese, from it). Idempotent; quiet when
# everything is present.
set -euo pipefail

packages=(
  cmake ninja-build
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  googletest
  wine wine32:i386 wine64
  libjxr-tools libjxr-dev
  gcc g++ python3 zip locales
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
ensure_japanese_locale() {
  if locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then return 0; fi
  echo "setup: generating the ja_JP.UTF-8 locale"
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo[@]}" locale-gen >/dev/null
}

if [ ${#missing[@]} -eq 0 ]; then
  ensure_japanese_locale
  exit 0
fi

echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
ensure_japanese_locale
echo "setup: done"
