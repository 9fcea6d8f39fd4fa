# Sourced by the scripts in scripts/ and by bench/run.sh: what they all need
# to know about this checkout and this machine.
#
# Wine's loader. Debian's `wine` starts the 32-bit loader, which hands 64-bit
# programs on to the 64-bit one. A kernel without 32-bit support refuses the
# 32-bit loader ("Exec format error"); there only the 64-bit loader works, and
# only 64-bit Windows programs (Rorurera.sph and its tests) can run.
#   sets: wine (the command), wine32_runs (1 or 0)
# Paths:
#   rorurera_root      the checkout
#   rorurera_prefix    the tests' Wine prefix, build/wineprefix
#   pool_rows_module   the 64-bit module built with the 32-bit module's row
#                      loops, as Wine names it (build/win64/pool-rows/Rorurera.sph)
# Functions:
#   wine_environment PREFIX [keep]   exports WINEPREFIX, WINEDEBUG and
#       WINEDLLOVERRIDES for the project (keep: WINEDEBUG and WINEDLLOVERRIDES
#       only where the caller has not set them)
#   tree_of PRESET     the build tree of a preset (pool-rows lives in win64)
#   module_of PRESET   the module that preset names when not its tree's own
#   configure_if_missing TREE   `cmake --preset TREE` when build/TREE has no
#                      build files yet (run from the checkout)
if [ ! -x /usr/lib/wine/wine ] || /usr/lib/wine/wine --version >/dev/null 2>&1; then
  wine=wine
  wine32_runs=1
else
  wine=/usr/lib/wine/wine64
  export WINELOADER=/usr/lib/wine/wine64
  wine32_runs=0
fi

rorurera_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rorurera_prefix="$rorurera_root/build/wineprefix"
pool_rows_module="Z:$rorurera_root/build/win64/pool-rows/Rorurera.sph"

wine_environment() {
  export WINEPREFIX="$1"
  if [ "${2:-}" = keep ]; then
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  else
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  fi
}

tree_of() { if [ "$1" = pool-rows ]; then echo win64; else echo "$1"; fi; }
module_of() { if [ "$1" = pool-rows ]; then echo "$pool_rows_module"; fi; }

configure_if_missing() {
  [ -f "build/$1/build.ninja" ] || cmake --preset "$1" >/dev/null
}
