# Sourced by the scripts that start Wine: picks the loader this machine can
# run. Debian's `wine` starts the 32-bit loader, which hands 64-bit programs
# on to the 64-bit one. A kernel without 32-bit support refuses the 32-bit
# loader ("Exec format error"); there only the 64-bit loader works, and only
# 64-bit Windows programs (Rorurera.sph and its tests) can run.
#   sets: wine (the command), wine32_runs (1 or 0)
if [ ! -x /usr/lib/wine/wine ] || /usr/lib/wine/wine --version >/dev/null 2>&1; then
  wine=wine
  wine32_runs=1
else
  wine=/usr/lib/wine/wine64
  export WINELOADER=/usr/lib/wine/wine64
  wine32_runs=0
fi
