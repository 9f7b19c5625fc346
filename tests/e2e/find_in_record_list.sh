#!/usr/bin/env bash
# End to end: the real program under Xvfb with a scratch data root loads a file of 1,000
# records, opens Edit > Find in Record List from the menu with the keyboard, types a text that
# only record 650 holds (page 2, its 250th row) and presses Enter. The record list's selection
# (copied with Ctrl+C) must be that one record, and the field lines selected (copied after a
# right click on the first highlighted line) must be the two that hold the text.
#   find_in_record_list.sh <quillon binary> [screenshot folder]
set -euo pipefail
unset QT_QPA_PLATFORM
bin=$(readlink -f "$1") shots=${2:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[ -n "$shots" ] || shots="$scratch/shots"
mkdir -p "$shots"
file="$scratch/thousand.hl7"
/usr/bin/python3 - "$file" <<'PY'
import sys
with open(sys.argv[1], "wb") as f:
    for i in range(1, 1001):
        family = b"NEEDLE" if i == 650 else b"DOE"
        f.write(b"MSH|^~\\&|SEND|FAC|RECV|FAC|20260101||ADT^A01|%d|P|2.3\rPID|1||ID%d||%s^JOHN\rPV1|1|I\r"
                % (i, i, family))
PY
export QUILLON_HOME="$scratch/home" QUILLON_E2E_BIN="$bin" QUILLON_E2E_FILE="$file"
export QUILLON_E2E_LIB="$(dirname "$(readlink -f "$0")")/start_program.sh"
export QUILLON_E2E_SHOTS=$(readlink -f "$shots") QUILLON_E2E_OUT="$scratch/out"
mkdir -p "$QUILLON_HOME" "$QUILLON_E2E_OUT"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -u
  fail() { echo "$*"; cat "$QUILLON_HOME/stderr.txt"; kill $pid 2>/dev/null; exit 1; }
  . "$QUILLON_E2E_LIB"
  pid=""
  start_program "$QUILLON_E2E_FILE" "^Quillon - ${QUILLON_E2E_FILE}\$"
  [ -n "$win" ] || fail "no window captioned Quillon - $QUILLON_E2E_FILE"
  sleep 0.5
  xdotool windowfocus --sync $win

  # Edit > Find in Record List... from the menu.
  xdotool key alt+e; sleep 0.4; xdotool key r
  find=""
  for _ in $(seq 1 50); do
    find=$(xdotool search --onlyvisible --name "^Find in Record List\$" 2>/dev/null | head -n1 || true)
    [ -n "$find" ] && break
    sleep 0.1
  done
  [ -n "$find" ] || fail "the Find in Record List dialog did not show"
  sleep 0.3
  xdotool key alt+n; xdotool type --delay 20 NEEDLE; xdotool key Return
  sleep 1
  import -window root -crop 1280x600+0+0 +repage "$QUILLON_E2E_SHOTS/find-in-record-list.png"

  # Esc hides the dialog; the record list has the focus and Ctrl+C copies its selection.
  xdotool key Escape; sleep 0.5
  [ -z "$(xdotool search --onlyvisible --name "^Find in Record List\$" 2>/dev/null)" ] \
    || fail "the dialog is still shown after Esc"
  xdotool key ctrl+c; sleep 0.3
  xclip -o -selection clipboard > "$QUILLON_E2E_OUT/records.txt" || fail "nothing on the clipboard"

  # The field list: a right click on its first highlighted line leaves the selection as it is
  # and makes Ctrl+C copy that list.
  import -window "$win" "$QUILLON_E2E_OUT/window.png"
  eval "$(xdotool getwindowgeometry --shell "$win")"
  top=$(convert "$QUILLON_E2E_OUT/window.png" -crop 1x2000+303+0 +repage txt:- \
        | grep -m1 "#308CC6" | cut -d, -f2 | cut -d: -f1 || true)
  [ -n "$top" ] || fail "no highlighted field line"
  xdotool mousemove $((X + 350)) $((Y + top + 6)) click 3; sleep 0.4
  xdotool key Escape; sleep 0.2
  xdotool key ctrl+c; sleep 0.3
  xclip -o -selection clipboard > "$QUILLON_E2E_OUT/fields.txt" || fail "nothing on the clipboard"

  # File > Exit.
  xdotool key alt+f; sleep 0.4; xdotool key x
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then fail "still running after File > Exit"; fi
'
out="$scratch/out"
records=$(tr '\r' '\n' < "$out/records.txt" | grep -c '^MSH' || true)
[ "$records" = 1 ] || { echo "the record list holds $records selected records, not 1"; exit 1; }
grep -q 'ADT^A01|650|P' "$out/records.txt" \
  || { echo "the selected record is not record 650:"; cat "$out/records.txt"; exit 1; }
fields=$(tr -d '\r' < "$out/fields.txt" | awk '{print $1}' | paste -sd' ')
[ "$fields" = "PID-5 PID-5-1" ] || { echo "selected field lines: '$fields', not 'PID-5 PID-5-1'"; exit 1; }
[ -s "$shots/find-in-record-list.png" ] || { echo "missing screenshot"; exit 1; }
echo "1 passed, 0 failed"
