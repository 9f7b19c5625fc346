#!/usr/bin/env bash
# End to end: the real program under Xvfb with a scratch data root and settings file loads the
# file named on its command line, is photographed, and leaves through File > Exit; the settings
# it leaves behind are read back.
#   exit_saves_settings.sh <quillon binary> <file.hl7> [screenshot.png]
set -euo pipefail
unset QT_QPA_PLATFORM
bin=$1 file=$(readlink -f "$2") shot=${3:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[ -n "$shot" ] || shot="$scratch/main.png"
export QUILLON_HOME="$scratch" QUILLON_E2E_BIN="$bin" QUILLON_E2E_FILE="$file" QUILLON_E2E_SHOT="$shot"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -u
  "$QUILLON_E2E_BIN" "$QUILLON_E2E_FILE" >/dev/null 2>&1 &
  pid=$!
  win=""
  for _ in $(seq 1 300); do
    win=$(xdotool search --name "^Quillon - ${QUILLON_E2E_FILE}\$" 2>/dev/null | head -n1 || true)
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || { echo "no window captioned Quillon - $QUILLON_E2E_FILE"; kill $pid; exit 1; }
  sleep 0.5
  import -window "$win" "$QUILLON_E2E_SHOT"
  # File > Exit: open the File menu with a click on its title, then the item by its mnemonic.
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $((X + 15)) $((Y + 8)) click 1
  sleep 0.5
  xdotool key x
  for _ in $(seq 1 100); do
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 $pid 2>/dev/null; then echo "still running after File > Exit"; kill $pid; exit 1; fi
'
settings="$scratch/Quillon.settings"
[ -f "$settings" ] || { echo "no settings file written"; exit 1; }
expect() {  # section key value
  awk -v sec="[Quillon\\\\$1]" -v key="$2" -v val="$3" '
    $0 == sec { inside = 1; next }
    /^\[/ { inside = 0 }
    inside && $0 == key "=" val { found = 1 }
    END { exit !found }' "$settings" || { echo "missing: [$1] $2=$3"; cat "$settings"; exit 1; }
}
for option in DisplayEmptyFields DisplayFieldDescriptions DisplayCompoundFields \
              PromptBeforeDeleting UseMFUlist DisplaySegmentDescriptions DisplayButtonCaptions \
              DisplayToolbar; do
  expect "$option" 0 True
done
for admin in AdminFileOpen AdminFileSave AdminGetFTP AdminPutFTP AdminTcpipClient \
             AdminTcpipServer AdminPrint; do
  expect "$admin" 0 False
done
expect ListFontName 0 "Courier New"
expect ListFontSize 0 10
expect DefaultExtension 0 "*.dat"
expect LastFileOpenPath 0 "$scratch/Marrowby/quillon/Data/"
# File > Exit does not store the window's place; closing the window would.
if grep -q '^\[Quillon\\Windowpos\]' "$settings"; then echo "File > Exit stored the window place"; exit 1; fi
ls "$scratch/Marrowby/quillon/Temp/"*.undo >/dev/null 2>&1 && { echo "undo files left"; exit 1; }
echo "1 passed, 0 failed"
