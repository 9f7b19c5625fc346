#!/usr/bin/env bash
# End to end: the real program under Xvfb with a scratch data root loads ten records, runs
# Replace All through the record list's Replace dialog, saves with File > Save As, undoes, and
# saves again; both saved files must equal the expected bytes exactly (the replaced text, then
# the file as loaded).
#   replace_undo_save.sh <quillon binary> [screenshot folder]
set -euo pipefail
unset QT_QPA_PLATFORM
bin=$(readlink -f "$1") shots=${2:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[ -n "$shots" ] || shots="$scratch/shots"
mkdir -p "$shots"
file="$scratch/ten.hl7"
# Records as the save writes them: segments ended by CR, each record by CR LF.
/usr/bin/python3 - "$file" "$scratch/expected-replaced.hl7" <<'PY'
import sys
data = b"".join(b"MSH|^~\\&|SEND|FAC|RECV|FAC|20260101||ADT^A01|%d|P|2.3\rPID|1||ID%d||%s^JOHN\r\r\n"
                % (i, i, b"DOE" if i % 3 else b"SMITH") for i in range(1, 11))
open(sys.argv[1], "wb").write(data)
open(sys.argv[2], "wb").write(data.replace(b"DOE", b"ROE"))
PY
export QUILLON_HOME="$scratch/home" QUILLON_E2E_BIN="$bin" QUILLON_E2E_FILE="$file"
export QUILLON_E2E_LIB="$(dirname "$(readlink -f "$0")")/start_program.sh"
export QUILLON_E2E_SHOTS=$(readlink -f "$shots") QUILLON_E2E_OUT="$scratch/out"
mkdir -p "$QUILLON_HOME" "$QUILLON_E2E_OUT"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -u
  out=$QUILLON_E2E_OUT
  fail() { echo "$*"; cat "$QUILLON_HOME/stderr.txt"; kill $pid 2>/dev/null; exit 1; }
  . "$QUILLON_E2E_LIB"
  pid=""
  start_program "$QUILLON_E2E_FILE" "^Quillon - ${QUILLON_E2E_FILE}\$"
  [ -n "$win" ] || fail "no window captioned Quillon - $QUILLON_E2E_FILE"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$win")"
  at() { xdotool mousemove $((X + $1)) $((Y + $2)); }
  shown() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
  dialog() {  # title: waits for a window of that title
    for _ in $(seq 1 50); do [ -n "$(shown "$1")" ] && return 0; sleep 0.1; done
    fail "no window titled $1"
  }
  gone() {
    for _ in $(seq 1 50); do [ -z "$(shown "$1")" ] && return 0; sleep 0.1; done
    fail "the window titled $1 stays"
  }
  save_as() {  # path: File > Save As (the second item with the mnemonic A)
    xdotool windowfocus --sync $win
    xdotool key alt+f; sleep 0.4; xdotool key a; sleep 0.2; xdotool key a; sleep 0.2; xdotool key Return
    sleep 1
    xdotool key ctrl+a; xdotool type --delay 10 "$1"; xdotool key Return
    for _ in $(seq 1 50); do [ -s "$1" ] && break; sleep 0.1; done
    [ -s "$1" ] || fail "File > Save As wrote no $1"
    sleep 0.3
  }
  xdotool windowfocus --sync $win

  # The record list pop-up: Find..., Replace...
  at 100 283; xdotool click 1; sleep 0.3; xdotool click 3; sleep 0.4
  xdotool key Down Down Return
  dialog "Search/Replace in Record List"
  sleep 0.3
  xdotool type --delay 20 DOE; xdotool key Tab; xdotool type --delay 20 ROE
  import -window root -crop 1280x600+0+0 +repage "$QUILLON_E2E_SHOTS/replace-in-record-list.png"
  xdotool key Return
  # The count comes in the message window; OK has the focus.
  for _ in $(seq 1 50); do
    msg=$(xdotool search --onlyvisible --name "^Report\$" 2>/dev/null | head -n1 || true)
    [ -n "$msg" ] && break
    sleep 0.1
  done
  [ -n "$msg" ] || fail "no count message"
  sleep 0.3; xdotool key Return
  gone "Search/Replace in Record List"
  save_as "$out/replaced.hl7"

  # Edit > Undo (Ctrl+Z), then the file as it was.
  xdotool windowfocus --sync $win
  xdotool key ctrl+z; sleep 0.8
  save_as "$out/undone.hl7"

  xdotool windowfocus --sync $win
  xdotool key alt+f; sleep 0.4; xdotool key x
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then fail "still running after File > Exit"; fi
'
cmp "$scratch/expected-replaced.hl7" "$scratch/out/replaced.hl7" \
  || { echo "the records saved after Replace All differ from the expected file"; exit 1; }
cmp "$file" "$scratch/out/undone.hl7" || { echo "the records saved after Undo differ from the file loaded"; exit 1; }
echo "1 passed, 0 failed"
