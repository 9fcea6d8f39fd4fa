#!/usr/bin/env bash
# The picture benchmark, both modules: GetPicture against the imaging
# component's own work on 6000 x 4000 images (24-bit and 32bppBGRA, lossless
# and lossy), times and peak memory. See bench/README.md.
#   bench/run.sh [RUNS]          (default 7 runs per image and module)
# Build trees: build/win32 and build/win64, or BENCH_BUILD32 / BENCH_BUILD64.
set -eu
cd "$(dirname "$0")/.."
runs=${1:-7}
images="$PWD/build/bench-images"
build32=${BENCH_BUILD32:-build/win32}
build64=${BENCH_BUILD64:-build/win64}

# About 15 s and 180 MB the first time; images already there are kept.
python3 scripts/make_fixtures.py --large "$images"

prefix="${WINEPREFIX:-$PWD/build/wineprefix}"
scripts/wine-prefix.sh start "$prefix"
for pair in "$build32:spi" "$build64:sph"; do
  dir=${pair%:*}
  module="$dir/Rorurera.${pair#*:}"
  cmake --build "$dir" --target picture_bench Rorurera >/dev/null
  echo "== $module"
  WINEPREFIX="$prefix" scripts/wine-run.sh "$dir/bench/picture_bench.exe" "Z:$(realpath "$module")" \
    "Z:$images/large_rgb24_6000x4000.jxr" "Z:$images/large_rgb24_6000x4000_lossy.jxr" \
    "Z:$images/large_bgra32_6000x4000.jxr" "Z:$images/large_bgra32_6000x4000_lossy.jxr" \
    "Z:$images/large_rgbah_3000x2000.jxr" \
    --tone-map "Z:$images/large_hdr_screenshot_3840x2160.jxr" --runs "$runs"
done
