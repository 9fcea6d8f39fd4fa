#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's prefix (WINEPREFIX must be
# set; CMake passes it). Dialogs use Wine's null display driver unless
# RORURERA_KEEP_DISPLAY is set, so that runs do not depend on an X server.
# A program must never start the prefix's server itself: that server would
# hold the caller's output open (CTest waits for it) for as long as later
# programs use it. So the persistent server is started here unless one runs
# (then that fails at once). Listing a test program's cases
# (--gtest_list_tests: CTest does it when it starts, before the run's
# wine_server_start) also makes the prefix when it is missing.
set -u
. "$(dirname "$0")/common.sh"
: "${WINEPREFIX:?WINEPREFIX must name the project prefix}"
export WINEPREFIX
case " $* " in
*" --gtest_list_tests "*) "$(dirname "$0")/wine-prefix.sh" start "$WINEPREFIX" ;;
*) [ -f "$WINEPREFIX/system.reg" ] && wineserver -p30 </dev/null >/dev/null 2>&1 ;;
esac
wine_environment "$WINEPREFIX" keep
if [ -z "${RORURERA_KEEP_DISPLAY:-}" ]; then
  unset DISPLAY
fi
# The program's output goes to the caller through a file that tail follows
# until the program ends: a process that Wine starts for it (the desktop, the
# server) keeps that file open, not the caller's output, which CTest would
# otherwise wait on for as long as that process lives.
log=$(mktemp) || exec "$wine" "$@"
"$wine" "$@" 0<&0 >"$log" 2>&1 &
program=$!
tail -s 0.05 -n +1 -f --pid=$program "$log"
wait $program
status=$?
rm -f "$log"
exit $status
