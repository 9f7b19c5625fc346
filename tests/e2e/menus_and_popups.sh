#!/usr/bin/env bash
# End to end: the real program under Xvfb with a scratch data root loads a file, then the lists'
# pop-up menus (right clicks and Ctrl+Shift+Home), the Options and Tools menus are opened with
# the mouse and the keyboard; each must appear as a window of its own. Screenshots of the main
# window and of each menu go to the folder given (docs/ for the README).
#   menus_and_popups.sh <quillon binary> <file.hl7> [screenshot folder]
set -euo pipefail
unset QT_QPA_PLATFORM
bin=$(readlink -f "$1") file=$(readlink -f "$2") shots=${3:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[ -n "$shots" ] || shots="$scratch/shots"
mkdir -p "$shots"
export QUILLON_HOME="$scratch" QUILLON_E2E_BIN="$bin" QUILLON_E2E_FILE="$file"
export QUILLON_E2E_SHOTS=$(readlink -f "$shots")

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -u
  fail() { echo "$*"; kill $pid 2>/dev/null; exit 1; }
  errors="$QUILLON_HOME/stderr.txt"
  start() {
    "$QUILLON_E2E_BIN" "$QUILLON_E2E_FILE" >/dev/null 2>>"$errors" &
    pid=$!
    win=""
    for _ in $(seq 1 300); do
      win=$(xdotool search --pid $pid --name "^Quillon - ${QUILLON_E2E_FILE}\$" 2>/dev/null | head -n1 || true)
      [ -n "$win" ] && break
      kill -0 $pid 2>/dev/null || break
      sleep 0.1
    done
  }
  start
  # A program that died before its window showed is reported with what it printed; a death
  # without a sanitizer report (the display not ready under load) is given one more start.
  if [ -z "$win" ] && ! kill -0 $pid 2>/dev/null \
     && ! grep -qE "Sanitizer|runtime error" "$errors"; then
    echo "the program ended before its window showed; started again. It printed:"
    cat "$errors"
    start
  fi
  [ -n "$win" ] || { cat "$errors"; fail "no window captioned Quillon - $QUILLON_E2E_FILE"; }
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$win")"
  windows() { xdotool search --onlyvisible --pid $pid --name "" 2>/dev/null | wc -l; }
  at() { xdotool mousemove $((X + $1)) $((Y + $2)); }
  shown() {  # name: a menu opened since the count was taken; photograph it and close it
    for _ in $(seq 1 50); do [ "$(windows)" -gt "$base" ] && break; sleep 0.1; done
    [ "$(windows)" -gt "$base" ] || fail "no menu appeared for $1"
    sleep 0.2
    import -window root -crop 900x720+0+0 +repage "$QUILLON_E2E_SHOTS/$1.png"
    xdotool key Escape
    sleep 0.3
  }
  import -window "$win" "$QUILLON_E2E_SHOTS/main-window.png"
  base=$(windows)

  at 100 321; xdotool click 1; sleep 0.3; xdotool click 3
  shown popup-record-list
  at 100 100; xdotool click 1; sleep 0.3; xdotool click 3
  shown popup-segment-list
  at 400 361; xdotool click 1; sleep 0.3; xdotool click 3
  shown popup-field-list
  at 100 321; xdotool click 1; sleep 0.3; xdotool windowfocus --sync $win; xdotool key ctrl+shift+Home
  shown popup-record-list-ctrl-shift-home
  at 347 8; xdotool click 1
  shown options-menu
  at 133 8; xdotool click 1
  shown tools-menu

  # File > Exit.
  at 15 8; xdotool click 1; sleep 0.5; xdotool key x
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then fail "still running after File > Exit"; fi
'
for shot in main-window popup-record-list popup-segment-list popup-field-list \
            popup-record-list-ctrl-shift-home options-menu tools-menu; do
  [ -s "$shots/$shot.png" ] || { echo "missing screenshot $shot"; exit 1; }
done
echo "1 passed, 0 failed"
