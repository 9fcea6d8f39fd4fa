#!/usr/bin/env bash
# The long fuzzing run: damaged JPEG XR files through both modules' content
# exports (IsSupported, GetPictureInfo, GetPicture; narrow and wide; file,
# memory and file-handle input), each input in a worker process.
#
#   scripts/fuzz.sh [--inputs N] [--seed S] [--first I] [--jobs J]
#                   [--preset win32|win64|pool-rows] [-- more fuzz_test options]
#
#   --inputs N   inputs per module (default 10000)
#   --seed S     run seed (default: a new one from the clock, printed; give it
#                again to make the same inputs)
#   --first I    first input number (default 0)
#   --jobs J     worker processes at a time (default: 2 for win32, 1 for
#                win64, where one worker can take 6 GB for one picture)
#   --preset P   one module only (default win32 and win64; where 32-bit
#                programs cannot run, win64 and pool-rows: the 64-bit module
#                built with the 32-bit module's row loops, in build/win64)
#   --all-pictures   every GetPicture call in the 64-bit module too (hours)
# After "--": options of tests/fuzz/fuzz_test.cpp, e.g. --fuzz-all-steps.
#
# Builds what is missing (configure, the test program, the module and the
# test images), starts the project's Wine server, and prints each module's
# figures: inputs, results per call, crashes (ours / the platform's, with
# the module), hangs, leak figures, rule violations. Unlike the suite's short
# run it makes the GetPicture calls of inputs that claim huge pictures: all of
# them for the 32-bit module (which refuses them quickly), every 32nd of those
# claiming more than 64 MB for the 64-bit module, which really decodes
# pictures of up to 4 GB from files of a few hundred bytes, up to 3 minutes
# and 6 GB of memory a call (all of them: --all-pictures). Inputs that
# crashed a worker are kept under build/<preset>/fuzz/ (ours/, platform/,
# unattributed/), each with a .txt saying what happened. The full output goes
# to build/<preset>/fuzz/long-run-<seed>.txt. Exit status 0 when every module
# passed (no crash or hang of ours, no rule violation, no leak).
set -u
cd "$(dirname "$0")/.."

inputs=10000
seed=$(date +%Y%m%d%H%M%S)
first=0
jobs=
. scripts/common.sh
presets="win32 win64"
if [ "$wine32_runs" = 0 ]; then
  presets="win64 pool-rows"
  echo "fuzz.sh: no win32 here: this machine's kernel cannot run 32-bit programs; the 32-bit row loops run in pool-rows"
fi
all_pictures=
while [ $# -gt 0 ]; do
  case "$1" in
  --inputs) inputs=${2:?}; shift 2 ;;
  --seed) seed=${2:?}; shift 2 ;;
  --first) first=${2:?}; shift 2 ;;
  --jobs) jobs=${2:?}; shift 2 ;;
  --preset) presets=${2:?}; shift 2 ;;
  --all-pictures) all_pictures=1; shift ;;
  --) shift; break ;;
  -h|--help) sed -n '2,/^set -u/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "fuzz.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done

for preset in $presets; do
  tree=$(tree_of "$preset")
  configure_if_missing "$tree" || exit 1
  cmake --build "build/$tree" --target fuzz_test || exit 1
done

prefix=$rorurera_prefix
scripts/wine-prefix.sh start "$prefix" || exit 1
trap 'scripts/wine-prefix.sh stop "$prefix"' EXIT

echo "fuzz.sh: seed $seed, inputs $first..$((first + inputs - 1)) per module"
status=0
for preset in $presets; do
  tree=$(tree_of "$preset")
  preset_jobs=${jobs:-$([ "$tree" = win64 ] && echo 1 || echo 2)}
  pictures="--fuzz-picture-limit=0"
  if [ "$tree" = win64 ] && [ -z "$all_pictures" ]; then
    pictures="--fuzz-picture-limit=$((64 << 20)) --fuzz-large-every=32"
  fi
  out="build/$tree/fuzz"
  [ "$preset" = pool-rows ] && out="build/win64/fuzz-pool-rows"
  mkdir -p "$out"
  log="$out/long-run-$seed.txt"
  echo "== $preset"
  RORURERA_TEST_MODULE=$(module_of "$preset") WINEPREFIX="$prefix" scripts/wine-run.sh "build/$tree/tests/fuzz_test.exe" \
    --fuzz-out="Z:$PWD/$out" --gtest_filter=Fuzz.Campaign --fuzz-inputs="$inputs" --fuzz-seed="$seed" --fuzz-first="$first" \
    --fuzz-jobs="$preset_jobs" $pictures --fuzz-stall=300 --fuzz-progress=60 "$@" >"$log" 2>&1 &
  runner=$!
  # Progress while it runs, the figures when it is done.
  tail -n +1 -f "$log" --pid=$runner 2>/dev/null | grep -a --line-buffered '^fuzz: \.\.\.'
  wait $runner
  result=$?
  grep -a '^fuzz:' "$log" | grep -av '^fuzz: \.\.\.'
  if [ $result -ne 0 ]; then
    status=1
    echo "== $preset FAILED (the whole output: $log)"
    grep -a -A3 'Failure' "$log" | head -40
  else
    echo "== $preset passed (the whole output: $log)"
  fi
done
exit $status
