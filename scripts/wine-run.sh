#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's prefix (WINEPREFIX must be
# set; CMake passes it). Dialogs use Wine's null display driver unless
# RORURERA_KEEP_DISPLAY is set, so that runs do not depend on an X server.
set -u
. "$(dirname "$0")/wine-loader.sh"
: "${WINEPREFIX:?WINEPREFIX must name the project prefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -z "${RORURERA_KEEP_DISPLAY:-}" ]; then
  unset DISPLAY
fi
exec "$wine" "$@"
