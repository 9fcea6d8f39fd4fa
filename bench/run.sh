#!/usr/bin/env bash
# The picture benchmark, both modules: GetPicture against the imaging
# component's own work: 6000 x 4000 images (24-bit and 32bppBGRA, lossless
# and lossy), an odd width, a one-pixel strip, alpha at 4000 x 3000, memory
# mode, 2 and 4 host threads, and a folder of 200 small pictures; times,
# CPU-time ratios and peak memory. See bench/README.md.
#   bench/run.sh [RUNS]          (default 7 runs per row and module)
# Build trees: build/win32 and build/win64, or BENCH_BUILD32 / BENCH_BUILD64.
set -eu
cd "$(dirname "$0")/.."
runs=${1:-7}
images="$PWD/build/bench-images"
build32=${BENCH_BUILD32:-build/win32}
build64=${BENCH_BUILD64:-build/win64}

# About 45 s and 230 MB the first time; images already there are kept.
python3 scripts/make_fixtures.py --large "$images"
python3 -m bench.make_images "$images"

. scripts/common.sh
prefix="${WINEPREFIX:-$rorurera_prefix}"
scripts/wine-prefix.sh start "$prefix"
img() { echo "Z:$images/$1"; }
echo "load before: $(uptime)"
for pair in "$build32:spi" "$build64:sph"; do
  dir=${pair%:*}
  module="$dir/Rorurera.${pair#*:}"
  if [ "${pair#*:}" = spi ] && [ "$wine32_runs" = 0 ]; then
    echo "== $module: not run, this machine's kernel cannot run 32-bit programs"
    continue
  fi
  cmake --build "$dir" --target picture_bench stage_bench Rorurera >/dev/null
  echo "== $module"
  WINEPREFIX="$prefix" scripts/wine-run.sh "$dir/bench/picture_bench.exe" "Z:$(realpath "$module")" --runs "$runs" \
    "$(img large_rgb24_6000x4000.jxr)" "$(img large_rgb24_6000x4000_lossy.jxr)" \
    "$(img large_bgra32_6000x4000.jxr)" "$(img large_bgra32_6000x4000_lossy.jxr)" \
    "$(img odd_rgb24_3001x2001_lossy.jxr)" "$(img strip_rgb24_1x20000.jxr)" \
    "$(img alpha_bgra32_4000x3000_lossy.jxr)" "$(img large_rgbah_3000x2000.jxr)" \
    --memory "$(img odd_rgb24_3001x2001_lossy.jxr)" --memory "$(img alpha_bgra32_4000x3000_lossy.jxr)" \
    --threads 2 "$(img odd_rgb24_3001x2001_lossy.jxr)" --threads 4 "$(img odd_rgb24_3001x2001_lossy.jxr)" \
    --folder "$(img small)" --tone-map "$(img large_hdr_desktop_3840x2160.jxr)"
  WINEPREFIX="$prefix" scripts/wine-run.sh "$dir/bench/stage_bench.exe" --runs "$runs"
  echo "load: $(uptime)"
done
