#!/usr/bin/env bash
# Takes a picture of the plug-in's settings dialog as Wine shows it, for the
# README: under Xvfb, in a Wine virtual desktop (so that the caption is drawn),
# with the Japanese UI font replaced by IPA P Gothic.
#   scripts/screenshot-dialog.sh [MODULE] [OUT.png]
# MODULE defaults to build/win32/Rorurera.spi (build/win64/Rorurera.sph where
# 32-bit programs cannot run), OUT.png to docs/settings-dialog.png.
# The Wine prefix is build/wineprefix-screenshot, kept apart from the tests'
# prefix so that their settings stay as they are; the dialog opens with the
# settings this prefix holds (the defaults on its first use).
set -eu
. "$(dirname "$0")/common.sh"
root=$rorurera_root
# The 32-bit module where 32-bit programs run, the 64-bit one elsewhere.
default_module=$root/build/win32/Rorurera.spi
[ "$wine32_runs" = 1 ] || default_module=$root/build/win64/Rorurera.sph
module=${1:-$default_module}
out=${2:-$root/docs/settings-dialog.png}
[ -f "$module" ] || { echo "$module is missing: build first (scripts/main.sh)" >&2; exit 2; }
for tool in Xvfb xwd convert "$wine" wineserver; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup.sh" >&2; exit 2; }
done

wine_environment "$root/build/wineprefix-screenshot"
work=$(mktemp -d)
xvfb_pid=""
host_pid=""
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
  wineserver -k </dev/null >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A display number that nobody uses.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done
[ -e "/tmp/.X11-unix/X$display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$display" RORURERA_KEEP_DISPLAY=1

# The prefix: created once, its display settings written every time.
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
fi
cat >"$work/display.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="x11"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="IPAPGothic"
REG
"$wine" regedit /S "$work/display.reg" </dev/null >/dev/null 2>&1
# Wine draws the caption buttons with Marlett, which it does not find in its
# own font folder here: give the prefix a copy.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
wineserver -w </dev/null >/dev/null 2>&1

shot() { xwd -root -silent | convert xwd:- "$1"; }

# The dialog's place on the screen: in the virtual desktop every top-level
# window is an X window named by its caption, the module's file name.
caption=$(basename "$module")
find_dialog() {
  xwininfo -root -tree 2>/dev/null | awk -v name="\"$caption\":" '
    index($0, name) {
      for (i = 1; i < NF; i++) if ($i ~ /^[0-9]+x[0-9]+[+-]/) {
        split($i, size, /[+-]/); print size[1] $(i + 1); exit
      }
    }'
}

"$root/cli/susiehost" config "$module" </dev/null >"$work/host.log" 2>&1 &
host_pid=$!

box=""
for _ in $(seq 60); do
  sleep 0.5
  box=$(find_dialog)
  [ -n "$box" ] && break
done
[ -n "$box" ] || { echo "the dialog did not appear" >&2; cat "$work/host.log" >&2; exit 1; }
# Take pictures until two in a row agree: the dialog has finished drawing.
shot "$work/a.png"
for _ in $(seq 20); do
  sleep 0.5
  shot "$work/b.png"
  if compare -metric AE "$work/a.png" "$work/b.png" null: 2>/dev/null; then break; fi
  mv "$work/b.png" "$work/a.png"
done

mkdir -p "$(dirname "$out")"
convert "$work/a.png" -crop "$box" +repage "$out"
echo "wrote $out ($box)"
