#!/usr/bin/env bash
# Prepares and serves the project's Wine prefix (one per checkout, shared by
# both bitnesses).
#   wine-prefix.sh start PREFIX   create the prefix if needed, start a persistent wineserver
#   wine-prefix.sh stop PREFIX    stop that prefix's wineserver
# The server stays up while programs run and for 30 s after the last one
# ends, so both test runs of a checkout share it. "stop" ends it at once under
# CI (or with RORURERA_STOP_WINESERVER=1); on a developer's machine, where
# several test runs may share the prefix, it is left to end by itself rather
# than killing programs of another run.
# Wine and its server get /dev/null for all standard streams: a server that
# inherits CTest's output pipe keeps CTest waiting for good.
set -eu
. "$(dirname "$0")/common.sh"
action=${1:?start or stop}
prefix=${2:?prefix folder}
wine_environment "$prefix"
unset DISPLAY

# Settings the tests rely on: dialogs without a display (null driver), Japanese
# dialog text, and no debugger started for a crashing test program.
settings_version=1
write_settings() {
  local reg="$prefix/rorurera-settings.reg"
  cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="x11,null"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="IPAPGothic"

[-HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]

[-HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug]
REG
  "$wine" regedit /S "$reg" </dev/null >/dev/null 2>&1
}

case "$action" in
start)
  mkdir -p "$prefix"
  if [ ! -f "$prefix/system.reg" ]; then
    "$wine" wineboot -i </dev/null >/dev/null 2>&1
  fi
  if [ "$(cat "$prefix/rorurera-settings" 2>/dev/null)" != "$settings_version" ]; then
    write_settings
    wineserver -w </dev/null >/dev/null 2>&1
    echo "$settings_version" >"$prefix/rorurera-settings"
  fi
  # Fails harmlessly when a server for this prefix is running already.
  wineserver -p30 </dev/null >/dev/null 2>&1 || true
  # The persistent server is up once a trivial program runs.
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
  ;;
stop)
  if [ -d "$prefix" ] && { [ "${CI:-}" = true ] || [ -n "${RORURERA_STOP_WINESERVER:-}" ]; }; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
  fi
  ;;
*)
  echo "usage: $0 start|stop PREFIX" >&2
  exit 2
  ;;
esac
