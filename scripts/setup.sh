#!/usr/bin/env bash
# Installs every Debian package the project needs: the mingw-w64 cross
# compilers, Wine for both bitnesses (i386 architecture included), CMake and
# Ninja, GoogleTest's sources, jxrlib's tools and library, and what the dialog
# screenshots need (Xvfb, fonts); generates the Japanese UTF-8 locale (Wine
# takes its ANSI code page, 932 for Japanese, from it). Idempotent; quiet when
# everything is present.
#
# A package mirror caught mid-sync can serve an index whose size does not
# match its Release file: apt-get update then exits 100 for that index alone.
# The update is retried a few times with a pause and the install goes on with
# whatever indexes did arrive; if the install then fails (typically the i386
# side unable to follow security updates that the amd64 side would take), it
# is tried once more with the main suite's candidates for both architectures.
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
update_tries=${RORURERA_APT_TRIES:-4}
update_pause=${RORURERA_APT_PAUSE:-15}

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

# apt-get update, retried while some index fails. Succeeds when at least one
# try fetched the lists without error, or when the lists that did arrive are
# usable (the packages' candidates are known); says which.
update_package_lists() {
  local try log
  log=$(mktemp)
  for ((try = 1; try <= update_tries; try++)); do
    if "${sudo[@]}" apt-get update -qq >"$log" 2>&1; then
      rm -f "$log"
      return 0
    fi
    echo "setup: apt-get update failed (try $try of $update_tries):"
    grep -E '^(E|W):' "$log" | head -n 5 | sed 's/^/setup:   /'
    if ((try < update_tries)); then sleep "$update_pause"; fi
  done
  rm -f "$log"
  local policy
  policy=$(apt-cache policy wine 2>/dev/null || true)
  if [[ $policy == *"Candidate: "[0-9]* ]]; then
    echo "setup: going on with the package lists that did arrive"
    return 0
  fi
  echo "setup: the package lists could not be fetched; check the network or the mirror and run again" >&2
  return 1
}

install_packages() {
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >/dev/null
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
update_package_lists
if ! install_packages; then
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  echo "setup: the install failed; trying once more with the candidates of the main suite ($suite) for both architectures"
  if ! install_packages -t "$suite"; then
    echo "setup: the packages could not be installed (see apt-get's messages above); the mirror may be mid-sync: wait and run again" >&2
    exit 1
  fi
fi
ensure_japanese_locale
echo "setup: done"
