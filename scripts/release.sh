#!/usr/bin/env bash
# Builds both modules in release form (stripped) and writes
# dist/Rorurera-<version>.zip with both modules, the README and a SHA-256 list.
set -eu
cd "$(dirname "$0")/.."
bash scripts/setup.sh
version=$(sed -n 's/^project(Rorurera VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }

for preset in release-win32 release-win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
name="Rorurera-$version"
mkdir -p "$stage/$name"
cp build/release-win32/Rorurera.spi build/release-win64/Rorurera.sph README.md "$stage/$name/"
[ -d docs ] && cp -r docs "$stage/$name/"
(cd "$stage/$name" && find . -type f ! -name SHA256SUMS | sed 's#^\./##' | sort | xargs sha256sum > SHA256SUMS)

mkdir -p dist
rm -f "dist/$name.zip"
(cd "$stage" && zip -q -r -X "$OLDPWD/dist/$name.zip" "$name")
echo "release: dist/$name.zip"
(cd "$stage/$name" && cat SHA256SUMS)
