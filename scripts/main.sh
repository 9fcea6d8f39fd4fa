#!/usr/bin/env bash
# The main job: set up the machine, build both modules, make a sample JPEG XR
# image and run our command-line host on it through both modules; the picture
# each module gives is written as a BMP file under build/.
set -eu
cd "$(dirname "$0")/.."
bash scripts/setup.sh
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
prefix="$PWD/build/wineprefix"
scripts/wine-prefix.sh start "$prefix"
trap 'scripts/wine-prefix.sh stop "$prefix"' EXIT

sample="$PWD/build/win64/fixtures/rgb24_640x480.jxr"
bmps=()
for module in build/win32/Rorurera.spi build/win64/Rorurera.sph; do
  echo "== $module"
  cli/susiehost info "$module"
  cli/susiehost probe "$module" "$sample"
  bmp="$PWD/build/sample_${module##*.}.bmp"
  cli/susiehost decode "$module" "$sample" "$bmp"
  bmps+=("$bmp")
done
echo "The sample decoded through each module: ${bmps[*]}"
