#!/usr/bin/env bash
# The Windows window under Wine driven by real key events: xdotool sends them through XTEST, as
# a keyboard does, and Wine's dialog manager takes them as Windows' does. First the product's
# window and loop with a simulated unit (qvt_people_window.exe, whose record file shows what a
# key did), then the shipped QvtUpdate.exe, which under Wine meets no unit, then Alt+F4 during a
# run on a desktop with a window manager, where the run goes on behind the refusal's box.
#
# Usage: people_keys.sh PEOPLE_WINDOW_EXE QVTUPDATE_EXE
set -uo pipefail
people_window=$1
product=$2
caption='QVT-40 R3 Update v3.10'
wine_run=$(dirname "$0")/../../scripts/wine-run
: "${DISPLAY:?an X server is needed (scripts/test starts Xvfb)}"
work=$(mktemp -d)
pid=
wm_pid=
# Windows of the people window that the window manager frames, as a person's desktop does; only
# while the desktop runs.
managed_key='HKCU\Software\Wine\AppDefaults\qvt_people_window.exe\X11 Driver'
unmanage() { "$wine_run" reg delete "$managed_key" /f >/dev/null 2>&1 || true; }
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  unmanage
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {
  if eval "$2"; then echo "ok    $1"; else echo "FAIL  $1"; failures=$((failures + 1)); fi
}
wait_for() {
  local i
  for i in $(seq 100); do eval "$1" && return 0; sleep 0.1; done
  return 1
}
keys() {
  local key
  for key; do xdotool key "$key"; sleep 0.2; done
}
shown() { xdotool search --name "^$caption\$" >/dev/null 2>&1; }
gone() { ! kill -0 "$pid" 2>/dev/null; }
said() { grep -qF -- "$1" "$work/record.txt" 2>/dev/null; }

# Starts a program and waits for its window, which Wine gives the keyboard as it shows it
# (there is no window manager on this display: Wine itself puts the X focus on its active window).
open_window() {
  "$wine_run" "$@" >/dev/null 2>&1 &
  pid=$!
  timeout 60 xdotool search --sync --name "^$caption\$" >/dev/null || { echo "FAIL  no window"; exit 1; }
  sleep 0.5
}
# The scenario file and the record file, as the Windows program names them; more arguments
# (--real-time) go to the program.
with_unit() {
  printf '%s' "$1" >"$work/scenario.json"
  rm -f "$work/record.txt"
  shift
  open_window "$people_window" "Z:${work//\//\\}\\scenario.json" "Z:${work//\//\\}\\record.txt" "$@"
}

# An outdated unit: the focus starts on Start; Tab goes to the message and back; Esc and Enter
# do nothing in either; space on Start runs the update; after it Alt+F4 closes the window.
with_unit '{"units": [{"mode": "application", "version": "3.00"}]}'
keys Tab Escape Return Tab Escape Return
check "Tab, Esc and Enter start no run and close nothing" '! said "message: アップデート開始" && shown'
keys space
check "space on Start (Tab twice from it) runs the update to its completion" 'wait_for "said caption=アップデート完了"'
keys alt+F4
check "after the run Alt+F4 closes the window" 'wait_for gone'
wait "$pid" 2>/dev/null

# A current unit: Start is disabled and the focus is on the force box. No key but the person's
# own tick (space, not sent here) leads to a run.
with_unit '{"units": [{"mode": "application", "version": "3.10"}]}'
keys Escape Return Tab Escape Return Tab Escape Return
check "with Start disabled no key starts a run or closes the window" '! said "message: アップデート開始" && ! said "force: enabled checked" && shown'
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null

# The shipped program, with no unit: Start disabled, the focus in the message box.
open_window "$product"
keys Tab Escape Return Tab Escape Return
check "QvtUpdate.exe: no Tab, Esc or Enter closes the window" 'shown && ! gone'
keys alt+F4
check "QvtUpdate.exe: Alt+F4 closes it" 'wait_for gone'
wait "$pid" 2>/dev/null
pid=

# Alt+F4 during a run, on a desktop: openbox frames the window and turns Alt+F4 into a close
# request. The refusal's box must not hold the run, which runs in real time here (as long as its
# waits and transfers take) so that the keys come in the middle of it.
if ! command -v openbox >/dev/null; then
  echo "skip  Alt+F4 during a run on a desktop: openbox is not installed"
else
  unmanage
  "$wine_run" reg add "$managed_key" /v Managed /t REG_SZ /d Y /f >/dev/null 2>&1
  openbox >/dev/null 2>&1 &
  wm_pid=$!
  windows() { xdotool search --name "^$caption\$" 2>/dev/null | wc -l; }
  one_box() { [ "$(windows)" = 2 ]; }
  no_box() { [ "$(windows)" = 1 ]; }
  boxes() { grep -c ' box: ' "$work/record.txt"; }
  # What the record says once the first box was shown.
  said_since_box() { sed -n '/ box: /,$p' "$work/record.txt" | grep -qF -- "$1"; }
  wait_long() { local i; for i in $(seq 600); do eval "$1" && return 0; sleep 0.1; done; return 1; }
  activate() { timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1; sleep 0.2; }
  with_unit '{"units": [{"mode": "application", "version": "3.00"}], "boot_switch_delay_ms": 300,
    "reset_delay_ms": 300, "transfer_ms": 2}' --real-time
  main=$(xdotool search --name "^$caption\$" | head -n 1)
  activate "$main"
  keys space
  wait_long 'said "message: プログラミング開始"'
  keys alt+F4
  check "Alt+F4 while programming is refused in a box" 'wait_for one_box && [ "$(boxes)" = 1 ]'
  check "the run goes on behind the open box" 'wait_long "said_since_box \"message: プログラミング完了\"" && one_box'
  activate "$main"
  keys alt+F4
  check "Alt+F4 again on the window is refused without a second box" 'sleep 1; [ "$(boxes)" = 2 ] && one_box'
  check "the run completes while the box waits for its answer" 'wait_long "said caption=アップデート完了" && one_box'
  activate "$(xdotool search --name "^$caption\$" | grep -vx "$main" | head -n 1)"
  keys Return
  check "OK closes the box" 'wait_for no_box'
  activate "$main"
  keys alt+F4
  check "after the run Alt+F4 closes the window" 'wait_for gone'
  wait "$pid" 2>/dev/null
  pid=
fi

[ "$failures" = 0 ] && echo "every check passed" || { echo "$failures failed"; exit 1; }
