#!/usr/bin/env bash
# The picture benchmark, both modules: GetPicture against the imaging
# component's own work: 6000 x 4000 images (24-bit and 32bppBGRA, lossless
# and lossy), an odd width, a one-pixel strip, alpha at 4000 x 3000, memory
# mode, 2 and 4 host threads, and a folder of 200 small pictures; times,
# CPU-time ratios and peak memory; then the colour-profile rows (a picture
# with an embedded profile against the same without, 4000 x 3000 and
# 8000 x 6000: Adobe RGB, sRGB, a CMYK press profile), also for the 64-bit
# module with the thread-pool row loops (pool-rows, when built). See
# bench/README.md.
#   bench/run.sh [RUNS] [profile]   (default 7 runs per row and module;
#                                    profile: the colour-profile rows only)
# Build trees: build/win32 and build/win64, or BENCH_BUILD32 / BENCH_BUILD64.
set -eu
cd "$(dirname "$0")/.."
runs=${1:-7}
only=${2:-}
images="$PWD/build/bench-images"
build32=${BENCH_BUILD32:-build/win32}
build64=${BENCH_BUILD64:-build/win64}

# About 45 s and 230 MB the first time; images already there are kept.
[ "$only" = profile ] || python3 scripts/make_fixtures.py --large "$images"
python3 -m bench.make_images "$images"

. scripts/common.sh
prefix="${WINEPREFIX:-$rorurera_prefix}"
scripts/wine-prefix.sh start "$prefix"
img() { echo "Z:$images/$1"; }
profile_rows=()
for size in 4000x3000 8000x6000; do
  rgb=profile_rgb24_${size}_lossy cmyk=profile_cmyk32_${size}_lossy
  profile_rows+=(--profile "$(img $rgb.jxr)" "$(img ${rgb}_adobe.jxr)"
    --profile "$(img $rgb.jxr)" "$(img ${rgb}_srgb.jxr)"
    --profile "$(img $cmyk.jxr)" "$(img ${cmyk}_cmyk.jxr)")
done
echo "load before: $(uptime)"
for pair in "$build32:spi" "$build64:sph" "$build64/pool-rows:sph"; do
  dir=${pair%:*}
  module="$dir/Rorurera.${pair#*:}"
  if [ "${pair#*:}" = spi ] && [ "$wine32_runs" = 0 ]; then
    echo "== $module: not run, this machine's kernel cannot run 32-bit programs"
    continue
  fi
  if [ "${dir##*/}" = pool-rows ]; then
    # The 64-bit module with the 32-bit module's row loops (a test build):
    # the profile rows only, to compare with the 64-bit module's own.
    cmake --build "$build64" --target picture_bench RorureraPoolRows >/dev/null 2>&1 ||
      { echo "== $module: not built (a tree with tests on builds it)"; continue; }
    echo "== $module"
    WINEPREFIX="$prefix" scripts/wine-run.sh "$build64/bench/picture_bench.exe" "Z:$(realpath "$module")" \
      --runs "$runs" "${profile_rows[@]}"
    echo "load: $(uptime)"
    continue
  fi
  cmake --build "$dir" --target picture_bench stage_bench Rorurera >/dev/null
  echo "== $module"
  if [ "$only" = profile ]; then
    WINEPREFIX="$prefix" scripts/wine-run.sh "$dir/bench/picture_bench.exe" "Z:$(realpath "$module")" \
      --runs "$runs" "${profile_rows[@]}"
    echo "load: $(uptime)"
    continue
  fi
  WINEPREFIX="$prefix" scripts/wine-run.sh "$dir/bench/picture_bench.exe" "Z:$(realpath "$module")" --runs "$runs" \
    "$(img large_rgb24_6000x4000.jxr)" "$(img large_rgb24_6000x4000_lossy.jxr)" \
    "$(img large_bgra32_6000x4000.jxr)" "$(img large_bgra32_6000x4000_lossy.jxr)" \
    "$(img odd_rgb24_3001x2001_lossy.jxr)" "$(img strip_rgb24_1x20000.jxr)" \
    "$(img alpha_bgra32_4000x3000_lossy.jxr)" "$(img large_rgbah_3000x2000.jxr)" \
    --memory "$(img odd_rgb24_3001x2001_lossy.jxr)" --memory "$(img alpha_bgra32_4000x3000_lossy.jxr)" \
    --threads 2 "$(img odd_rgb24_3001x2001_lossy.jxr)" --threads 4 "$(img odd_rgb24_3001x2001_lossy.jxr)" \
    --folder "$(img small)" "${profile_rows[@]}" --tone-map "$(img large_hdr_desktop_3840x2160.jxr)"
  WINEPREFIX="$prefix" scripts/wine-run.sh "$dir/bench/stage_bench.exe" --runs "$runs"
  echo "load: $(uptime)"
done
