#!/usr/bin/env bash
# The whole test suite: set up the machine, build both modules and run every
# test under Wine, the 32-bit module's and the 64-bit module's.
set -u
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1
status=0
for preset in win32 win64; do
  echo "== $preset"
  cmake --workflow --preset "$preset" || status=1
done
exit $status
