#!/usr/bin/env bash
# The whole test suite: set up the machine, build both modules and run every
# test under Wine, the 32-bit module's and the 64-bit module's. On a machine
# whose kernel cannot run 32-bit programs, 32-bit Wine cannot start: the
# 32-bit module and its tests are then built (and the module's imports
# checked) but not run, and the run says so. Either way the 64-bit suite runs
# the picture, concurrency, load/unload and fuzz tests a second time against
# the 64-bit module built with the 32-bit module's row loops (the tests
# named *.pool_rows), so the code only the 32-bit module runs is run on every
# machine.
set -u
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1
. scripts/common.sh
status=0
for preset in win32 win64; do
  echo "== $preset"
  if [ "$preset" = win32 ] && [ "$wine32_runs" = 0 ]; then
    { cmake --preset win32 && cmake --build --preset win32; } || { status=1; continue; }
    imports=$(i686-w64-mingw32-objdump -p build/win32/Rorurera.spi | awk '/DLL Name:/{print $3}' | tr '\n' ' ')
    echo "Rorurera.spi imports: $imports"
    if echo "$imports" | grep -qiE 'libstdc|libgcc|winpthread|libgomp'; then
      echo "Rorurera.spi imports a runtime DLL"; status=1
    fi
    echo "win32: built; its tests are NOT run: this machine's kernel cannot run 32-bit programs, so 32-bit Wine cannot start (its row loops run in the win64 suite's *.pool_rows tests)"
    continue
  fi
  cmake --workflow --preset "$preset" || status=1
done
exit $status
