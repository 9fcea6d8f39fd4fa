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
. scripts/common.sh
prefix=$rorurera_prefix
scripts/wine-prefix.sh start "$prefix"
trap 'scripts/wine-prefix.sh stop "$prefix"' EXIT

sample="$PWD/build/win64/fixtures/rgb24_640x480.jxr"
bmps=()
modules=(build/win64/Rorurera.sph)
if [ "$wine32_runs" = 1 ]; then
  modules=(build/win32/Rorurera.spi "${modules[@]}")
else
  echo "Rorurera.spi is built but not run: this machine's kernel cannot run 32-bit programs (32-bit Wine)"
fi
for module in "${modules[@]}"; do
  echo "== $module"
  cli/susiehost info "$module"
  cli/susiehost probe "$module" "$sample"
  bmp="$PWD/build/sample_${module##*.}.bmp"
  cli/susiehost decode "$module" "$sample" "$bmp"
  bmps+=("$bmp")
done
echo "The sample decoded through each module: ${bmps[*]}"
