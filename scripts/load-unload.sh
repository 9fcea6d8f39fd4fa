#!/usr/bin/env bash
# The long load/unload run: LoadLibrary -> every kind of call from three
# threads -> FreeLibrary, 5,000 times in one process (the suite runs 300),
# for both modules; prints what the process held after the warm-up, every
# 1,000 cycles and at the end (free TLS slot, handles, threads, committed
# private memory).
#   scripts/load-unload.sh [CYCLES] [PRESET...]   (default 5000, win32 win64;
#                                                 win64 alone where 32-bit programs cannot run)
# Builds the test program, the module and the test images when missing.
set -eu
cd "$(dirname "$0")/.."
cycles=${1:-5000}
shift || true
. scripts/wine-loader.sh
default_presets="win32 win64"
if [ "$wine32_runs" = 0 ]; then
  default_presets=win64
  echo "load-unload.sh: only win64 here: this machine's kernel cannot run 32-bit programs"
fi
presets=${*:-$default_presets}
prefix="$PWD/build/wineprefix"
status=0
for preset in $presets; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" --target load_unload_test fixtures >/dev/null
  scripts/wine-prefix.sh start "$prefix"
  echo "== $preset, $cycles cycles"
  RORURERA_LOAD_CYCLES=$cycles WINEPREFIX="$prefix" scripts/wine-run.sh \
    "build/$preset/tests/load_unload_test.exe" --gtest_filter='LoadUnload.*' || status=1
done
exit $status
