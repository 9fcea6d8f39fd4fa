#!/usr/bin/env bash
# The long load/unload run: LoadLibrary -> every kind of call from three
# threads -> FreeLibrary, 5,000 times in one process (the suite runs 300),
# for both modules; prints what the process held after the warm-up, every
# 1,000 cycles and at the end (free TLS slot, handles, threads, committed
# private memory).
#   scripts/load-unload.sh [CYCLES] [PRESET...]   (default 5000, win32 win64;
#                                                 win64 pool-rows where 32-bit programs cannot run)
# pool-rows is the 64-bit module built with the 32-bit module's row loops on
# the thread pool (build/win64/pool-rows/Rorurera.sph).
# Builds the test program, the module and the test images when missing.
set -eu
cd "$(dirname "$0")/.."
cycles=${1:-5000}
shift || true
. scripts/common.sh
default_presets="win32 win64"
if [ "$wine32_runs" = 0 ]; then
  default_presets="win64 pool-rows"
  echo "load-unload.sh: no win32 here: this machine's kernel cannot run 32-bit programs; the 32-bit row loops run in pool-rows"
fi
presets=${*:-$default_presets}
prefix=$rorurera_prefix
status=0
for preset in $presets; do
  tree=$(tree_of "$preset") module=$(module_of "$preset")
  configure_if_missing "$tree"
  cmake --build "build/$tree" --target load_unload_test fixtures >/dev/null
  scripts/wine-prefix.sh start "$prefix"
  echo "== $preset, $cycles cycles"
  RORURERA_TEST_MODULE=$module RORURERA_LOAD_CYCLES=$cycles WINEPREFIX="$prefix" scripts/wine-run.sh \
    "build/$tree/tests/load_unload_test.exe" --gtest_filter='LoadUnload.*' || status=1
done
exit $status
