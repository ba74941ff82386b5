#!/usr/bin/env bash
# Starts the real QvtUpdate.exe under Wine on the test run's X server, at 96 and at 144 DPI,
# finds its window by its caption and writes a screenshot of each into the build tree.
set -euo pipefail
exe=$1
out=$2
caption='QVT-40 R3 Update v3.10'
mkdir -p "$out"
: "${DISPLAY:?an X server is needed (scripts/test starts Xvfb)}"

wine_run=$(dirname "$0")/../../scripts/wine-run
x11_key='HKCU\Software\Wine\X11 Driver'
# The window as a window manager would hold it, framed by the X server and not by Wine, so that
# its X geometry is its client area; the test run may have turned that off for speed.
managed=$("$wine_run" reg query "$x11_key" /v Managed 2>/dev/null | awk '$1 == "Managed" {print $3}' | tr -d '\r')
"$wine_run" reg add "$x11_key" /v Managed /t REG_SZ /d Y /f >/dev/null 2>&1
restore() {
  if [ -n "$managed" ]; then
    "$wine_run" reg add "$x11_key" /v Managed /t REG_SZ /d "$managed" /f >/dev/null 2>&1
  else
    "$wine_run" reg delete "$x11_key" /v Managed /f >/dev/null 2>&1
  fi
}
trap restore EXIT

set_dpi() {
  "$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

shoot() {
  local dpi=$1
  set_dpi "$dpi"
  "$wine_run" "$exe" >/dev/null 2>&1 &
  local pid=$!
  local window
  window=$(timeout 60 xdotool search --sync --name "$caption" | head -n 1) || {
    echo "no window with the caption '$caption' at $dpi DPI"
    kill "$pid" 2>/dev/null || true
    return 1
  }
  sleep 1  # let it finish painting
  import -window "$window" "$out/QvtUpdate-${dpi}dpi.png"
  local geometry
  geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
  echo "$dpi DPI: window $geometry -> $out/QvtUpdate-${dpi}dpi.png"
  xdotool windowclose "$window" 2>/dev/null || true
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "$geometry"
}

small=$(shoot 96 | tail -n 1)
large=$(shoot 144 | tail -n 1)
set_dpi 96
echo "client area at 96 DPI: $small, at 144 DPI: $large"
[ "$small" = "307x110" ] || { echo "expected 307x110 at 96 DPI"; exit 1; }
[ "$large" = "461x165" ] || { echo "expected 461x165 at 144 DPI"; exit 1; }
