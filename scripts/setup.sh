#!/usr/bin/env bash
# Installs every Debian package the project needs: the mingw-w64 cross
# compilers, Wine for both bitnesses (i386 architecture included), CMake and
# Ninja, GoogleTest's sources, jxrlib's tools and library, and what the dialog
# screenshots need (Xvfb, fonts), what the colour fixtures need (ICC profiles,
# Pillow, Little CMS's tools); generates the Japanese UTF-8 locale (Wine takes
# its ANSI code page, 932 for Japanese, from it); fetches Little CMS 2's
# source from Debian's source package into build/third_party/lcms2 (see
# fetch_lcms2_source below). Idempotent; quiet when everything is present.
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
  dpkg-dev
  python3-pil colord-data icc-profiles-free libgs-common liblcms2-utils
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

# Little CMS 2 from Debian's source package of the main suite, unpacked
# (Debian's patches applied) into build/third_party/lcms2; CMake builds it
# from there (RORURERA_LCMS2_DIR). Nothing of it is kept in the repository.
# The deb-src entry goes into a sources list of our own, with package lists
# and a cache of our own under build/third_party/apt, so the machine's apt
# configuration is not touched; its URI (and Signed-By) are those of the
# machine's binary entry for the main suite. apt checks the downloaded files
# against the signed index; dpkg-source (dpkg-dev) unpacks them. Both steps
# are retried like the package lists above.
root=$(cd "$(dirname "$0")/.." && pwd)
lcms2_dir=$root/build/third_party/lcms2
lcms2_work=$root/build/third_party/apt

# "URI SIGNED-BY" of the machine's binary entry for suite $1 (SIGNED-BY "-"
# when it has none), from sources.list.d/*.sources or the one-line lists.
main_suite_entry() {
  local suite=$1 f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v suite="$suite" '
      function flush() {
        if (deb && has_suite && uri != "") { print uri, (key == "" ? "-" : key); found = 1; exit }
        deb = 0; has_suite = 0; uri = ""; key = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^Types:/ { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) has_suite = 1 }
      /^URIs:/ { uri = $2 }
      /^Signed-By: *\// { key = $2 }
      /^Enabled: *no/ { deb = 0 }
      END { if (!found) flush() }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v suite="$suite" '
      $1 != "deb" { next }
      { key = "-"; i = 2
        if ($2 ~ /^\[/) {
          for (; i <= NF; i++) {
            if ($i ~ /^\[?signed-by=/) { key = $i; sub(/^\[?signed-by=/, "", key); sub(/\]$/, "", key) }
            if ($i ~ /\]$/) { i++; break }
          }
        }
        if ($(i + 1) == suite) { print $i, key; exit } }' "$f"
  done
}

apt_own() {
  apt-get -qq -o Dir::Etc::SourceList="$lcms2_work/sources.list" -o Dir::Etc::SourceParts=- \
    -o Dir::State::Lists="$lcms2_work/lists" -o Dir::Cache="$lcms2_work/cache" \
    -o APT::Sandbox::User="$(id -un)" "$@"
}

fetch_lcms2_source() {
  if [ -f "$lcms2_dir/.unpacked" ]; then return 0; fi
  local suite entry uri key try log dsc
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  entry=$(main_suite_entry "$suite" | head -n 1)
  if [ -z "$entry" ]; then
    echo "setup: no binary package entry for the main suite ($suite) in /etc/apt/sources.list or sources.list.d; cannot fetch Little CMS 2's source package" >&2
    return 1
  fi
  uri=${entry% *}
  key=${entry##* }
  echo "setup: fetching Little CMS 2's source package (lcms2, $suite) into build/third_party"
  rm -rf "$lcms2_work" "$lcms2_dir.tmp"
  mkdir -p "$lcms2_work/lists/partial" "$lcms2_work/cache/archives/partial" "$lcms2_work/download"
  if [ "$key" = - ]; then
    echo "deb-src $uri $suite main" >"$lcms2_work/sources.list"
  else
    echo "deb-src [signed-by=$key] $uri $suite main" >"$lcms2_work/sources.list"
  fi
  log=$lcms2_work/log
  for ((try = 1; try <= update_tries; try++)); do
    if apt_own update >"$log" 2>&1 &&
      (cd "$lcms2_work/download" && apt_own source --download-only lcms2) >>"$log" 2>&1; then
      break
    fi
    echo "setup: fetching lcms2's source failed (try $try of $update_tries):"
    grep -E '^(E|W):' "$log" | head -n 5 | sed 's/^/setup:   /'
    if ((try == update_tries)); then
      echo "setup: Little CMS 2's source package could not be fetched from the main suite's mirror; the build needs it (build/third_party/lcms2): check the network or the mirror and run again" >&2
      return 1
    fi
    sleep "$update_pause"
  done
  dsc=$(ls "$lcms2_work"/download/lcms2_*.dsc 2>/dev/null | head -n 1 || true)
  if [ -z "$dsc" ] || ! dpkg-source --no-copy -x "$dsc" "$lcms2_dir.tmp" >>"$log" 2>&1; then
    echo "setup: Little CMS 2's source package could not be unpacked (see $log)" >&2
    return 1
  fi
  rm -rf "$lcms2_dir"
  mv "$lcms2_dir.tmp" "$lcms2_dir"
  basename "$dsc" .dsc >"$lcms2_dir/.unpacked"
  rm -rf "$lcms2_work/download"
}

if [ ${#missing[@]} -eq 0 ]; then
  ensure_japanese_locale
  fetch_lcms2_source
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
fetch_lcms2_source
echo "setup: done"
